// Serves a page on 127.0.0.1, drives it in headless Chromium and reads back
// what it shows. One browser per test file; a fresh context per page.
import { createServer } from 'node:http';
import { existsSync, readFileSync } from 'node:fs';
import { basename, dirname, extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const CHROMIUM = '/usr/bin/chromium';
const repo = resolve(dirname(fileURLToPath(import.meta.url)), '../../..');
export const PAGE = resolve(process.env.KORAVEL_PAGE || join(repo, 'build/web/koravel.html'));
export const ASSETS = join(repo, 'ui/assets');
export const REPO = repo;

// A reason to skip the browser suites, or false when they can run.
export const skipReason = existsSync(CHROMIUM)
    ? false
    : `${CHROMIUM} is missing: install Debian's chromium package to run the browser tests`;

export const CHROMIUM_ARGS = [
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
    // Pictures are compared pixel for pixel: no colour management in between.
    '--force-color-profile=srgb',
];

// Serves one file, under its own name, and remembers every request it gets.
// bytesPerSecond: sends it that slowly, in small pieces, as a slow mobile
// connection brings it.
export async function servePage(file = PAGE, { bytesPerSecond = 0 } = {}) {
    if (!existsSync(file)) throw new Error(`${file} is missing: build it with bash scripts/build-web.sh`);
    const body = readFileSync(file);
    const path = `/${encodeURIComponent(basename(file))}`;
    const requests = [];
    const server = createServer((request, response) => {
        requests.push(`${request.method} ${request.url}`);
        if (request.method === 'GET' && request.url === path) {
            response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store' });
            if (!bytesPerSecond) {
                response.end(body);
                return;
            }
            const piece = 2048;
            let sent = 0;
            const timer = setInterval(() => {
                response.write(body.subarray(sent, sent + piece));
                sent += piece;
                if (sent >= body.length) {
                    clearInterval(timer);
                    response.end();
                }
            }, (1000 * piece) / bytesPerSecond);
            response.on('close', () => clearInterval(timer));
        } else {
            response.writeHead(404);
            response.end();
        }
    });
    await new Promise((done, fail) => {
        server.once('error', fail);
        server.listen(0, '127.0.0.1', done);
    });
    const url = `http://127.0.0.1:${server.address().port}${path}`;
    return {
        url,
        path,
        requests,
        close: () =>
            new Promise((done) => {
                server.closeAllConnections();
                server.close(() => done());
            }),
    };
}

// Serves the files of a folder (the site), / as its index.html; `root` may
// be changed to serve another build from the next request on.
const TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript',
    '.png': 'image/png',
    '.txt': 'text/plain; charset=utf-8',
    '.webmanifest': 'application/manifest+json',
};
export async function serveSite(root) {
    const site = { root };
    const server = createServer((request, response) => {
        const name = new URL(request.url, 'http://site').pathname.slice(1) || 'index.html';
        const file = join(site.root, name);
        const found = request.method === 'GET' && TYPES[extname(name)] && !name.includes('/') && existsSync(file);
        response.writeHead(found ? 200 : 404, found ? { 'Content-Type': TYPES[extname(name)], 'Cache-Control': 'no-cache' } : {});
        response.end(found ? readFileSync(file) : undefined);
    });
    await new Promise((done, fail) => server.once('error', fail).listen(0, '127.0.0.1', done));
    site.url = `http://127.0.0.1:${server.address().port}/`;
    site.close = () => new Promise((done) => server.closeAllConnections() ?? server.close(() => done()));
    return site;
}

export async function launchBrowser() {
    // Playwright gives the browser a fresh profile under $TMPDIR, which
    // tests/web/bounded-node.sh sets, and by which it finds the browser to stop.
    return chromium.launch({ executablePath: CHROMIUM, args: CHROMIUM_ARGS, timeout: 30000 });
}

