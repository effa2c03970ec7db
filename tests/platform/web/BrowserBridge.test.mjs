// The page's bridge to the browser (platform/web/BrowserBridge.js), loaded in
// Node.js with stand-ins for the browser's objects: how each failure of the
// browser becomes the program's error number and description, which files
// are changed in place, and when the <input type="file"> picker is done.
//   node --test BrowserBridge.test.mjs
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import vm from 'node:vm';

// The files in the order the page runs them: the picker is the page's own
// script, before the program, whose build includes the other two.
const source = ['WritesInPlace.js', 'OpenPicker.js', 'BrowserBridge.js']
    .map((name) => readFileSync(join(dirname(fileURLToPath(import.meta.url)), '../../../platform/web', name), 'utf8'))
    .join('\n');

// A fresh bridge in a global of its own: `globals` are the browser's objects.
function loadBridge(globals = {}) {
    const context = vm.createContext({
        Module: {},
        setTimeout: (...a) => setTimeout(...a), // the test's mocked timers, when enabled
        clearTimeout: (...a) => clearTimeout(...a),
        ...globals,
    });
    context.window ??= context;
    vm.runInContext(source, context, { filename: 'BrowserBridge.js' });
    return context;
}

const SAVE_DENIED =
    "Permission denied: the browser was not allowed to save changes to the file. Press Patch again to be asked again. If the browser does not ask, reload the page and select the file again; if it still does not ask, allow file editing for this page in the browser's site settings (the icon to the left of the address).";
const failure = (name) => new DOMException(`${name} happened`, name);
const throws = (name) => () => {
    throw failure(name);
};

// Saving runs every failure through the same mapping as picking and reading:
// the first table covers what saving cannot show.
describe('a failure of the browser as an error number and description', () => {
    for (const [name, doing, number, description] of [
        ['NotAllowedError', 'read', 70, 'Permission denied: the browser was not allowed to read the file. Select it again.'],
        ['SecurityError', 'pick', 70, 'Permission denied: the browser did not let the page show its file picker. Press Select again.'],
        ['QuotaExceededError', 'save', 61, 'Disk full: QuotaExceededError happened'],
        ['NotReadableError', 'read', 57, 'Device I/O error: NotReadableError happened'],
    ]) {
        test(`${name} while doing ${doing}: ${number}`, () => {
            const bridge = loadBridge();
            assert.equal(bridge.koravelFail(failure(name), doing), -number);
            assert.equal(bridge.Module.koravelError, description);
        });
    }
});

describe('asking to save changes in place', () => {
    const inUse = (name) => `Path/File access error: ${name} happened`;
    for (const [what, answers, number, description, calls] of [
        ['granted already', {}, 0, '', 'query create'],
        ['granted when asked', { query: 'prompt' }, 0, '', 'query request create'],
        ['denied by the user', { query: 'prompt', request: 'denied' }, 70, SAVE_DENIED, 'query request'],
        ['request dismissed', { query: 'prompt', request: 'prompt' }, 70, SAVE_DENIED, 'query request'],
        ['asked without a gesture', { query: 'prompt', request: throws('SecurityError') }, 70, SAVE_DENIED, 'query request'],
        ['refused at createWritable', { create: throws('NotAllowedError') }, 70, SAVE_DENIED, 'query create'],
        ['file locked', { create: throws('NoModificationAllowedError') }, 75, inUse('NoModificationAllowedError'), 'query create'],
        ['file in use', { create: throws('InvalidStateError') }, 75, inUse('InvalidStateError'), 'query create'],
    ]) {
        test(`${what}: ${number || 'a swap copy'}`, async () => {
            const { query = 'granted', request = 'granted', create = () => 'stream' } = answers;
            const answer = async (value) => (typeof value === 'function' ? value() : value);
            const asked = [];
            const handle = {
                queryPermission: (d) => (asked.push(`query ${d.mode}`), answer(query)),
                requestPermission: (d) => (asked.push(`request ${d.mode}`), answer(request)),
                createWritable: (o) => (asked.push(`create ${o.keepExistingData}`), answer(create)),
            };
            const picked = { name: 'flash.bin', handle, file: null };
            const bridge = loadBridge();
            assert.equal(await bridge.koravelBeginWrite(picked), -number || 0);
            assert.equal(bridge.Module.koravelError, description);
            // Read and write permission; a swap copy that starts as the file.
            const expected = { query: 'query readwrite', request: 'request readwrite', create: 'create true' };
            assert.deepEqual(asked, calls.split(' ').map((call) => expected[call]));
            assert.equal(picked.writable, number ? undefined : 'stream');
        });
    }
});

