// Select and Patch where the browser cannot write to a picked file: the file
// comes from an <input type="file">, or from a picker whose handles cannot
// write, and Patch hands over a patched copy as a download.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtemp, readFile, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { KoravelPage, launchBrowser, servePage, skipReason } from './support/harness.mjs';
import { SETTING_OFFSETS, differingOffsets, makeFlashImage, withSettings } from './support/flash.mjs';

const downloaded = (name) => ({
    title: 'Information',
    style: 'information',
    prompt: `A patched copy of your flash file was handed to the browser as a download named "${name}". The file you picked is unchanged: use the downloaded copy (the browser may add a number to its name).`,
});

// The note under the window: shown, clear of the window, and what it says.
const saveNote = (page) =>
    page.page.evaluate(() => {
        const note = document.getElementById('saveNote');
        const rect = note?.getBoundingClientRect();
        const window = document.getElementById('frmMain').getBoundingClientRect();
        const overlaps = rect && rect.left < window.right && rect.right > window.left && rect.top < window.bottom && rect.bottom > window.top;
        return { visible: !!note && note.checkVisibility() && rect.width > 0, text: note?.textContent ?? '', overlaps };
    });

// Runs Patch, catching what it downloads; the download comes before the message.
async function patchCatchingDownloads(page) {
    const events = [];
    const downloads = [];
    const onDownload = (download) => {
        downloads.push(download);
        events.push('download');
    };
    page.page.on('download', onDownload);
    const messages = await page.run('#cmdPatch', { onMessage: () => events.push('message') });
    page.page.off('download', onDownload);
    return { events, downloads, messages: messages.map((m) => ({ title: m.title, style: m.style, prompt: m.prompt })) };
}

describe('Select and Patch without the File System Access API', { skip: skipReason }, () => {
    let browser;
    let server;
    let page;

    before(async () => {
        server = await servePage();
        browser = await launchBrowser();
        page = await KoravelPage.open(browser, server, { picker: 'download' });
    });

    after(async () => {
        await browser?.close();
        await server?.close();
    });

    // Clicks Select and answers the page's file input with these files.
    const pick = (files) =>
        page.run(async () => {
            const [chooser] = await Promise.all([page.page.waitForEvent('filechooser'), page.page.click('#cmdFlash')]);
            await chooser.setFiles(files);
        });

    test('says next to the window that Patch saves a patched copy', async () => {
        const note = await saveNote(page);
        assert.equal(note.visible, true);
        assert.match(note.text, /download|copy/i);
        assert.equal(note.overlaps, false, 'the note covers the window');
    });

    // The user's file, on disk.
    let picked;

    test('Select reads the chosen file and shows its name', async () => {
        const image = makeFlashImage('Y', '2', '3');
        picked = join(await mkdtemp(join(tmpdir(), 'koravel-')), 'flash.bin');
        await writeFile(picked, image);
        assert.deepEqual(await pick([picked]), []);
        // The filter lets every file through, so the input names no type (iOS would hide files of types it does not know).
        assert.equal(await page.page.$eval('#filePicker', (input) => input.accept), '');
        assert.deepEqual(await page.state(), {
            txtFlash: 'flash.bin',
            region: 'USA',
            swirl: 'Black swirl',
            broadcast: 'PAL_N',
            language: 'German (Deutsch)',
            pictures: 'picPatchBlack',
        });
    });

    test('Patch downloads a copy under the file\'s name that differs in the six setting bytes', async () => {
        const image = makeFlashImage('Y', '2', '3');
        await page.choose('cboPatch1', 'Europe');
        await page.choose('cboPatch4', 'default swirl');
        await page.choose('cboPatch2', 'PAL');
        await page.choose('cboPatch3', 'Japanese');
        // The download is handed over first, then the message says where the patch went.
        const { events, downloads, messages } = await patchCatchingDownloads(page);
        assert.deepEqual(messages, [downloaded('flash.bin')]);
        assert.deepEqual(events, ['download', 'message']);
        assert.equal(downloads[0].suggestedFilename(), 'flash.bin');
        assert.equal(await downloads[0].failure(), null);
        const copy = await readFile(await downloads[0].path());
        assert.equal(copy.length, image.length);
        assert.deepEqual(differingOffsets(image, copy), SETTING_OFFSETS);
        assert.deepEqual(copy, withSettings(image, '201'));
    });

    test('a cancelled file input and an empty or typed path give what they give in place', async () => {
        const before = await page.state();
        assert.deepEqual(await pick([]), []);
        assert.deepEqual(await page.state(), before);

        await page.page.fill('#txtFlash', '');
        assert.deepEqual((await page.run('#cmdPatch')).map((m) => m.prompt), ["Don't forget to select the flash first..."]);
        await page.page.fill('#txtFlash', 'C:\\flash.bin');
        assert.deepEqual((await page.run('#cmdPatch')).map((m) => m.prompt), [
            "Make sure the flash you selected actually exists i.e. it doesn't.",
        ]);
    });

    test('a short file is refused without a download', async () => {
        const short = makeFlashImage('0', '0', '0').subarray(0, 0x1a050);
        assert.deepEqual(await pick([{ name: 'short.bin', mimeType: 'application/octet-stream', buffer: short }]), []);
        let downloads = 0;
        const count = () => downloads++;
        page.page.on('download', count);
        const messages = await page.run('#cmdPatch');
        await page.page.waitForTimeout(200);
        page.page.off('download', count);
        assert.equal(downloads, 0);
        assert.equal(messages.length, 1);
        assert.ok(messages[0].prompt.startsWith('The file you selected is too small to be a flash image'), messages[0].prompt);
    });

    // The same rule decides the note and the download where the picker exists.
    // Such handles have no way to write, so the picked file cannot change
    // whatever the page does: only what the page says and hands over is checked.
    test('with a picker whose handles cannot write, the note shows, and Patch downloads a patched copy', async () => {
        const page = await KoravelPage.open(browser, server, { picker: 'read-only-handles' });
        try {
            assert.equal((await saveNote(page)).visible, true);
            const image = makeFlashImage('X', '0', '1');
            await page.writeFlash('dc_flash.bin', image);
            await page.answerPicker('dc_flash.bin');
            assert.deepEqual(await page.run('#cmdFlash'), []);
            assert.equal((await page.probe()).pickerCalls.length, 1, 'picked with the picker');
            await page.choose('cboPatch1', 'USA');

            const { downloads, messages } = await patchCatchingDownloads(page);
            assert.deepEqual(messages, [downloaded('dc_flash.bin')]);
            assert.deepEqual(await readFile(await downloads[0].path()), withSettings(image, 'Y01'));
            assert.deepEqual((await page.probe()).permissionCalls, [], 'no permission to save is asked for a download');
            assert.deepEqual(page.foreignRequests(), []);
            assert.deepEqual(page.problems, []);
        } finally {
            await page.close();
        }
    });

    test('sends no request but for the page and blobs, and reports no error', () => {
        assert.deepEqual(page.foreignRequests(), []);
        assert.deepEqual(page.problems, []);
        assert.deepEqual(
            server.requests.filter((r) => r !== `GET ${server.path}`),
            [],
        );
    });
});