// Runs before the page's scripts: follows data-state ("busy" and "ready" in
// turn) and, when asked, answers showOpenFilePicker with a file of the
// origin-private file system, or takes the File System Access API away, or
// only the handles' createWritable (kept for writeFlash).
function pageProbe(picker) {
    const probe = { states: [], opened: 0, closed: 0, pickerCalls: [], permissionCalls: [], pick: null, refuse: null };
    window.__koravel = probe;
    // Each record holds the value before its change, so the value after it is
    // the next record's old value (or, for the last, the current one).
    new MutationObserver((records) => {
        records = records.filter((record) => record.target === document.documentElement);
        records.forEach((record, i) => {
            const next = records[i + 1];
            probe.states.push(next ? next.oldValue : record.target.getAttribute('data-state'));
        });
    }).observe(document, { subtree: true, attributes: true, attributeOldValue: true, attributeFilter: ['data-state'] });
    // Message boxes shown and closed, one by one, even when one follows another at once.
    new MutationObserver((records) => {
        for (const record of records) {
            if (record.target.id !== 'msgBox') continue;
            if (record.oldValue === null) probe.opened++;
            else probe.closed++;
        }
    }).observe(document, { subtree: true, attributes: true, attributeOldValue: true, attributeFilter: ['open'] });

    if (picker === 'download') {
        delete window.showOpenFilePicker;
        delete Window.prototype.showOpenFilePicker;
        return;
    }
    if (picker === 'read-only-handles') {
        Object.defineProperty(window, '__koravelCreateWritable', { value: FileSystemFileHandle.prototype.createWritable });
        delete FileSystemFileHandle.prototype.createWritable;
    }
    const showOpenFilePicker = async (options) => {
        probe.pickerCalls.push(JSON.parse(JSON.stringify(options ?? null)));
        if (probe.pick === null) throw new DOMException('The user aborted a request.', 'AbortError');
        const folder = await navigator.storage.getDirectory();
        const handle = await folder.getFileHandle(probe.pick);
        const refuse = probe.refuse;
        handle.queryPermission = async (descriptor) => {
            probe.permissionCalls.push(['query', descriptor?.mode]);
            return refuse === 'permission' ? 'prompt' : 'granted';
        };
        handle.requestPermission = async (descriptor) => {
            probe.permissionCalls.push(['request', descriptor?.mode]);
            return refuse === 'permission' ? 'denied' : 'granted';
        };
        if (refuse === 'locked') {
            handle.createWritable = async () => {
                throw new DOMException('The file is in use.', 'NoModificationAllowedError');
            };
        } else if (refuse === 'close') {
            const createWritable = handle.createWritable.bind(handle);
            handle.createWritable = async (options) => {
                const stream = await createWritable(options);
                stream.close = async () => {
                    await stream.abort();
                    throw new DOMException('The file was changed elsewhere.', 'InvalidStateError');
                };
                return stream;
            };
        }
        return [handle];
    };
    window.showOpenFilePicker = showOpenFilePicker;
}

// What the window shows, read in the page: the path box, the four lists, the
// visible picture(s).
export function windowState() {
    const value = (id) => {
        const element = document.getElementById(id);
        return element.tagName === 'SELECT' ? element.selectedOptions[0]?.text ?? '' : element.value;
    };
    const shown = ['picPatchRed', 'picPatchBlue', 'picPatchBlack'].filter((id) => {
        const element = document.getElementById(id);
        return !element.hidden && element.getClientRects().length > 0 && getComputedStyle(element).visibility === 'visible';
    });
    return {
        txtFlash: value('txtFlash'),
        region: value('cboPatch1'),
        swirl: value('cboPatch4'),
        broadcast: value('cboPatch2'),
        language: value('cboPatch3'),
        pictures: shown.join(' '),
    };
}

export class KoravelPage {
    // picker: 'opfs' answers the picker from the origin-private file system;
    // 'read-only-handles' does too, with handles that have no createWritable;
    // 'download' takes the File System Access API away. fromBase64: false
    // takes Uint8Array.fromBase64 away, as in browsers that predate it.
    // hasTouch and isMobile: a phone's touch screen and its browser.
    // prepare: a function run in the page before its own scripts.
    // arrived: false gives the page back as soon as its first bytes are in,
    // without waiting for the rest or for the window to be ready.
    static async open(
        browser,
        server,
        { picker = 'opfs', deviceScaleFactor = 1, width = 800, height = 600, screen, fromBase64 = true, hasTouch = false, isMobile = false, prepare, arrived = true } = {},
    ) {
        const context = await browser.newContext({
            viewport: { width, height },
            ...(screen ? { screen } : {}),
            deviceScaleFactor,
            hasTouch,
            isMobile,
            acceptDownloads: true,
            serviceWorkers: 'allow',
        });
        return KoravelPage.openIn(context, server, { picker, fromBase64, prepare, arrived });
    }

    // The same in a context of the caller's, which the page's close() closes.
    static async openIn(context, server, { picker = 'opfs', fromBase64 = true, prepare, arrived = true } = {}) {
        const page = await context.newPage();
        const self = new KoravelPage(context, page, server);
        await page.addInitScript(pageProbe, picker);
        if (!fromBase64) {
            await page.addInitScript(() => delete Uint8Array.fromBase64);
        }
        if (prepare) {
            await page.addInitScript(prepare);
        }
        await page.goto(server.url, { waitUntil: arrived ? 'load' : 'commit', timeout: 30000 });
        if (!arrived) return self;
        await page.waitForFunction(() => document.documentElement.dataset.state === 'ready', null, { timeout: 30000 });
        return self;
    }

    constructor(context, page, server) {
        this.context = context;
        this.page = page;
        this.server = server;
        this.requests = [];
        this.problems = [];
        this.messages = [];
        context.on('request', (request) => this.requests.push(request.url()));
        page.on('pageerror', (error) => this.problems.push(`page error: ${error.message}`));
        page.on('console', (message) => {
            if (message.type() === 'error' || message.type() === 'warning') {
                const text = message.text();
                this.problems.push(`console ${message.type()}: ${text.length > 240 ? `${text.slice(0, 160)}...${text.slice(-80)}` : text}`);
            }
        });
    }

