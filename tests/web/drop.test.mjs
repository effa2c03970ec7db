// Files and text dropped on the page. First dragged from a file manager's
// stand-in onto a Chromium with a window, on a private X server, as a person
// drags them: the browser's own drag and drop, DataTransfer and handles.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { chromium } from 'playwright-core';
import { CHROMIUM, CHROMIUM_ARGS, KoravelPage, PAGE, launchBrowser, servePage, skipReason } from './support/harness.mjs';
import { dragTo, pressKeys, realDragSkipReason, screenshotScreen, startXvfb } from './support/screen.mjs';
import { makeFlashImage, withSettings } from './support/flash.mjs';

const SHOTS = join(dirname(PAGE), 'screenshots');
const WINDOW = { x: 200, y: 0, width: 900, height: 700 };
const SUCCESS = { title: 'Information', style: 'information', prompt: 'Your flash file was patched successfully.' };

describe('a real drag onto the page in Chromium', { skip: skipReason || realDragSkipReason() }, () => {
    let xserver;
    let server;
    let browser;
    let page;
    const files = mkdtempSync(join(tmpdir(), 'koravel-drop-'));
    const downloads = [];

    before(async () => {
        mkdirSync(SHOTS, { recursive: true });
        xserver = await startXvfb();
        server = await servePage();
        browser = await chromium.launch({
            executablePath: CHROMIUM,
            args: [...CHROMIUM_ARGS, `--window-position=${WINDOW.x},${WINDOW.y}`, `--window-size=${WINDOW.width},${WINDOW.height}`],
            headless: false,
            env: xserver.env,
            timeout: 30000,
        });
        const context = await browser.newContext({ viewport: null, acceptDownloads: true });
        page = await KoravelPage.openIn(context, server);
        page.page.on('download', (download) => downloads.push(download.suggestedFilename()));
    });

    after(async () => {
        await browser?.close();
        await server?.close();
        await xserver?.close();
    });

    // A point of the page on the screen: an element's middle, or page coordinates.
    const onScreen = async (where) =>
        page.page.evaluate((where) => {
            const rect = typeof where === 'string' ? document.querySelector(where).getBoundingClientRect() : { x: where.x, y: where.y, width: 0, height: 0 };
            return { x: screenX + (outerWidth - innerWidth) / 2 + rect.x + rect.width / 2, y: screenY + outerHeight - innerHeight + rect.y + rect.height / 2 };
        }, where);
    const drag = async (where, kind, ...items) => {
        const { x, y } = await onScreen(where);
        return dragTo(xserver, x, y, kind, ...items);
    };
    // Nothing left the page: no navigation, no other tab, no download.
    const stayed = async () => {
        assert.equal(page.page.url(), server.url);
        assert.equal(page.context.pages().length, 1);
        assert.deepEqual(downloads, []);
    };
    const settled = () => page.page.waitForFunction(() => document.documentElement.dataset.state === 'ready', null, { timeout: 10000 });

    test('one image dropped on the window is taken as Select takes it, and Patch writes it in place after the browser asks', async () => {
        const image = makeFlashImage('Z', '3', '1');
        const file = join(files, 'dc_flash.bin');
        writeFileSync(file, image);
        assert.deepEqual(await page.run(async () => assert.equal(await drag('#cboPatch2', 'uris', file), 'dropped: copy')), []);
        assert.deepEqual(await page.state(), {
            txtFlash: 'dc_flash.bin',
            region: 'Europe',
            swirl: 'Black swirl',
            broadcast: 'PAL',
            language: 'French (Fran\u00e7ais)',
            pictures: 'picPatchBlack',
        });
        await stayed();
        assert.equal(await page.page.isHidden('#saveNote'), true, 'a dropped file is written in place: no note of a download');
        await screenshotScreen(xserver, join(SHOTS, 'chromium-dropped.png'));

        // The browser asks before the page may change the file: "Save changes" is
        // the prompt's second button, after Cancel, which has the focus.
        await page.choose('cboPatch1', 'Japan');
        const messages = await page.run(
            async () => {
                await page.page.click('#cmdPatch');
                await page.page.waitForTimeout(1500);
                await screenshotScreen(xserver, join(SHOTS, 'chromium-prompt.png'));
                await pressKeys(xserver, 'Tab', 'Return');
            },
            { timeout: 20000 },
        );
        assert.deepEqual(messages.map(({ title, style, prompt }) => ({ title, style, prompt })), [SUCCESS]);
        assert.deepEqual(readFileSync(file), withSettings(image, 'X31'));
        await stayed();
    });

    test('an image dropped beside the window is taken too', async () => {
        const file = join(files, 'second.bin');
        writeFileSync(file, makeFlashImage('2', '4', '3'));
        assert.deepEqual(await page.run(async () => assert.equal(await drag({ x: 40, y: 40 }, 'uris', file), 'dropped: copy')), []);
        assert.deepEqual(await page.state(), {
            txtFlash: 'second.bin',
            region: 'Europe',
            swirl: 'default swirl',
            broadcast: 'PAL_N',
            language: 'Spanish (Espa\u00f1ol)',
            pictures: 'picPatchBlue',
        });
        await stayed();
    });

    test('two files, text and a folder change nothing, on the window or beside it; only the folder is offered, as the browser cannot tell it from a file', async () => {
        const image = join(files, 'third.bin');
        writeFileSync(image, makeFlashImage('0', '1', '0'));
        const folder = join(files, 'folder.bin');
        mkdirSync(folder);
        const shown = await page.state();
        const { states, opened } = await page.probe();
        for (const [where, kind, items, answer] of [
            ['#txtFlash', 'uris', [image, join(files, 'dc_flash.bin')], /^not dropped/],
            [{ x: 40, y: 600 }, 'uris', [image, join(files, 'dc_flash.bin')], /^not dropped/],
            ['#txtFlash', 'text', [image], /^not dropped/],
            [{ x: 40, y: 40 }, 'text', ['https://example.invalid/flash.bin'], /^not dropped/],
            ['#picPatchBlue', 'uris', [folder], /^dropped: copy$/],
        ]) {
            const said = await drag(where, kind, ...items);
            assert.match(said, answer, `${kind} ${items.join(' ')} onto ${JSON.stringify(where)}`);
            if (kind === 'text' && where === '#txtFlash') await screenshotScreen(xserver, join(SHOTS, 'chromium-refused.png'));
            await page.page.waitForTimeout(500);
            await settled();
            assert.deepEqual(await page.state(), shown, `${kind} ${items.join(' ')}`);
        }
        const probe = await page.probe();
        assert.deepEqual(probe.states.length, states.length, 'no command ran');
        assert.equal(probe.opened, opened, 'no message');
        await stayed();
        assert.deepEqual(page.problems, []);
    });
});

