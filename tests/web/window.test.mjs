// The window as the page draws it: the document, the ten controls, their
// geometry and Tab order, the defaults, the pictures read back pixel for
// pixel, and the swirl preview rule driven by the keyboard.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { ASSETS, KoravelPage, REPO, launchBrowser, servePage, skipReason } from './support/harness.mjs';
import { Pixels, comparePixels, decodeBmp, decodePng } from './support/bitmaps.mjs';
import { GEOMETRY, measureWindow } from './support/geometry.mjs';
import { makeFlashImage } from './support/flash.mjs';

const LISTS = {
    cboPatch1: ['Japan', 'USA', 'Europe'],
    cboPatch4: ['default swirl', 'Black swirl'],
    cboPatch2: ['NTSC', 'PAL', 'PAL_M', 'PAL_N'],
    cboPatch3: ['Japanese', 'English', 'German (Deutsch)', 'French (Fran\u00e7ais)', 'Spanish (Espa\u00f1ol)', 'Italian (Italiano)'],
};

// The controls' accessible names as every front end takes them, by control:
// X(control, name, description) in ui/ControlTexts.h, an empty name where the
// control's caption names it.
const CONTROL_NAMES = Object.fromEntries(
    [...readFileSync(join(REPO, 'ui/ControlTexts.h'), 'utf8').matchAll(/\bX\((\w+),\s*"([^"]*)",\s*"[^"]*"\)/g)].map(([, id, name]) => [id, name]),
);

const drawing = (colour, suffix = '') => decodeBmp(readFileSync(join(ASSETS, `swirl_${colour}${suffix}.bmp`)));