describe('which files are changed in place, and what the note under the window says', () => {
    class Writable {
        createWritable() {}
    }
    class ReadOnly {}
    const picker = () => [];
    for (const [what, globals, picked, inPlace] of [
        ['a handle that writes', {}, { handle: new Writable() }, true],
        ['a handle without createWritable', {}, { handle: new ReadOnly() }, false],
        ['a File from <input type="file">', {}, { handle: null, file: {} }, false],
        ['nothing picked, picker and writable handles', { showOpenFilePicker: picker, FileSystemFileHandle: Writable }, null, true],
        ['nothing picked, picker without createWritable', { showOpenFilePicker: picker, FileSystemFileHandle: ReadOnly }, null, false],
        ['nothing picked, handles but no picker', { FileSystemFileHandle: Writable }, null, false],
        ['nothing picked, no File System Access at all', {}, null, false],
    ]) {
        test(`${what}: ${inPlace ? 'in place' : 'a download'}`, () => {
            assert.equal(loadBridge(globals).koravelWritesInPlace(picked), inPlace);
        });
    }
});

describe('the <input type="file"> picker', () => {
    // An event target that knows which listeners it holds.
    class Target extends EventTarget {
        listeners = new Set();
        addEventListener(type, listener, capture) {
            this.listeners.add(type);
            super.addEventListener(type, listener, capture);
        }
        removeEventListener(type, listener, capture) {
            this.listeners.delete(type);
            super.removeEventListener(type, listener, capture);
        }
    }
    const FILE = { name: 'flash.bin' };
    const fire = (target, type) => target.dispatchEvent(new Event(type));
    const focus = (input, window) => fire(window, 'focus');
    const choose = (input) => (input.files = [FILE]);
    const change = (input) => fire(input, 'change');

    // After the click, in turn: an action, or a number of milliseconds that
    // pass. The picker must still wait after the last one, and settle with
    // `result` in the next millisecond at the latest.
    for (const [what, steps, result] of [
        ['a file picked', [choose, change], FILE],
        ['dismissed, with a cancel event', [(input) => fire(input, 'cancel')], null],
        ['dismissed, only the focus comes back', [focus, 999], null],
        ['dismissed, a pointer on the page', [(input, window) => fire(window, 'pointerdown'), 999], null],
        ['picked, the focus back just before the change', [focus, 900, choose, change], FILE],
        ['picked, the file there but no change yet', [focus, choose, 999], FILE],
    ]) {
        test(what, async (t) => {
            t.mock.timers.enable({ apis: ['setTimeout'] });
            const window = new Target();
            const input = Object.assign(new Target(), { files: null, clicks: 0, click: () => input.clicks++ });
            let settled;
            loadBridge({ window })
                .koravelPickWithInput(input)
                .then((file) => (settled = { file }));
            assert.equal(input.clicks, 1);
            const flush = () => new Promise(setImmediate);
            for (const step of steps) {
                assert.equal(settled, undefined, 'settled too early');
                if (typeof step === 'number') t.mock.timers.tick(step);
                else step(input, window);
                await flush();
            }
            if (typeof steps.at(-1) === 'number') {
                assert.equal(settled, undefined, 'settled too early');
                t.mock.timers.tick(1);
                await flush();
            }
            assert.deepEqual(settled, { file: result });
            assert.deepEqual([...input.listeners, ...window.listeners], [], 'every listener is removed');
        });
    }
});