// The page's own answers to drops that a real drag cannot time or shape here,
// in headless Chromium: drop events the page is sent itself, carrying a File
// and no handle, as a browser without getAsFileSystemHandle gives them.
function dropFile([name, base64]) {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
    const event = new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true });
    document.documentElement.dispatchEvent(event);
    return { loading: document.readyState === 'loading', program: typeof createKoravel, prevented: event.defaultPrevented };
}

describe('drops the page is sent', { skip: skipReason }, () => {
    let browser;
    let server;
    let slowServer;

    before(async () => {
        server = await servePage();
        slowServer = await servePage(undefined, { bytesPerSecond: 64 * 1024 });
        browser = await launchBrowser();
    });

    after(async () => {
        await browser?.close();
        await server?.close();
        await slowServer?.close();
    });

    test('a drop while the page is still arriving is taken once the program runs', async () => {
        const page = await KoravelPage.open(browser, slowServer, { arrived: false });
        try {
            await page.page.waitForSelector('#frmMain', { state: 'attached', timeout: 30000 });
            const sent = await page.page.evaluate(dropFile, ['early.bin', makeFlashImage('X', '5', '2').toString('base64')]);
            assert.deepEqual(sent, { loading: true, program: 'undefined', prevented: true });
            await page.page.waitForFunction(() => document.getElementById('txtFlash')?.value && document.documentElement.dataset.state === 'ready', null, { timeout: 30000 });
            assert.deepEqual(await page.state(), {
                txtFlash: 'early.bin',
                region: 'Japan',
                swirl: 'Black swirl',
                broadcast: 'PAL_M',
                language: 'Italian (Italiano)',
                pictures: 'picPatchBlack',
            });
            assert.equal((await page.probe()).opened, 0, 'no message');
        } finally {
            await page.close();
        }
    });

    test('a dropped file says what Select says of the same file; without a handle, the note says Patch hands over a copy', async () => {
        const page = await KoravelPage.open(browser, server);
        try {
            const notImage = Buffer.from('not a flash image\n');
            await page.writeFlash('notes.txt', notImage);
            await page.answerPicker('notes.txt');
            const picked = await page.run('#cmdFlash');
            assert.ok(picked.length > 0, 'Select refuses the file');
            assert.equal(await page.page.isHidden('#saveNote'), true, 'a picked file is written in place here');
            const dropped = await page.run(() => page.page.evaluate(dropFile, ['notes.txt', notImage.toString('base64')]));
            assert.deepEqual(dropped, picked);

            const image = makeFlashImage('Z', '3', '1');
            assert.deepEqual(await page.run(() => page.page.evaluate(dropFile, ['dropped.bin', image.toString('base64')])), []);
            assert.equal(await page.page.isVisible('#saveNote'), true, 'a dropped file without a handle is not');

            // While a message box is open, a drop does nothing.
            const shown = await page.state();
            await page.run(async () => {
                await page.page.click('#cmdPatch');
                await page.page.waitForFunction(() => document.getElementById('msgBox').open);
                await page.page.evaluate(dropFile, ['other.bin', makeFlashImage('0', '0', '0').toString('base64')]);
            });
            assert.deepEqual(await page.state(), shown);
            assert.deepEqual(page.problems, []);
        } finally {
            await page.close();
        }
    });
});