    close() {
        return this.context.close();
    }

    // Requests that went anywhere but to the page itself.
    foreignRequests() {
        return this.requests.filter((url) => url !== this.server.url && !/^(data|blob):/.test(url));
    }

    async writeFlash(name, bytes) {
        await this.page.evaluate(
            async ({ name, base64 }) => {
                const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
                const folder = await navigator.storage.getDirectory();
                const handle = await folder.getFileHandle(name, { create: true });
                const stream = await (handle.createWritable ?? window.__koravelCreateWritable).call(handle);
                await stream.write(bytes);
                await stream.close();
            },
            { name, base64: Buffer.from(bytes).toString('base64') },
        );
    }

    async readFlash(name) {
        const base64 = await this.page.evaluate(async (name) => {
            const folder = await navigator.storage.getDirectory();
            const bytes = new Uint8Array(await (await (await folder.getFileHandle(name)).getFile()).arrayBuffer());
            let text = '';
            for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
            return btoa(text);
        }, name);
        return Buffer.from(base64, 'base64');
    }

    removeFlash(name) {
        return this.page.evaluate(async (name) => (await navigator.storage.getDirectory()).removeEntry(name), name);
    }

    // What the next showOpenFilePicker gives: a file's name, or null for Cancel;
    // refuse: null, 'locked' (createWritable fails: in use elsewhere),
    // 'permission' (the user denies saving changes) or 'close' (changed elsewhere).
    answerPicker(name, refuse = null) {
        return this.page.evaluate(([name, refuse]) => Object.assign(window.__koravel, { pick: name, refuse }), [name, refuse]);
    }

    probe() {
        return this.page.evaluate(() => window.__koravel);
    }

    // What the window shows: the path box, the four lists, the visible picture(s).
    state() {
        return this.page.evaluate(windowState);
    }

    async messageShown() {
        return this.page.evaluate(() => document.getElementById('msgBox')?.open === true);
    }

    // Reads the open message box.
    readMessage() {
        return this.page.evaluate(() => {
            const box = document.getElementById('msgBox');
            const icon = document.getElementById('msgIcon');
            const rect = icon.getBoundingClientRect();
            return {
                title: document.getElementById('msgTitle').textContent,
                style: icon.dataset.style,
                prompt: document.getElementById('msgPrompt').textContent,
                modal: box.matches(':modal'),
                iconDrawn: rect.width >= 16 && rect.height >= 16 && getComputedStyle(icon).visibility === 'visible',
                ok: document.getElementById('msgOk').textContent.trim(),
            };
        });
    }

    // Clicks a command button (or runs an action) and answers every message
    // box it shows, in turn, with Enter, Escape or a click on OK, until the
    // page is ready again. Gives the messages in the order they came.
    async run(action, { close = 'Enter', timeout = 8000, onMessage = () => {} } = {}) {
        const page = this.page;
        const before = (await this.probe()).states.filter((s) => s === 'busy').length;
        if (typeof action === 'string') await page.click(action);
        else await action();
        await page.waitForFunction(
            (before) => window.__koravel.states.filter((s) => s === 'busy').length > before,
            before,
            { timeout },
        );
        const messages = [];
        const { closed } = await this.probe();
        for (;;) {
            const handle = await page.waitForFunction(
                (seen) =>
                    document.getElementById('msgBox')?.open && window.__koravel.opened > seen
                        ? 'message'
                        : document.documentElement.dataset.state === 'ready'
                          ? 'ready'
                          : false,
                closed + messages.length,
                { timeout, polling: 20 },
            );
            if ((await handle.jsonValue()) === 'ready') break;
            messages.push(await this.readMessage());
            onMessage(messages.at(-1));
            if (close === 'click') await page.click('#msgOk');
            else await page.keyboard.press(close);
            await page.waitForFunction((count) => window.__koravel.closed >= count, closed + messages.length, {
                timeout,
            });
        }
        this.messages.push(...messages);
        return messages;
    }

    // Chooses an entry of a list with the keyboard, as a user does: focus,
    // then arrow keys from the current item to the wanted one.
    async choose(id, text) {
        const page = this.page;
        const [current, target] = await page.evaluate(
            ([id, text]) => {
                const list = document.getElementById(id);
                return [list.selectedIndex, [...list.options].findIndex((o) => o.text === text)];
            },
            [id, text],
        );
        if (target < 0) throw new Error(`${id} has no item ${text}`);
        await page.focus(`#${id}`);
        const key = target > current ? 'ArrowDown' : 'ArrowUp';
        for (let i = 0; i < Math.abs(target - current); i++) await page.keyboard.press(key);
    }
}
