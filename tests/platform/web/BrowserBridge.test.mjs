// The page's bridge to the browser (platform/web/BrowserBridge.js), loaded in
// Node.js with stand-ins for the browser's objects: how each failure of the
// browser becomes the program's error number and description, which files
// are changed in place, and when the <input type="file"> picker is done.
//   node --test BrowserBridge.test.mjs
import { describe, mock, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import vm from 'node:vm';

const source = readFileSync(
    join(dirname(fileURLToPath(import.meta.url)), '../../../platform/web/BrowserBridge.js'),
    'utf8',
);

// A fresh bridge in a global of its own: `globals` are the browser's objects.
function loadBridge(globals = {}) {
    const context = vm.createContext({
        Module: {},
        setTimeout: (...a) => setTimeout(...a),
        clearTimeout: (...a) => clearTimeout(...a),
        ...globals,
    });
    context.window ??= context;
    vm.runInContext(source, context, { filename: 'BrowserBridge.js' });
    return context;
}

const SAVE_DENIED =
    "Permission denied: the browser was not allowed to save changes to the file. Press Patch again to be asked again. If the browser does not ask, reload the page and select the file again; if it still does not ask, allow file editing for this page in the browser's site settings (the icon to the left of the address).";
const READ_DENIED = 'Permission denied: the browser was not allowed to read the file. Select it again.';
const PICK_DENIED = 'Permission denied: the browser did not let the page show its file picker. Press Select again.';

const failure = (name, message = `${name} happened`) => new DOMException(message, name);

describe('a failure of the browser as an error number and description', () => {
    for (const [name, doing, number, description] of [
        ['NotAllowedError', 'save', 70, SAVE_DENIED],
        ['SecurityError', 'save', 70, SAVE_DENIED],
        ['NotAllowedError', 'read', 70, READ_DENIED],
        ['SecurityError', 'pick', 70, PICK_DENIED],
        ['NoModificationAllowedError', 'save', 75, 'Path/File access error: NoModificationAllowedError happened'],
        ['InvalidStateError', 'save', 75, 'Path/File access error: InvalidStateError happened'],
        ['NotFoundError', 'read', 53, 'File not found: NotFoundError happened'],
        ['QuotaExceededError', 'save', 61, 'Disk full: QuotaExceededError happened'],
        ['NotReadableError', 'read', 57, 'Device I/O error: NotReadableError happened'],
        ['AbortError', 'pick', 57, 'Device I/O error: AbortError happened'],
    ]) {
        test(`${name} while ${{ pick: 'picking', read: 'reading', save: 'saving' }[doing]}: ${number}`, () => {
            const bridge = loadBridge();
            assert.equal(bridge.koravelFail(failure(name), doing), -number);
            assert.equal(bridge.Module.koravelError, description);
        });
    }

    test('a thrown value that is no error is a device error that names it', () => {
        const bridge = loadBridge();
        assert.equal(bridge.koravelFail('odd', 'read'), -57);
        assert.equal(bridge.Module.koravelError, 'Device I/O error: odd');
    });
});

// A picked handle whose permission answers and createWritable are scripted.
function handle({ query = 'granted', request = 'granted', create = async () => ({ stream: true }) } = {}) {
    const calls = [];
    const answer = (value) => (typeof value === 'function' ? value() : value);
    return {
        calls,
        queryPermission: async (d) => (calls.push(['query', d.mode]), answer(query)),
        requestPermission: async (d) => (calls.push(['request', d.mode]), answer(request)),
        createWritable: async (options) => (calls.push(['create', options.keepExistingData]), create()),
    };
}

describe('asking to save changes in place', () => {
    const throws = (name) => () => {
        throw failure(name);
    };
    for (const [what, answers, number, description, calls] of [
        ['granted already', {}, 0, '', ['query', 'create']],
        ['granted when asked', { query: 'prompt' }, 0, '', ['query', 'request', 'create']],
        ['denied by the user', { query: 'prompt', request: 'denied' }, 70, SAVE_DENIED, ['query', 'request']],
        ['request dismissed', { query: 'prompt', request: 'prompt' }, 70, SAVE_DENIED, ['query', 'request']],
        ['asked without a gesture', { query: 'prompt', request: throws('SecurityError') }, 70, SAVE_DENIED, ['query', 'request']],
        ['refused at createWritable', { create: throws('NotAllowedError') }, 70, SAVE_DENIED, ['query', 'create']],
        ['file locked', { create: throws('NoModificationAllowedError') }, 75, 'Path/File access error: NoModificationAllowedError happened', ['query', 'create']],
        ['file in use', { create: throws('InvalidStateError') }, 75, 'Path/File access error: InvalidStateError happened', ['query', 'create']],
        ['file gone', { create: throws('NotFoundError') }, 53, 'File not found: NotFoundError happened', ['query', 'create']],
    ]) {
        test(`${what}: ${number || 'a swap copy'}`, async () => {
            const bridge = loadBridge();
            const picked = { name: 'flash.bin', handle: handle(answers), file: null };
            assert.equal(await bridge.koravelBeginWrite(picked), -number || 0);
            assert.equal(bridge.Module.koravelError, description);
            assert.deepEqual(picked.handle.calls.map(([call]) => call), calls);
            assert.deepEqual(picked.writable, number === 0 ? { stream: true } : undefined);
            for (const [call, argument] of picked.handle.calls) {
                assert.equal(argument, call === 'create' ? true : 'readwrite', call);
            }
        });
    }

    test('a handle without permission calls goes straight to its swap copy', async () => {
        const bridge = loadBridge();
        const calls = [];
        const picked = { handle: { createWritable: async (o) => (calls.push(o), 'stream') } };
        assert.equal(await bridge.koravelBeginWrite(picked), 0);
        assert.equal(JSON.stringify(calls), '[{"keepExistingData":true}]'); // from the bridge's realm
        assert.equal(picked.writable, 'stream');
    });
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
            const bridge = loadBridge(globals);
            assert.equal(bridge.koravelWritesInPlace(picked), inPlace);
        });
    }
});

