// A private X server for browsers with a window, and real drags onto them
// from a file manager's stand-in (tests/e2e/drag_source.py, driven by
// xdotool through support/drag.sh). No window manager: a browser's window
// sits where it is asked to.
import { execFile, execFileSync, spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));

// A reason to skip the real drags, or false when they can be made.
export function realDragSkipReason() {
    for (const tool of ['/usr/bin/Xvfb', '/usr/bin/xdotool', '/usr/bin/python3']) {
        if (!existsSync(tool)) return `${tool} is missing: bash scripts/deps.sh web installs it`;
    }
    try {
        execFileSync('/usr/bin/python3', ['-c', "import gi; gi.require_version('Gtk', '3.0'); gi.require_version('Gdk', '3.0')"], { stdio: 'pipe', timeout: 20000 });
    } catch (e) {
        return `the drag source cannot load GTK 3 in Python (${String(e.stderr || e.message).trim().split('\n').at(-1)}): install python3-gi and gir1.2-gtk-3.0`;
    }
    return false;
}

// Starts Xvfb on a free display; it ends with close(), or on its own after
// `seconds`, should the test be killed first.
export async function startXvfb({ seconds = 280, size = '1280x800' } = {}) {
    const server = spawn('timeout', [String(seconds), 'Xvfb', '-displayfd', '3', '-screen', '0', `${size}x24`, '-nolisten', 'tcp', '-noreset'], {
        stdio: ['ignore', 'ignore', 'pipe', 'pipe'],
    });
    let log = '';
    server.stderr.on('data', (data) => (log += data));
    const number = await new Promise((resolve, reject) => {
        let said = '';
        const timer = setTimeout(() => reject(new Error(`Xvfb did not start: ${log}`)), 20000);
        server.stdio[3].on('data', (data) => {
            said += data;
            if (said.includes('\n')) {
                clearTimeout(timer);
                resolve(said.trim());
            }
        });
        server.on('exit', () => reject(new Error(`Xvfb ended: ${log}`)));
    });
    const display = `:${number}`;
    return {
        display,
        env: { ...process.env, DISPLAY: display },
        close: () =>
            new Promise((done) => {
                if (server.exitCode !== null) return done();
                server.once('exit', done);
                server.kill('SIGTERM');
            }),
    };
}

// Drags files (kind 'uris') or a piece of text (kind 'text') from the top left
// of the screen and drops at (x, y) on it. Gives what the target answered:
// "dropped: copy", or "not dropped..." where it refused.
export function dragTo(xserver, x, y, kind, ...items) {
    return new Promise((resolve, reject) => {
        execFile('bash', [join(here, 'drag.sh'), String(Math.round(x)), String(Math.round(y)), kind, ...items], { env: xserver.env, timeout: 60000 }, (error, stdout, stderr) => {
            if (error) reject(new Error(`the drag failed: ${stdout}${stderr}`));
            else resolve(stdout.trim().split('\n').at(-1));
        });
    });
}

// Takes a picture of the whole screen into `file` (PNG), with ImageMagick.
export function screenshotScreen(xserver, file) {
    return new Promise((resolve, reject) => {
        execFile('import', ['-window', 'root', file], { env: xserver.env, timeout: 15000 }, (error) => (error ? reject(error) : resolve(file)));
    });
}

// Presses keys, one after another, in the window that has the keyboard.
export function pressKeys(xserver, ...keys) {
    return new Promise((resolve, reject) => {
        execFile('xdotool', ['key', '--delay', '200', ...keys], { env: xserver.env, timeout: 15000 }, (error) => (error ? reject(error) : resolve()));
    });
}
