// Firefox ESR with a window on a private X server, driven through its own
// remote protocol, Marionette: the pinned playwright-core speaks WebDriver
// BiDi to Firefox, but asks ESR for a command it lacks
// (emulation.setMediaFeaturesOverride) before it opens any page.
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const FIREFOX = '/usr/bin/firefox-esr';
export const firefoxSkipReason = existsSync(FIREFOX) ? false : `${FIREFOX} is missing: bash scripts/deps.sh web installs firefox-esr`;

// Marionette frames each message as "LENGTH:JSON"; a command is
// [0, id, name, parameters] and its answer [1, id, error, result].
class Marionette {
    constructor(socket) {
        this.socket = socket;
        this.buffer = Buffer.alloc(0);
        this.waiting = [];
        this.next = 1;
        socket.on('data', (data) => {
            this.buffer = Buffer.concat([this.buffer, data]);
            for (;;) {
                const colon = this.buffer.indexOf(':');
                if (colon < 0) return;
                const length = Number(this.buffer.subarray(0, colon).toString());
                if (this.buffer.length < colon + 1 + length) return;
                const message = JSON.parse(this.buffer.subarray(colon + 1, colon + 1 + length).toString());
                this.buffer = this.buffer.subarray(colon + 1 + length);
                this.waiting.shift()?.(message);
            }
        });
    }

    static open(port) {
        return new Promise((resolve, reject) => {
            const socket = connect(port, '127.0.0.1');
            socket.once('error', reject);
            const client = new Marionette(socket);
            client.waiting.push(() => resolve(client)); // the greeting
        });
    }

    send(name, parameters = {}) {
        const body = JSON.stringify([0, this.next++, name, parameters]);
        return new Promise((resolve, reject) => {
            this.waiting.push(([, , error, result]) => (error ? reject(new Error(`${name}: ${error.error}: ${error.message}`)) : resolve(result)));
            this.socket.write(`${Buffer.byteLength(body)}:${body}`);
        });
    }

    // Runs a function's body in the page and gives its value.
    async run(fn, ...args) {
        const { value } = await this.send('WebDriver:ExecuteScript', { script: `return (${fn})(...arguments);`, args });
        return value;
    }
}

// Starts Firefox ESR on the X server with a private profile, which downloads
// into `downloads` without asking; close() ends it and removes the profile.
export async function launchFirefox(xserver, downloads, { seconds = 240 } = {}) {
    const profile = mkdtempSync(join(tmpdir(), 'koravel-firefox-'));
    const prefs = {
        'marionette.port': 0,
        'browser.shell.checkDefaultBrowser': false,
        'browser.startup.homepage_override.mstone': 'ignore',
        'browser.aboutwelcome.enabled': false,
        'datareporting.policy.dataSubmissionEnabled': false,
        'toolkit.telemetry.reportingpolicy.firstRun': false,
        'app.update.disabledForTesting': true,
        'browser.download.folderList': 2,
        'browser.download.dir': downloads,
        'browser.download.useDownloadDir': true,
        'browser.download.always_ask_before_handling_new_types': false,
        'browser.download.alwaysOpenPanel': false,
    };
    writeFileSync(join(profile, 'user.js'), Object.entries(prefs).map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});\n`).join(''));
    const browser = spawn('timeout', [String(seconds), FIREFOX, '--marionette', '--no-remote', '--profile', profile, 'about:blank'], {
        env: { ...xserver.env, HOME: profile, MOZ_CRASHREPORTER_DISABLE: '1' },
        stdio: 'ignore',
    });
    const portFile = join(profile, 'MarionetteActivePort');
    const deadline = Date.now() + 60000;
    while (!existsSync(portFile) || !readFileSync(portFile, 'utf8').trim()) {
        if (Date.now() > deadline || browser.exitCode !== null) throw new Error('Firefox did not start Marionette');
        await new Promise((resolve) => setTimeout(resolve, 100));
    }
    const client = await Marionette.open(Number(readFileSync(portFile, 'utf8').trim()));
    await client.send('WebDriver:NewSession', { capabilities: { alwaysMatch: { pageLoadStrategy: 'normal' } } });
    client.close = async () => {
        await client.send('Marionette:Quit', { flags: ['eForceQuit'] }).catch(() => {});
        client.socket.destroy();
        if (browser.exitCode === null) {
            await new Promise((resolve) => {
                const timer = setTimeout(() => browser.kill('SIGKILL'), 10000);
                browser.once('exit', () => resolve(clearTimeout(timer)));
            });
        }
        rmSync(profile, { recursive: true, force: true });
    };
    return client;
}
