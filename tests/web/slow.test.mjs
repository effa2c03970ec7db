// The page on a slow connection, as a first visit on a phone brings it: the
// window is drawn long before the rest of the page (the program) has
// arrived. Whatever a person can see answers: Select opens the picker in the
// click itself, and what is picked, chosen or asked for takes effect once the
// program runs, in order, with no message but the program's own.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { KoravelPage, launchBrowser, servePage, skipReason } from './support/harness.mjs';
import { makeFlashImage } from './support/flash.mjs';

// About what a slow mobile connection gives: the whole page takes some
// seconds; half that for a slow phone, which also runs the page four times
// slower, so that the page is still arriving when such a phone has the
// window ready and clicks.
const BYTES_PER_SECOND = 64 * 1024;
const PHONE_BYTES_PER_SECOND = 32 * 1024;
const IMAGE = makeFlashImage('Z', '3', '1');
const IMAGE_SHOWN = {
    txtFlash: 'early.bin',
    region: 'Europe',
    swirl: 'Black swirl',
    broadcast: 'PAL',
    language: 'French (Fran\u00e7ais)',
    pictures: 'picPatchBlack',
};

// Runs in the page before its scripts: records, for each click and choice,
// whether the page was still arriving and the program not yet there; for each
// picker opened, whether a user activation allowed it; and answers the File
// System Access picker with the image, put in the origin-private file system.
function recorder(base64) {
    const probe = window.__koravel;
    Object.assign(probe, { pick: 'early.bin', events: [], activations: [], shownAtMessage: [] });
    const note = (event) => {
        if (!['cmdFlash', 'cmdPatch', 'cboPatch1'].includes(event.target.id)) return;
        probe.events.push({ id: event.target.id, type: event.type, loading: document.readyState === 'loading', program: typeof createKoravel });
    };
    document.addEventListener('click', note, true);
    document.addEventListener('change', note, true);
    const click = HTMLInputElement.prototype.click;
    HTMLInputElement.prototype.click = function () {
        if (this.type === 'file') probe.activations.push(navigator.userActivation.isActive);
        return click.call(this);
    };
    const answer = window.showOpenFilePicker;
    if (answer) {
        window.showOpenFilePicker = async (options) => {
            probe.activations.push(navigator.userActivation.isActive);
            const folder = await navigator.storage.getDirectory();
            const stream = await (await folder.getFileHandle('early.bin', { create: true })).createWritable();
            await stream.write(Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)));
            await stream.close();
            return answer(options);
        };
    }
    new MutationObserver(() => {
        if (document.getElementById('msgBox')?.open) {
            probe.shownAtMessage.push([...document.querySelectorAll('.picture')].filter((p) => !p.hidden).map((p) => p.id).join(' '));
        }
    }).observe(document, { subtree: true, attributes: true, attributeFilter: ['open'] });
}
const prepare = `(${recorder})(${JSON.stringify(IMAGE.toString('base64'))})`;

describe('the page on a slow connection', { skip: skipReason }, () => {
    let browser;
    let server;
    let phoneServer;

    before(async () => {
        server = await servePage(undefined, { bytesPerSecond: BYTES_PER_SECOND });
        phoneServer = await servePage(undefined, { bytesPerSecond: PHONE_BYTES_PER_SECOND });
        browser = await launchBrowser();
    });

    after(async () => {
        await browser?.close();
        await server?.close();
        await phoneServer?.close();
    });

    const ready = (page) =>
        page.page.waitForFunction(() => document.documentElement.dataset.state === 'ready', null, { timeout: 30000 });

    for (const [picker, how] of [
        ['opfs', 'the File System Access picker'],
        ['download', 'the <input type="file"> picker'],
    ]) {
        for (const [when, phone] of [
            ['as soon as it is drawn', false],
            ['once the window is ready, on a slow phone', true],
        ]) {
            test(`Select clicked ${when} opens ${how} in the click, and the picked image's settings appear`, async () => {
                const page = await KoravelPage.open(browser, phone ? phoneServer : server, { picker, prepare, arrived: false, hasTouch: phone, isMobile: phone });
                try {
                    if (phone) {
                        const cdp = await page.context.newCDPSession(page.page);
                        await cdp.send('Emulation.setCPUThrottlingRate', { rate: 4 });
                    }
                    await page.page.waitForSelector('#cmdFlash', { state: 'visible', timeout: 30000 });
                    if (phone) await ready(page);
                    const click = page.page.click('#cmdFlash', { timeout: 30000 });
                    if (picker === 'download') {
                        const [chooser] = await Promise.all([page.page.waitForEvent('filechooser', { timeout: 10000 }), click]);
                        await chooser.setFiles({ name: 'early.bin', mimeType: 'application/octet-stream', buffer: IMAGE });
                    } else {
                        await click;
                    }
                    await page.page.waitForFunction(() => document.getElementById('txtFlash').value !== '', null, { timeout: 30000 });
                    await ready(page);
                    const probe = await page.probe();
                    assert.deepEqual(probe.events, [{ id: 'cmdFlash', type: 'click', loading: true, program: 'undefined' }], 'the click came while the page was arriving');
                    assert.deepEqual(probe.activations, [true], 'one picker, opened in answer to the click');
                    assert.deepEqual(await page.state(), IMAGE_SHOWN);
                    assert.equal(probe.opened, 0, 'no message');
                    assert.deepEqual(page.problems, []);
                } finally {
                    await page.close();
                }
            });
        }
    }

    test('a choice and Patch given while the page arrives take effect once the program runs, in order', async () => {
        const page = await KoravelPage.open(browser, server, { prepare, arrived: false });
        try {
            await ready(page);
            await page.choose('cboPatch1', 'Europe');
            const messages = await page.run('#cmdPatch', { timeout: 30000 });
            assert.deepEqual(messages.map((m) => m.prompt), ["Don't forget to select the flash first..."]);
            const probe = await page.probe();
            assert.deepEqual(
                probe.events.map((e) => [e.id, e.type, e.loading, e.program]),
                [
                    ['cboPatch1', 'change', true, 'undefined'],
                    ['cmdPatch', 'click', true, 'undefined'],
                ],
                'both came while the page was arriving',
            );
            assert.deepEqual(probe.shownAtMessage, ['picPatchBlue'], 'the choice took effect before Patch ran');
            assert.deepEqual(page.problems, []);
        } finally {
            await page.close();
        }
    });
});