describe('the <input type="file"> picker', () => {
    // An input and a window that record their listeners.
    class Target extends EventTarget {
        listeners = new Set();
        addEventListener(type, listener, options) {
            this.listeners.add(`${type}${options === true ? ' capture' : ''}`);
            super.addEventListener(type, listener, options);
        }
        removeEventListener(type, listener, options) {
            this.listeners.delete(`${type}${options === true ? ' capture' : ''}`);
            super.removeEventListener(type, listener, options);
        }
    }
    class Input extends Target {
        files = null;
        clicks = 0;
        click() {
            this.clicks++;
        }
    }
    const FILE = { name: 'flash.bin' };
    const fire = (target, type) => target.dispatchEvent(new Event(type));

    // steps: what happens after the click, in turn; a number lets that many ms pass.
    for (const [what, steps, result, settledAt] of [
        ['a file picked', [(i) => (i.files = [FILE]), (i) => fire(i, 'change')], FILE, 0],
        ['dismissed, with a cancel event', [(i) => fire(i, 'cancel')], null, 0],
        ['dismissed, only the focus comes back', [(i, w) => fire(w, 'focus'), 999], null, 1000],
        ['dismissed, a pointer on the page', [(i, w) => fire(w, 'pointerdown'), 999], null, 1000],
        ['picked, the focus back just before the change', [(i, w) => fire(w, 'focus'), 900, (i) => (i.files = [FILE]), (i) => fire(i, 'change')], FILE, 900],
        ['picked, the file there but no change yet', [(i, w) => fire(w, 'focus'), (i) => (i.files = [FILE]), 999], FILE, 1000],
        ['focus twice: the grace time starts again', [(i, w) => fire(w, 'focus'), 600, (i, w) => fire(w, 'focus'), 999], null, 1600],
    ]) {
        test(what, async (t) => {
            t.mock.timers.enable({ apis: ['setTimeout'] });
            const window = new Target();
            const bridge = loadBridge({ window });
            const input = new Input();
            let settled;
            bridge.koravelPickWithInput(input).then((file) => (settled = { file }));
            assert.equal(input.clicks, 1);
            assert.deepEqual([...input.listeners, ...window.listeners], ['change', 'cancel', 'focus', 'pointerdown capture']);
            let now = 0;
            const flush = () => new Promise(setImmediate);
            for (const step of steps) {
                if (typeof step === 'number') {
                    t.mock.timers.tick(step);
                    now += step;
                } else {
                    step(input, window);
                }
                await flush();
                if (now < settledAt) assert.equal(settled, undefined, `settled before ${settledAt} ms`);
            }
            if (!settled) {
                t.mock.timers.tick(1);
                now += 1;
                await flush();
            }
            assert.deepEqual(settled, { file: result });
            assert.equal(now >= settledAt, true);
            assert.deepEqual([...input.listeners, ...window.listeners], [], 'every listener is removed');
            fire(input, 'change'); // too late: nothing more happens
        });
    }
});
