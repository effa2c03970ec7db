// Select and Patch on a file the picker hands over, as in a browser with the
// File System Access API: the picker is answered with a file of the
// origin-private file system, which the page must treat like a user's file.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { KoravelPage, launchBrowser, servePage, skipReason } from './support/harness.mjs';
import { SETTING_OFFSETS, differingOffsets, makeFlashImage, settingBytes, withSettings } from './support/flash.mjs';

const error = (prompt, style = 'critical') => ({ title: 'Error', style, prompt, modal: true, iconDrawn: true, ok: 'OK' });
const SUCCESS = {
    title: 'Information',
    style: 'information',
    prompt: 'Your flash file was patched successfully.',
    modal: true,
    iconDrawn: true,
    ok: 'OK',
};
const IN_USE = error("Cannot patch the flash file because it's opened in another program.");
const DENIED = error(
    'Cannot patch the flash file because Koravel was not allowed to write to it. Nothing in it was changed.\n\n' +
        '70 - Permission denied: the browser was not allowed to save changes to the file. Press Patch again to be asked again. ' +
        'If the browser does not ask, reload the page and select the file again; if it still does not ask, allow file editing ' +
        "for this page in the browser's site settings (the icon to the left of the address).",
);
const NOT_FOUND = error("Make sure the flash you selected actually exists i.e. it doesn't.");

