// The site (build/web/site) as an app: installable, offline after one visit,
// replaced whole by a new build, drawn for a finger on a touch screen, and
// open to search engines.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { cpSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { chromium } from 'playwright-core';
import { CHROMIUM, CHROMIUM_ARGS, KoravelPage, PAGE, REPO, launchBrowser, serveSite, skipReason } from './support/harness.mjs';
import { GEOMETRY, measureWindow } from './support/geometry.mjs';
import { makeFlashImage, withSettings } from './support/flash.mjs';

const SITE = join(dirname(PAGE), 'site');
const work = mkdtempSync(join(tmpdir(), 'koravel-site-'));

// What the worker keeps, once it runs the page (and, given `until`, once that
// cache has gone; up to 30 s): each cache's files by name, with their SHA-256.
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');
const visit = async (page, until = null) =>
    page.page.evaluate(async (until) => {
        await navigator.serviceWorker.ready;
        for (let end = Date.now() + 30000; Date.now() < end; await new Promise((wake) => setTimeout(wake, 50))) {
            const names = await caches.keys();
            if (navigator.serviceWorker.controller && names.length > 0 && !names.includes(until)) break;
        }
        const kept = {};
        for (const name of await caches.keys()) {
            for (const request of await (await caches.open(name)).keys()) {
                kept[`${name} ${new URL(request.url).pathname}`] = Array.from(new Uint8Array(await (await caches.match(request)).arrayBuffer()));
            }
        }
        return { names: await caches.keys(), kept };
    }, until).then((seen) => ({ ...seen, kept: Object.fromEntries(Object.entries(seen.kept).map(([key, bytes]) => [key, sha256(Buffer.from(bytes))])) }));
const files = (dir, name) => Object.fromEntries(readdirSync(dir).filter((f) => f !== 'sw.js').map((f) => [`${name} /${f}`, sha256(readFileSync(join(dir, f)))]));

