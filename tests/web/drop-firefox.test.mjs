// Files and text dragged from a file manager's stand-in onto the page in
// Firefox ESR with a window, on a private X server. Firefox has no handle that
// can write a dropped file: Patch hands over a patched copy as a download.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { PAGE, servePage, windowState } from './support/harness.mjs';
import { firefoxSkipReason, launchFirefox } from './support/firefox.mjs';
import { dragTo, realDragSkipReason, screenshotScreen, startXvfb } from './support/screen.mjs';
import { makeFlashImage, withSettings } from './support/flash.mjs';

const SHOTS = join(dirname(PAGE), 'screenshots');

// What the page shows besides the window, read in the page.
function around() {
    return {
        state: document.documentElement.dataset.state,
        message: document.getElementById('msgBox').open ? document.getElementById('msgPrompt').textContent : null,
        note: document.getElementById('saveNote').hidden ? null : document.getElementById('saveNote').textContent,
        url: location.href,
    };
}

describe('a real drag onto the page in Firefox ESR', { skip: firefoxSkipReason || realDragSkipReason() }, () => {
    let xserver;
    let server;
    let firefox;
    const files = mkdtempSync(join(tmpdir(), 'koravel-drop-'));
    const downloads = mkdtempSync(join(tmpdir(), 'koravel-downloads-'));

    before(async () => {
        mkdirSync(SHOTS, { recursive: true });
        xserver = await startXvfb();
        server = await servePage();
        firefox = await launchFirefox(xserver, downloads);
        await firefox.send('WebDriver:SetWindowRect', { x: 200, y: 0, width: 900, height: 700 });
        await firefox.send('WebDriver:Navigate', { url: server.url });
        await until((s) => s.state === 'ready');
        // What the page last answered the browser while dragging over it, read
        // after the page's own handlers.
        await firefox.run(() => window.addEventListener('dragover', (event) => (window.lastDropEffect = event.dataTransfer.dropEffect)));
    });

    after(async () => {
        await firefox?.close();
        await server?.close();
        await xserver?.close();
    });

    const shown = async () => ({ ...(await firefox.run(windowState)), ...(await firefox.run(around)) });
    // Polls what the page shows until `condition` holds; gives it.
    async function until(condition, seconds = 15) {
        const deadline = Date.now() + seconds * 1000;
        for (;;) {
            const now = await shown();
            if (condition(now)) return now;
            if (Date.now() > deadline) throw new Error(`gave up waiting; the window shows ${JSON.stringify(now)}`);
            await new Promise((resolve) => setTimeout(resolve, 100));
        }
    }
    const drag = async (where, kind, ...items) => {
        const { x, y } = await firefox.run((where) => {
            const rect = typeof where === 'string' ? document.querySelector(where).getBoundingClientRect() : { x: where.x, y: where.y, width: 0, height: 0 };
            return { x: mozInnerScreenX + rect.x + rect.width / 2, y: mozInnerScreenY + rect.y + rect.height / 2 };
        }, where);
        return dragTo(xserver, x, y, kind, ...items);
    };
    const stayed = async () => {
        assert.equal((await shown()).url, server.url);
        assert.equal((await firefox.send('WebDriver:GetWindowHandles')).length, 1, 'no other tab');
    };

    test('one image dropped on the window is taken as Select takes it, and Patch hands over a patched copy', async () => {
        const image = makeFlashImage('Y', '2', '3');
        const file = join(files, 'flash.bin');
        writeFileSync(file, image);
        assert.equal(await drag('#cboPatch2', 'uris', file), 'dropped: copy');
        const after = await until((s) => s.txtFlash === 'flash.bin' && s.state === 'ready');
        assert.deepEqual(after, {
            state: 'ready',
            txtFlash: 'flash.bin',
            region: 'USA',
            swirl: 'Black swirl',
            broadcast: 'PAL_N',
            language: 'German (Deutsch)',
            pictures: 'picPatchBlack',
            message: null,
            note: 'In this browser, Patch saves a patched copy of the flash as a download.',
            url: server.url,
        });
        await screenshotScreen(xserver, join(SHOTS, 'firefox-dropped.png'));

        await firefox.run(() => {
            const region = document.getElementById('cboPatch1');
            region.selectedIndex = [...region.options].findIndex((o) => o.text === 'Japan');
            region.dispatchEvent(new Event('change', { bubbles: true }));
            document.getElementById('cmdPatch').click();
        });
        const said = await until((s) => s.message !== null);
        assert.match(said.message, /^A patched copy of your flash file was handed to the browser as a download named "flash\.bin"\./);
        await firefox.run(() => document.getElementById('msgOk').click());
        await until((s) => s.state === 'ready' && s.message === null);
        const deadline = Date.now() + 15000;
        while (!existsSync(join(downloads, 'flash.bin')) && Date.now() < deadline) await new Promise((resolve) => setTimeout(resolve, 100));
        assert.deepEqual(readdirSync(downloads), ['flash.bin']);
        assert.deepEqual(readFileSync(join(downloads, 'flash.bin')), withSettings(image, 'X23'));
        assert.deepEqual(readFileSync(file), image, 'the dropped file itself is unchanged');
        await stayed();
    });

    // Firefox ESR tells the drag's source "move" even where the page answered
    // 'none' and no drop came: the page's own answer is read instead.
    test('two files, text and a folder change nothing, on the window or beside it; only the folder is offered', async () => {
        const image = join(files, 'third.bin');
        writeFileSync(image, makeFlashImage('0', '1', '0'));
        const folder = join(files, 'folder.bin');
        mkdirSync(folder);
        const before = await shown();
        for (const [where, kind, items, answer] of [
            ['#txtFlash', 'uris', [image, join(files, 'flash.bin')], 'none'],
            [{ x: 40, y: 600 }, 'uris', [image, join(files, 'flash.bin')], 'none'],
            ['#txtFlash', 'text', [image], 'none'],
            ['#picPatchBlue', 'uris', [folder], 'copy'],
        ]) {
            await firefox.run(() => (window.lastDropEffect = null));
            await drag(where, kind, ...items);
            assert.equal(await firefox.run(() => window.lastDropEffect), answer, `${kind} ${items.join(' ')} onto ${JSON.stringify(where)}`);
            if (kind === 'uris' && items.length === 2 && typeof where === 'string') await screenshotScreen(xserver, join(SHOTS, 'firefox-refused.png'));
            await new Promise((resolve) => setTimeout(resolve, 700));
            assert.deepEqual(await shown(), before, `${kind} ${items.join(' ')}`);
        }
        await stayed();
    });
});