describe('Select and Patch with the File System Access API', { skip: skipReason }, () => {
    let browser;
    let server;
    const pages = [];
    const open = async () => {
        const page = await KoravelPage.open(browser, server);
        pages.push(page);
        return page;
    };
    // A page with an image selected: the file in place and the picker's answer.
    const selected = async (image, name = 'flash.bin') => {
        const page = await open();
        await page.writeFlash(name, image);
        await page.answerPicker(name);
        assert.deepEqual(await page.run('#cmdFlash'), []);
        return page;
    };

    before(async () => {
        server = await servePage();
        browser = await launchBrowser();
    });

    after(async () => {
        await browser?.close();
        await server?.close();
    });

    test('Select shows the image\'s settings and its name, and leaves the file as it was', async () => {
        const image = makeFlashImage('Z', '3', '1');
        const page = await selected(image, 'dc_nvmem.bin');
        assert.deepEqual(await page.state(), {
            txtFlash: 'dc_nvmem.bin',
            region: 'Europe',
            swirl: 'Black swirl',
            broadcast: 'PAL',
            language: 'French (Fran\u00e7ais)',
            pictures: 'picPatchBlack',
        });
        assert.deepEqual(await page.readFlash('dc_nvmem.bin'), image);
        const { pickerCalls, states } = await page.probe();
        assert.equal(pickerCalls.length, 1);
        const extensions = JSON.stringify(pickerCalls[0]?.types ?? []);
        assert.match(extensions, /\.bin/, `the picker offers *.bin: ${extensions}`);
        assert.deepEqual(states.slice(-2), ['busy', 'ready']);

        // A second image with other codes replaces what the first showed.
        await page.writeFlash('second.bin', makeFlashImage('2', '4', '3'));
        await page.answerPicker('second.bin');
        assert.deepEqual(await page.run('#cmdFlash'), []);
        assert.deepEqual(await page.state(), {
            txtFlash: 'second.bin',
            region: 'Europe',
            swirl: 'default swirl',
            broadcast: 'PAL_N',
            language: 'Spanish (Espa\u00f1ol)',
            pictures: 'picPatchBlue',
        });
        await page.close();
    });

    test('Patch writes the six setting bytes of the picked file in place, and nothing else', async () => {
        const image = makeFlashImage('Z', '3', '1');
        const page = await selected(image);
        await page.choose('cboPatch1', 'Japan');
        await page.choose('cboPatch4', 'default swirl');
        await page.choose('cboPatch2', 'NTSC');
        await page.choose('cboPatch3', 'English');
        assert.deepEqual(await page.run('#cmdPatch'), [SUCCESS]);
        const patched = await page.readFlash('flash.bin');
        assert.equal(patched.length, image.length);
        assert.deepEqual(differingOffsets(image, patched), SETTING_OFFSETS);
        assert.equal(settingBytes(patched), '010010');
        // Write permission is asked for at most once, for reading and writing.
        const requests = (await page.probe()).permissionCalls.filter(([kind]) => kind === 'request');
        assert.ok(requests.length <= 1, JSON.stringify(requests));
        for (const [, mode] of requests) assert.equal(mode, 'readwrite');

        // Patch again with the black swirl of each region: the region bytes follow.
        for (const [region, code] of [
            ['USA', 'Y'],
            ['Europe', 'Z'],
            ['Japan', 'X'],
        ]) {
            await page.choose('cboPatch4', 'Black swirl');
            await page.choose('cboPatch1', region);
            assert.deepEqual(await page.run('#cmdPatch'), [SUCCESS]);
            assert.deepEqual(await page.readFlash('flash.bin'), withSettings(image, `${code}10`), region);
        }
        // The window keeps what it showed.
        assert.deepEqual(await page.state(), {
            txtFlash: 'flash.bin',
            region: 'Japan',
            swirl: 'Black swirl',
            broadcast: 'NTSC',
            language: 'English',
            pictures: 'picPatchBlack',
        });
        // The browser keeps nothing of it: no cookie, no stored item, no database.
        assert.deepEqual(
            await page.page.evaluate(async () => [document.cookie, localStorage.length + sessionStorage.length, (await indexedDB.databases()).length]),
            ['', 0, 0],
        );
        await page.close();
    });

    test('an erased image gives three warnings, region, broadcast, language, and keeps the lists', async () => {
        const page = await selected(makeFlashImage('X', '2', '2'));
        const before = await page.state();
        const erased = Buffer.alloc(131072, 0xff);
        await page.writeFlash('erased.bin', erased);
        await page.answerPicker('erased.bin');
        assert.deepEqual(await page.run('#cmdFlash'), [
            error("The region hex value 'FF' isn't known by Koravel.", 'warning'),
            error("The broadcast hex value 'FF' isn't known by Koravel.", 'warning'),
            error("The language hex value 'FF' isn't known by Koravel.", 'warning'),
        ]);
        assert.deepEqual(await page.state(), { ...before, txtFlash: 'erased.bin' });
        assert.deepEqual(await page.readFlash('erased.bin'), erased);
        // A region byte of 0x00 is shown as a single digit; known codes are still set.
        const zero = makeFlashImage(0x00, '4', 'A');
        await page.writeFlash('zero.bin', zero);
        await page.answerPicker('zero.bin');
        assert.deepEqual(await page.run('#cmdFlash', { close: 'Escape' }), [
            error("The region hex value '0' isn't known by Koravel.", 'warning'),
            error("The broadcast hex value '41' isn't known by Koravel.", 'warning'),
        ]);
        assert.deepEqual(await page.state(), {
            ...before,
            txtFlash: 'zero.bin',
            language: 'Spanish (Espa\u00f1ol)',
        });
        await page.close();
    });

    test('a cancelled picker changes nothing', async () => {
        const page = await selected(makeFlashImage('2', '0', '3'));
        const before = await page.state();
        await page.answerPicker(null);
        assert.deepEqual(await page.run('#cmdFlash'), []);
        assert.deepEqual(await page.state(), before);
        assert.equal((await page.probe()).pickerCalls.length, 2);
        // Patch still acts on the file picked before.
        await page.choose('cboPatch3', 'Italian (Italiano)');
        assert.deepEqual(await page.run('#cmdPatch'), [SUCCESS]);
        assert.equal(settingBytes(await page.readFlash('flash.bin')), '253253');
        await page.close();
    });

    test('Patch refuses an empty path box, a typed name and a file that has gone', async () => {
        const page = await open();
        assert.deepEqual(await page.run('#cmdPatch'), [error("Don't forget to select the flash first...")]);

        await page.page.fill('#txtFlash', '');
        await page.page.locator('#txtFlash').pressSequentially('/home/me/flash.bin');
        assert.deepEqual(await page.run('#cmdPatch', { close: 'click' }), [NOT_FOUND]);

        // Blanks are a path, not an empty box.
        await page.page.fill('#txtFlash', ' ');
        assert.deepEqual(await page.run('#cmdPatch'), [NOT_FOUND]);

        // A picked file whose name is edited by hand is not the picked file.
        const image = makeFlashImage('1', '1', '0');
        await page.writeFlash('flash.bin', image);
        await page.answerPicker('flash.bin');
        assert.deepEqual(await page.run('#cmdFlash'), []);
        await page.page.focus('#txtFlash');
        await page.page.keyboard.press('End');
        await page.page.keyboard.type('x');
        assert.deepEqual(await page.run('#cmdPatch'), [NOT_FOUND]);
        // Typed back to the picked file's name, the box names that file again.
        await page.page.focus('#txtFlash');
        await page.page.keyboard.press('End');
        await page.page.keyboard.press('Backspace');
        await page.choose('cboPatch2', 'PAL_M');
        assert.deepEqual(await page.run('#cmdPatch'), [SUCCESS]);
        assert.deepEqual(await page.readFlash('flash.bin'), withSettings(image, '112'));
        await page.page.fill('#txtFlash', '');
        assert.deepEqual(await page.run('#cmdPatch'), [error("Don't forget to select the flash first...")]);

        // The file removed after Select.
        await page.answerPicker('flash.bin');
        assert.deepEqual(await page.run('#cmdFlash'), []);
        await page.removeFlash('flash.bin');
        assert.deepEqual(await page.run('#cmdPatch'), [NOT_FOUND]);
        await page.close();
    });

    test('a file too short to be an image is refused, with nothing written', async () => {
        const short = makeFlashImage('0', '0', '0').subarray(0, 0x1a050); // the primary copy only
        const page = await selected(short, 'short.bin');
        assert.equal((await page.state()).region, 'Japan');
        const messages = await page.run('#cmdPatch');
        assert.equal(messages.length, 1);
        assert.equal(messages[0].title, 'Error');
        assert.equal(messages[0].style, 'critical');
        assert.ok(
            messages[0].prompt.startsWith('The file you selected is too small to be a flash image'),
            messages[0].prompt,
        );
        assert.deepEqual(await page.readFlash('short.bin'), Buffer.from(short));
        await page.close();
    });

    test('a refused write says who refused, nothing is written, and a later Patch succeeds', async () => {
        const image = makeFlashImage('1', '1', '0');
        for (const [refusal, message] of [
            ['locked', IN_USE],
            ['permission', DENIED],
            ['close', IN_USE],
        ]) {
            const page = await open();
            await page.writeFlash('flash.bin', image);
            await page.answerPicker('flash.bin', refusal);
            assert.deepEqual(await page.run('#cmdFlash'), []);
            await page.choose('cboPatch1', 'Europe');
            assert.deepEqual(await page.run('#cmdPatch'), [message], refusal);
            assert.deepEqual(await page.readFlash('flash.bin'), image, refusal);

            // The other program lets go, or the user allows saving: the same
            // file, picked again, patches.
            await page.answerPicker('flash.bin');
            assert.deepEqual(await page.run('#cmdFlash'), []);
            await page.choose('cboPatch1', 'Europe');
            assert.deepEqual(await page.run('#cmdPatch'), [SUCCESS], refusal);
            assert.equal(settingBytes(await page.readFlash('flash.bin')), '210210', refusal);
            await page.close();
        }
    });

    test('Select and Patch work from the keyboard alone', async () => {
        const image = makeFlashImage('1', '1', '0');
        const page = await open();
        await page.writeFlash('flash.bin', image);
        await page.answerPicker('flash.bin');
        const keys = (...names) => names.reduce((done, name) => done.then(() => page.page.keyboard.press(name)), Promise.resolve());
        await keys('Tab', 'Tab'); // from the picture, which has the focus: the path box, Select
        assert.deepEqual(await page.run(() => keys('Space')), []);
        assert.equal((await page.state()).txtFlash, 'flash.bin');
        // The box gives the focus back to Select; on to the region list, then Patch.
        await keys('Tab', 'ArrowDown', 'Tab');
        assert.equal(await page.page.evaluate(() => document.activeElement.id), 'cmdPatch');
        assert.deepEqual(await page.run(() => keys('Enter')), [SUCCESS]);
        assert.deepEqual(await page.readFlash('flash.bin'), withSettings(image, '210'));
        await page.close();
    });

    test('a message box is modal: the page cannot be used until it is closed', async () => {
        const page = await open();
        await page.page.click('#cmdPatch');
        await page.page.waitForFunction(() => document.getElementById('msgBox').open);
        const shown = await page.readMessage();
        assert.equal(shown.prompt, "Don't forget to select the flash first...");
        assert.deepEqual(
            await page.page.evaluate(() => {
                const box = document.getElementById('msgBox');
                return [box.getAttribute('aria-labelledby'), box.getAttribute('aria-describedby'), box.contains(document.activeElement)];
            }),
            ['msgTitle', 'msgPrompt', true],
        );
        // A click on Patch, Select or a list, and typing, reach nothing behind the box.
        for (const id of ['cmdPatch', 'cmdFlash', 'cboPatch1', 'txtFlash']) {
            const box = await page.page.locator(`#${id}`).boundingBox();
            await page.page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
        }
        await page.page.keyboard.type('ab');
        for (let i = 0; i < 3; i++) await page.page.keyboard.press('Tab');
        const during = await page.page.evaluate(() => ({
            inBox: document.getElementById('msgBox').contains(document.activeElement),
            text: document.getElementById('txtFlash').value,
            busy: window.__koravel.states.filter((s) => s === 'busy').length,
            pickerCalls: window.__koravel.pickerCalls.length,
        }));
        assert.deepEqual(during, { inBox: true, text: '', busy: 1, pickerCalls: 0 });
        assert.equal(await page.messageShown(), true);

        await page.page.keyboard.press('Escape');
        await page.page.waitForFunction(() => document.documentElement.dataset.state === 'ready');
        await page.page.waitForTimeout(200); // no second box follows
        assert.equal(await page.messageShown(), false);
        assert.equal((await page.probe()).states.filter((s) => s === 'busy').length, 1);
        await page.close();
    });

    test('sends no request but for the page, and reports no error', async () => {
        for (const page of pages) {
            assert.deepEqual(page.foreignRequests(), []);
            assert.deepEqual(page.problems, []);
        }
        assert.deepEqual(
            server.requests.filter((r) => r !== `GET ${server.path}`),
            [],
        );
    });
});