// What search engines read first: every line a rule they know, and one group,
// for every crawler, that keeps nothing of the site from them.
test('lets every search engine read the whole site', () => {
    const rules = readFileSync(join(SITE, 'robots.txt'), 'utf8')
        .split(/\r?\n/)
        .map((line) => line.replace(/#.*/, '').trim())
        .filter((line) => line !== '')
        .map((line) => {
            const rule = line.match(/^([A-Za-z-]+)\s*:\s*(.*)$/);
            assert.ok(rule, `not a rule: ${line}`);
            return [rule[1].toLowerCase(), rule[2]];
        });
    assert.deepEqual(rules.filter(([field]) => !['user-agent', 'allow', 'disallow', 'sitemap'].includes(field)), []);
    assert.deepEqual(rules.filter(([field]) => field === 'user-agent'), [['user-agent', '*']]);
    assert.equal(rules[0][0], 'user-agent', 'the rules belong to a group');
    assert.deepEqual(rules.filter(([field, path]) => field === 'disallow' && path !== ''), []);
});

describe('the site as an app', { skip: skipReason }, () => {
    let browser;
    let site;
    before(async () => {
        site = await serveSite(SITE);
        browser = await launchBrowser();
    });
    after(async () => {
        await browser?.close();
        await site?.close();
        rmSync(work, { recursive: true, force: true });
    });

    test('installs; after one visit works offline; a new build replaces its files on its first visit', async () => {
        const next = join(work, 'next');
        cpSync(SITE, next, { recursive: true });
        writeFileSync(join(next, 'index.html'), readFileSync(join(SITE, 'index.html'), 'utf8').replace('</body>', '<!-- the next build -->\n</body>'));
        const made = spawnSync('cmake', [`-DSITE_DIR=${next}`, '-P', join(REPO, 'ui/web/site/service-worker.cmake')], { encoding: 'utf8', timeout: 30000 });
        assert.equal(made.status, 0, made.stderr);
        // Only a profile on disk can install.
        const context = await chromium.launchPersistentContext(join(work, 'profile'), { executablePath: CHROMIUM, args: CHROMIUM_ARGS, timeout: 30000 });
        const own = await serveSite(SITE);
        try {
            const page = await KoravelPage.openIn(context, own);
            const first = await visit(page);
            assert.deepEqual(first.kept, files(SITE, first.names[0]));
            const cdp = await context.newCDPSession(page.page);
            assert.deepEqual((await cdp.send('Page.getAppManifest')).errors, []);
            assert.deepEqual((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors, []);

            own.root = join(work, 'nowhere'); // the server has nothing more to give
            await context.setOffline(true);
            await page.page.reload({ waitUntil: 'load', timeout: 30000 });
            await page.page.waitForFunction(() => document.documentElement.dataset.state === 'ready', null, { timeout: 30000 });
            const image = makeFlashImage('1', '1', '0');
            await page.writeFlash('flash.bin', image);
            await page.answerPicker('flash.bin');
            assert.deepEqual(await page.run('#cmdFlash'), []);
            await page.choose('cboPatch1', 'Europe');
            assert.deepEqual((await page.run('#cmdPatch')).map((m) => m.prompt), ['Your flash file was patched successfully.']);
            assert.deepEqual(await page.readFlash('flash.bin'), withSettings(image, '210'));
            assert.deepEqual(await visit(page), first, 'the cache changed');

            own.root = next;
            await context.setOffline(false);
            await page.page.reload({ waitUntil: 'load', timeout: 30000 }); // from the old cache, and finds the new worker
            const now = await visit(page, first.names[0]);
            assert.equal(now.names.length, 1);
            assert.deepEqual(now.kept, files(next, now.names[0]));
            assert.deepEqual(page.problems, []);
        } finally {
            await context.close();
            await own.close();
        }
    });

    // scale: how much larger the window is drawn; shown: the drawing the red picture shows.
    for (const [what, options, scale, shown] of [
        ['a phone', { width: 390, height: 844, deviceScaleFactor: 3, hasTouch: true, isMobile: true }, 382 / 250, '2x'],
        ['a phone held sideways', { width: 844, height: 390, deviceScaleFactor: 3, hasTouch: true, isMobile: true }, 382 / 281, '2x'],
        ['a touch screen of 1 device pixel per CSS pixel', { width: 1024, height: 768, hasTouch: true, isMobile: true }, 2, '2x'],
        ['a narrow screen with a fine pointer', { width: 390, height: 700 }, 382 / 250, '1.5x'],
        ['a desktop, in a narrow browser window', { width: 390, height: 600, screen: { width: 1280, height: 800 } }, 1, '1x'],
    ]) {
        test(`on ${what}, draws the window ${scale.toFixed(3)} times as large, with the ${shown} drawing`, async () => {
            const page = await KoravelPage.open(browser, site, options);
            try {
                const layout = await measureWindow(page.page);
                // The whole window in the viewport, whichever way the phone is held.
                const [left, top, width, height] = layout.frame;
                assert.ok(Math.abs(width - 250 * scale) < 0.5 && left >= 0 && top >= 0, `window at ${layout.frame}`);
                assert.ok(left + width <= options.width && top + height <= options.height, `window at ${layout.frame}`);
                for (const [id, box] of Object.entries(layout.boxes)) {
                    const expected = GEOMETRY[id].map((v) => v * scale);
                    assert.ok(box.every((v, i) => Math.abs(v - expected[i]) < 0.5), `${id} at ${box}, not ${expected}`);
                }
                const drawing = (id) =>
                    page.page.$eval(`#${id} img`, (img) =>
                        [...img.parentElement.querySelectorAll('source')].map((s) => s.srcset).find((set) => set.startsWith(`${img.currentSrc} `)));
                assert.equal((await drawing('picPatchRed'))?.split(' ')[1] ?? '1x', shown);
                // A picture first shown later has its drawing fitted the same.
                await page.choose('cboPatch1', 'Europe');
                await page.page.waitForFunction(() => {
                    const img = document.querySelector('#picPatchBlue:not([hidden]) img');
                    return img?.complete && img.currentSrc !== '';
                });
                assert.equal((await drawing('picPatchBlue'))?.split(' ')[1] ?? '1x', shown);
                // A message box with an OK button as large, within the viewport.
                await page.page.click('#cmdPatch');
                await page.page.waitForFunction(() => document.getElementById('msgBox').open);
                const [box, ok] = await page.page.evaluate(() => ['msgBox', 'msgOk'].map((id) => document.getElementById(id).getBoundingClientRect().toJSON()));
                assert.ok(box.left >= 0 && box.right <= options.width && ok.height >= 20 * scale, JSON.stringify([box, ok]));
            } finally {
                await page.close();
            }
        });
    }
});