describe('the window in the page', { skip: skipReason }, () => {
    let browser;
    let server;
    let view;
    const pages = [];
    const open = async (options) => {
        const page = await KoravelPage.open(browser, server, options);
        pages.push(page);
        return page;
    };

    before(async () => {
        server = await servePage();
        browser = await launchBrowser();
        view = await open();
    });

    after(async () => {
        await browser?.close();
        await server?.close();
    });

    test('is one self-contained document: title, description, icon, policy, nothing kept', async () => {
        const facts = await view.page.evaluate(async () => ({
            title: document.title,
            description: document.querySelector('meta[name="description"]')?.content ?? '',
            preview: ['title', 'description'].map((name) => document.querySelector(`meta[property="og:${name}"]`)?.content ?? ''),
            icons: [...document.querySelectorAll('link[rel~="icon"]')].map((link) => link.href.slice(0, 11)),
            policy: document.querySelector('meta[http-equiv="Content-Security-Policy" i]')?.content ?? '',
            outside: [...document.querySelectorAll('[src], [href], [srcset]')]
                .flatMap((e) => [e.getAttribute('src'), e.getAttribute('href'), e.getAttribute('srcset')])
                .filter((url) => url !== null && !/^\s*(data:|blob:|#)/.test(url)),
            cookies: document.cookie,
            localItems: localStorage.length + sessionStorage.length,
            workers: (await navigator.serviceWorker?.getRegistrations())?.length ?? 0,
            manifests: document.querySelectorAll('link[rel~="manifest"]').length,
        }));
        assert.equal(facts.title, 'Koravel v0.3');
        // Search engines and link previews say what the page does, the same way.
        assert.match(facts.description, /^Koravel .*Dreamcast flash-ROM image.*browser.*never leaves/);
        assert.deepEqual(facts.preview, ['Koravel', facts.description]);
        assert.deepEqual(facts.icons, ['data:image/']);
        assert.match(facts.policy, /default-src 'none'/);
        assert.doesNotMatch(facts.policy, /connect-src/);
        assert.deepEqual(facts.outside, []);
        assert.equal(facts.cookies, '');
        assert.equal(facts.localItems, 0);
        assert.equal(facts.workers, 0);
        assert.deepEqual(await view.context.cookies(), []);
        // Nothing of the site's: no manifest, no worker, nothing more allowed.
        assert.equal(facts.manifests, 0);
        assert.doesNotMatch(facts.policy, /'self'|manifest-src|worker-src/);

    });

    test('has the ten controls with their ids, kinds, texts, items and names', async () => {
        const controls = await view.page.evaluate(() =>
            [
                'txtFlash', 'cmdFlash', 'cmdPatch', 'cboPatch1', 'cboPatch2', 'cboPatch3', 'cboPatch4',
                'picPatchRed', 'picPatchBlue', 'picPatchBlack',
            ].map((id) => {
                const e = document.getElementById(id);
                return {
                    id,
                    tag: e?.tagName.toLowerCase(),
                    type: e?.getAttribute('type'),
                    text: e?.tagName === 'BUTTON' ? e.textContent.trim() : undefined,
                    label: e?.getAttribute('aria-label'),
                    items: e?.tagName === 'SELECT' ? [...e.options].map((o) => o.text) : undefined,
                    multiple: e?.multiple || (e?.size ?? 0) > 1,
                    inWindow: e?.closest('#frmMain') !== null,
                    disabled: e?.disabled === true,
                };
            }),
        );
        const byId = Object.fromEntries(controls.map((c) => [c.id, c]));
        for (const c of controls) {
            assert.ok(c.tag, `${c.id} is missing`);
            assert.ok(c.inWindow, `${c.id} lies outside #frmMain`);
            assert.ok(!c.disabled, `${c.id} is disabled`);
        }
        assert.equal(byId.txtFlash.tag, 'input');
        assert.equal(byId.txtFlash.type, 'text');
        assert.deepEqual([byId.cmdFlash.tag, byId.cmdFlash.text], ['button', 'Select']);
        assert.deepEqual([byId.cmdPatch.tag, byId.cmdPatch.text], ['button', 'Patch']);
        for (const [id, items] of Object.entries(LISTS)) {
            assert.equal(byId[id].tag, 'select', id);
            assert.equal(byId[id].multiple, false, `${id} is a drop-down list`);
            assert.deepEqual(byId[id].items, items, `${id} items`);
        }
        // Named as in the desktop windows: the name the list of control texts
        // gives, or, where it gives none, the caption alone (no label over it).
        assert.deepEqual(Object.keys(CONTROL_NAMES).sort(), controls.map((c) => c.id).sort(), 'every control has its texts');
        for (const c of controls) {
            const name = CONTROL_NAMES[c.id];
            assert.equal(c.label, name === '' ? null : name, `${c.id} name`);
            if (name === '') assert.ok(c.text, `${c.id} is named by a caption`);
        }
    });

    // As the browser tells a screen reader: the same names and descriptions
    // as the Qt and Windows windows give their controls.
    test('names and describes each control to screen readers as the desktop windows do', async () => {
        const page = await open();
        await page.choose('cboPatch1', 'Europe');
        await page.page.waitForFunction(() => !document.getElementById('picPatchBlue').hidden);
        const cdp = await page.context.newCDPSession(page.page);
        const { nodes } = await cdp.send('Accessibility.getFullAXTree');
        const read = (role, name) =>
            nodes
                .filter((n) => !n.ignored && [role].flat().includes(n.role?.value) && n.name?.value === name)
                .map((n) => [n.value?.value ?? '', n.description?.value ?? '']);
        const one = (role, name) => {
            const found = read(role, name);
            assert.equal(found.length, 1, `${role} "${name}": ${JSON.stringify(found)}`);
            return found[0];
        };
        assert.deepEqual(one('combobox', 'Region'), ['Europe', "The console's region"]);
        assert.deepEqual(one('combobox', 'Swirl colour'), ['default swirl', 'The colour of the swirl the console shows at start-up']);
        assert.deepEqual(one('combobox', 'Broadcast standard'), ['NTSC', 'The television standard the console sends']);
        assert.deepEqual(one('combobox', 'Language'), ['English', "The console's language"]);
        assert.deepEqual(one('textbox', 'Flash image path'), ['', 'The flash image file that Patch writes the settings into']);
        assert.deepEqual(one('button', 'Select')[1], 'Choose a flash image and show its settings');
        assert.deepEqual(one('button', 'Patch')[1], 'Write the chosen settings into both copies in the flash image');
        // Only the picture shown is read, with the colour it shows.
        assert.deepEqual(read(['img', 'image'], 'Swirl preview'), [['', 'Blue swirl: the console starts with the blue swirl']]);
        await page.close();
    });

    // A screen reader that reads the page in order meets the controls in the
    // order the Tab key moves through them, with nothing ordered by hand.
    test('holds its controls in Tab order, with no tabindex above 0', async () => {
        const order = await view.page.evaluate(() => ({
            controls: [...document.querySelectorAll('#frmMain > *')].map((e) => e.id),
            positive: [...document.querySelectorAll('[tabindex]')].filter((e) => e.tabIndex > 0).map((e) => e.id),
        }));
        assert.deepEqual(order, {
            controls: ['picPatchRed', 'txtFlash', 'cmdFlash', 'cboPatch1', 'cmdPatch', 'picPatchBlue', 'picPatchBlack', 'cboPatch2', 'cboPatch3', 'cboPatch4'],
            positive: [],
        });
    });

    test('lays the controls out at their places in a centred 250 x 281 window', async () => {
        const layout = await measureWindow(view.page);
        assert.deepEqual(layout.client, [250, 281]);
        // Centred, give or take the pixel or two that putting it on whole device pixels takes.
        assert.ok(Math.abs(layout.centre[0] - layout.viewport[0]) <= 2, `window centred across: ${layout.centre}`);
        assert.ok(Math.abs(layout.centre[1] - layout.viewport[1]) <= 2, `window centred down: ${layout.centre}`);
        for (const [id, expected] of Object.entries(GEOMETRY)) {
            assert.deepEqual(layout.boxes[id].map((v) => Math.round(v * 100) / 100), expected, id);
        }
        // The picture box has a sunken 2-pixel border: an inset style, or its
        // top and left edges darker than its bottom and right.
        const border = await view.page.evaluate(() => {
            const style = getComputedStyle(document.getElementById('picPatchRed'));
            const light = (colour) => colour.match(/\d+/g).slice(0, 3).reduce((sum, v) => sum + Number(v), 0);
            return {
                widths: ['Left', 'Top', 'Right', 'Bottom'].map((side) => style[`border${side}Width`]),
                inset: style.borderTopStyle === 'inset',
                sunken:
                    light(style.borderTopColor) < light(style.borderBottomColor) &&
                    light(style.borderLeftColor) < light(style.borderRightColor),
            };
        });
        assert.deepEqual(border.widths, ['2px', '2px', '2px', '2px']);
        assert.ok(border.inset || border.sunken, JSON.stringify(border));
    });

    test('moves focus in TabIndex order with the Tab key, skipping hidden pictures', async () => {
        const tabThrough = async (page, from, presses) => {
            if (from) await page.page.focus(`#${from}`);
            const order = [];
            for (let i = 0; i < presses; i++) {
                await page.page.keyboard.press('Tab');
                order.push(await page.page.evaluate(() => document.activeElement?.id ?? ''));
            }
            return order;
        };
        // A page that has just loaded has the focus on the first control in Tab order.
        const page = await open();
        assert.equal(await page.page.evaluate(() => document.activeElement?.id ?? ''), 'picPatchRed');
        assert.deepEqual(await tabThrough(page, null, 7), [
            'txtFlash', 'cmdFlash', 'cboPatch1', 'cmdPatch', 'cboPatch2', 'cboPatch3', 'cboPatch4',
        ]);
        // With the blue picture up, it takes its own place in the order.
        await page.choose('cboPatch1', 'Europe');
        assert.equal((await page.state()).pictures, 'picPatchBlue');
        assert.deepEqual(await tabThrough(page, 'txtFlash', 7), [
            'cmdFlash', 'cboPatch1', 'cmdPatch', 'picPatchBlue', 'cboPatch2', 'cboPatch3', 'cboPatch4',
        ]);
        await page.choose('cboPatch4', 'Black swirl');
        assert.deepEqual(await tabThrough(page, 'txtFlash', 7), [
            'cmdFlash', 'cboPatch1', 'cmdPatch', 'picPatchBlack', 'cboPatch2', 'cboPatch3', 'cboPatch4',
        ]);
        // Shift+Tab goes back the same way.
        await page.page.keyboard.press('Shift+Tab');
        assert.equal(await page.page.evaluate(() => document.activeElement.id), 'cboPatch3');
        await page.close();
    });

    test('starts with USA, NTSC, English, default swirl, an empty path box and the red picture alone', async () => {
        assert.deepEqual(await view.state(), {
            txtFlash: '',
            region: 'USA',
            swirl: 'default swirl',
            broadcast: 'NTSC',
            language: 'English',
            pictures: 'picPatchRed',
        });
        assert.equal(await view.messageShown(), false);
        assert.equal(await view.page.evaluate(() => getComputedStyle(document.getElementById('saveNote')).display), 'none');
    });

    test('starts the same where the browser cannot decode base64 into bytes itself', async () => {
        const page = await open({ fromBase64: false });
        assert.equal(await page.page.evaluate(() => typeof Uint8Array.fromBase64), 'undefined');
        assert.deepEqual(await page.state(), await view.state());
        await page.choose('cboPatch1', 'Europe');
        assert.equal((await page.state()).pictures, 'picPatchBlue');
        await page.close();
    });

    test('starts the same where the browser cannot unpack the program itself', async () => {
        const page = await open({ prepare: () => delete window.DecompressionStream });
        assert.deepEqual(await page.state(), await view.state());
        await page.choose('cboPatch1', 'Europe');
        assert.equal((await page.state()).pictures, 'picPatchBlue');
        await page.close();
    });

    // What makes the window quick: nothing of the program is read, compiled
    // or run before it is ready, and the hidden pictures' drawings wait too.
    test('is ready, with its defaults, before any of its program is read', async () => {
        const page = await open({
            prepare: () => {
                const compile = WebAssembly.compile;
                WebAssembly.compile = (...args) => {
                    window.__compiled = true;
                    return compile(...args);
                };
                new MutationObserver((_, observer) => {
                    if (document.documentElement.dataset.state !== 'ready') return;
                    observer.disconnect();
                    const region = document.getElementById('cboPatch1');
                    window.__atReady = {
                        loader: typeof createKoravel,
                        compiled: window.__compiled === true,
                        region: region.options[region.selectedIndex]?.text,
                        shown: [...document.querySelectorAll('.picture')].filter((p) => !p.hidden).map((p) => p.id),
                        drawings: Object.fromEntries([...document.querySelectorAll('.picture')].map((p) => [p.id, p.querySelector('img') ? 'in place' : 'kept'])),
                    };
                }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-state'] });
            },
        });
        assert.deepEqual(await page.page.evaluate(() => window.__atReady), {
            loader: 'undefined',
            compiled: false,
            region: 'USA',
            shown: ['picPatchRed'],
            drawings: { picPatchRed: 'in place', picPatchBlue: 'kept', picPatchBlack: 'kept' },
        });
        await page.close();
    });

    // The window is drawn before its program has started: what the user does
    // meanwhile waits for the program, in order.
    test('runs a choice and a command given before the program has started once it has', async () => {
        const page = await open({
            prepare: () => {
                const compile = WebAssembly.compile;
                WebAssembly.compile = (bytes) => new Promise((resolve) => setTimeout(resolve, 1500)).then(() => compile(bytes));
                // Each choice and click, and whether the program was running when it came.
                const instantiate = WebAssembly.instantiate;
                WebAssembly.instantiate = (...args) => instantiate(...args).then((made) => ((window.__running = true), made));
                window.__given = [];
                for (const type of ['change', 'click']) {
                    document.addEventListener(type, (event) => window.__given.push([event.target.id, window.__running === true]), true);
                }
                // The pictures shown at the moment a message box opens.
                const showModal = HTMLDialogElement.prototype.showModal;
                window.__shownAtMessage = [];
                HTMLDialogElement.prototype.showModal = function () {
                    window.__shownAtMessage.push([...document.querySelectorAll('.picture')].filter((p) => !p.hidden).map((p) => p.id).join(' '));
                    return showModal.call(this);
                };
            },
        });
        await page.choose('cboPatch1', 'Europe');
        const messages = await page.run('#cmdPatch');
        assert.deepEqual(messages.map((m) => m.prompt), ["Don't forget to select the flash first..."]);
        assert.deepEqual(await page.page.evaluate(() => window.__shownAtMessage), ['picPatchBlue'], 'the choice took effect before Patch ran');
        assert.deepEqual((await page.page.evaluate(() => window.__given)).slice(0, 2), [
            ['cboPatch1', false],
            ['cmdPatch', false],
        ]);
        await page.close();
    });

    test('says so when its program cannot start, and the window stays usable', async () => {
        const page = await KoravelPage.open(browser, server, {
            prepare: () => {
                WebAssembly.compile = () => Promise.reject(new Error('CompileError: no WebAssembly here'));
            },
        });
        try {
            assert.equal((await page.state()).region, 'USA');
            const messages = await page.run('#cmdFlash');
            assert.equal(messages.length, 1);
            assert.equal(messages[0].title, 'Error');
            assert.equal(messages[0].style, 'critical');
            assert.match(messages[0].prompt, /^Koravel could not start in this browser, so it cannot read or patch any file here\. Nothing was read or changed\.\r\n\r\nCompileError: no WebAssembly here$/);
            // Once the message is closed, the controls take input again, and
            // Select answers again with the same message rather than nothing.
            await page.page.focus('#txtFlash');
            await page.page.keyboard.type('flash.bin');
            await page.choose('cboPatch1', 'Europe');
            assert.deepEqual([(await page.state()).txtFlash, (await page.state()).region], ['flash.bin', 'Europe']);
            assert.deepEqual(await page.run('#cmdFlash'), messages);
        } finally {
            await page.close();
        }
    });

    test('tries to start its program again at the next command after a start that failed', async () => {
        const page = await KoravelPage.open(browser, server, {
            prepare: () => {
                const compile = WebAssembly.compile;
                WebAssembly.compile = (bytes) => (window.__compiles ? compile(bytes) : Promise.reject(new Error('CompileError: out of memory')));
            },
        });
        try {
            const [failed] = await page.run('#cmdFlash');
            assert.match(failed.prompt, /^Koravel could not start in this browser.*\r\n\r\nCompileError: out of memory$/s);
            await page.page.evaluate(() => (window.__compiles = true));
            await page.writeFlash('flash.bin', makeFlashImage('Z', '3', '1'));
            await page.answerPicker('flash.bin');
            assert.deepEqual(await page.run('#cmdFlash'), []);
            assert.equal((await page.state()).region, 'Europe');
        } finally {
            await page.close();
        }
    });

    test('takes a choice made while its program could not start once a start succeeds', async () => {
        const page = await KoravelPage.open(browser, server, {
            prepare: () => {
                const compile = WebAssembly.compile;
                window.__refused = 0;
                WebAssembly.compile = (bytes) => (window.__compiles ? compile(bytes) : (window.__refused++, Promise.reject(new Error('CompileError: out of memory'))));
            },
        });
        try {
            // The start the page makes by itself fails, then the one the choice asks for.
            await page.page.waitForFunction(() => window.__refused >= 1);
            await page.choose('cboPatch1', 'Europe');
            await page.page.waitForFunction(() => window.__refused >= 2);
            assert.equal((await page.state()).pictures, 'picPatchRed');
            await page.page.evaluate(() => (window.__compiles = true));
            const messages = await page.run('#cmdPatch');
            assert.deepEqual(messages.map((m) => m.prompt), ["Don't forget to select the flash first..."]);
            assert.deepEqual([(await page.state()).region, (await page.state()).pictures], ['Europe', 'picPatchBlue']);
        } finally {
            await page.close();
        }
    });

    // Whether the screen shows the drawing pixel for pixel inside the picture
    // box's border. A box on a fraction of a device pixel (a centred window
    // may be) is drawn snapped, so there the drawing may lie one pixel off.
    const showsDrawing = async (page, id, expected) => {
        const scale = await page.page.evaluate(() => devicePixelRatio);
        const box = await page.page.locator(`#${id}`).boundingBox();
        const clip = { x: Math.floor(box.x), y: Math.floor(box.y), width: 158, height: 124 };
        const shot = decodePng(await page.page.screenshot({ clip, animations: 'disabled', caret: 'hide' }));
        const crop = (dx, dy) => {
            const part = new Pixels(expected.width, expected.height);
            for (let y = 0; y < expected.height; y++) {
                for (let x = 0; x < expected.width; x++) part.set(x, y, ...shot.at(x + dx, y + dy));
            }
            return part;
        };
        const at = [Math.round((box.x + 2 - clip.x) * scale), Math.round((box.y + 2 - clip.y) * scale)];
        // On whole device pixels the drawing must lie exactly inside the border.
        const slack = (v) => (Number.isInteger(v * scale) ? 0 : 1);
        let best = null;
        for (let dy = -slack(box.y); dy <= slack(box.y); dy++) {
            for (let dx = -slack(box.x); dx <= slack(box.x); dx++) {
                const result = comparePixels(crop(at[0] + dx, at[1] + dy), expected);
                if (best === null || result.count < best.count) best = { ...result, offset: [dx, dy] };
            }
        }
        return best.count === 0 ? 'the same' : `${best.count} pixels differ at best (${JSON.stringify(best.first)})`;
    };

    test('shows each drawing pixel for pixel at 96 dpi', async () => {
        const page = await open();
        assert.equal(await showsDrawing(page, 'picPatchRed', drawing('red')), 'the same', 'red picture');
        await page.choose('cboPatch1', 'Europe');
        assert.equal(await showsDrawing(page, 'picPatchBlue', drawing('blue')), 'the same', 'blue picture');
        await page.choose('cboPatch4', 'Black swirl');
        assert.equal(await showsDrawing(page, 'picPatchBlack', drawing('black')), 'the same', 'black picture');
        await page.close();
    });

    // At 1.5 a picture on an odd CSS pixel starts halfway into a device pixel
    // and cannot be crisp; a viewport of 802 x 601 puts the centred window's
    // picture at (325, 170), on whole device pixels.
    for (const [scale, suffix] of [
        [2, '@2x'],
        [1.5, '@1.5x'],
    ]) {
        test(`shows the ${suffix.slice(1)} drawing crisply at devicePixelRatio ${scale}`, async () => {
            const page = await open({ deviceScaleFactor: scale, width: 802, height: 601 });
            assert.equal(await showsDrawing(page, 'picPatchRed', drawing('red', suffix)), 'the same');
            await page.close();
        });
    }

    test('follows the swirl preview rule when a user picks regions and swirls', async () => {
        const page = await open();
        const steps = [
            ['cboPatch1', 'Europe', 'picPatchBlue'],
            ['cboPatch1', 'Japan', 'picPatchRed'],
            ['cboPatch1', 'USA', 'picPatchRed'],
            ['cboPatch1', 'Japan', 'picPatchRed'],
            ['cboPatch4', 'Black swirl', 'picPatchBlack'],
            ['cboPatch1', 'Europe', 'picPatchBlack'],
            ['cboPatch1', 'USA', 'picPatchBlack'],
            ['cboPatch1', 'Europe', 'picPatchBlack'],
            ['cboPatch4', 'default swirl', 'picPatchBlue'],
            ['cboPatch2', 'PAL', 'picPatchBlue'],
            ['cboPatch3', 'French (Fran\u00e7ais)', 'picPatchBlue'],
            ['cboPatch1', 'USA', 'picPatchRed'],
        ];
        for (const [list, text, picture] of steps) {
            await page.choose(list, text);
            const state = await page.state();
            assert.equal(state.pictures, picture, `after ${text} in ${list}: ${JSON.stringify(state)}`);
        }
        assert.deepEqual(await page.state(), {
            txtFlash: '',
            region: 'USA',
            swirl: 'default swirl',
            broadcast: 'PAL',
            language: 'French (Fran\u00e7ais)',
            pictures: 'picPatchRed',
        });
        // A click on the list and a typed letter choose as well.
        await page.page.click('#cboPatch1');
        await page.page.keyboard.press('Escape');
        await page.page.keyboard.type('E');
        assert.deepEqual([(await page.state()).region, (await page.state()).pictures], ['Europe', 'picPatchBlue']);
        await page.close();
    });

    test('sends no request but for the page, and reports no error', () => {
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
