// Start-up of the page against the floor page in headless Chromium, from
// navigation to the ready signal (data-state="ready" on <html>), the two run
// alternately in one browser, each in a fresh context; then the page's bytes.
// Given the site's folder, its start-up from its service worker's cache runs
// in turn with them: a fresh context visits the site once, so that its worker
// keeps the files, then a new tab opens it again and is measured. Any
// NAME=FILE after the runs (or the site) is one more page measured in turn,
// as an earlier build of the page to compare with.
//   node bench/web/startup.mjs KORAVEL_HTML FLOOR_HTML RUNS [SITE_DIR] [NAME=FILE...]
//
// The main thread's CPU time comes from a trace of each start-up (categories
// toplevel and blink.user_timing only): the thread time of a mark the probe
// sets at ready, less the thread's time at the navigation's start. So it
// counts what the main thread did before ready, and none of what the page
// does after it (as reading Chromium's metrics once ready would).
import { readFileSync } from 'node:fs';
import { composition } from './composition.mjs';
import { launchBrowser, servePage, serveSite } from '../../tests/web/support/harness.mjs';

const [koravelFile, floorFile, runsText = '30', ...rest] = process.argv.slice(2);
const runs = Number(runsText);
const siteDir = rest[0] && !rest[0].includes('=') ? rest.shift() : undefined;
const others = rest.map((arg) => arg.split(/=(.*)/s).slice(0, 2));

// Runs before the page's own scripts: the moment of "ready", and where the
// time before it goes (base64 decoding, WebAssembly compiling and starting).
function probe() {
    const bench = (window.__bench = { spans: {} });
    bench.done = new Promise((resolve) => (bench.resolve = resolve));
    const span = (name, start) => {
        const now = performance.now();
        const s = (bench.spans[name] ??= { total: 0, first: start, last: now });
        s.total += now - start;
        s.last = now;
    };
    new MutationObserver(() => {
        if (bench.ready === undefined && document.documentElement.dataset.state === 'ready') {
            bench.ready = performance.now();
            performance.mark('bench-ready');
            bench.resolve();
        }
    }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-state'] });
    // The program runs once its instance exists and main() has returned,
    // which is within the task that resolves WebAssembly.instantiate.
    bench.running = new Promise((resolve) => (bench.started = resolve));
    const atob = window.atob;
    window.atob = function (text) {
        const start = performance.now();
        try {
            return atob.call(this, text);
        } finally {
            span('atob', start);
        }
    };
    const fetch = window.fetch;
    window.fetch = function (...args) {
        const start = performance.now();
        const promise = fetch.apply(this, args);
        promise.then(
            () => span('fetch', start),
            () => span('fetch (failed)', start),
        );
        return promise;
    };
    for (const name of ['instantiate', 'compile', 'instantiateStreaming', 'compileStreaming']) {
        const original = WebAssembly[name];
        if (!original) continue;
        WebAssembly[name] = function (...args) {
            const start = performance.now();
            const promise = original.apply(this, args);
            promise.then(
                () => {
                    span(`WebAssembly.${name}`, start);
                    if (name.startsWith('instantiate')) {
                        setTimeout(() => {
                            bench.program = performance.now();
                            performance.mark('bench-program');
                            bench.started();
                        });
                    }
                },
                () => span(`WebAssembly.${name} (failed)`, start),
            );
            return promise;
        };
    }
}

// The main thread's time (µs of CPU since it started) at trace time `ts`: from
// the outermost task running then, taking its CPU as keeping pace with the
// clock up to `ts`, or from the last task before it.
function threadTimeAt(tasks, ts) {
    let before = null;
    for (const task of tasks) {
        if (task.ts <= ts && ts < task.ts + task.dur) return task.tts + Math.min(task.tdur, ts - task.ts);
        if (task.ts + task.dur <= ts && (!before || task.ts > before.ts)) before = task;
    }
    return before ? before.tts + before.tdur : NaN;
}

// Main-thread CPU in ms from the navigation's start to each of the probe's marks.
function cpuToMarks(trace, url) {
    const events = JSON.parse(trace.toString()).traceEvents;
    const ready = events.find((e) => e.name === 'bench-ready');
    if (!ready) return {};
    const onMain = (e) => e.pid === ready.pid && e.tid === ready.tid;
    const navigation = events.filter((e) => e.name === 'navigationStart' && onMain(e) && e.args?.data?.documentLoaderURL === url).at(-1);
    const tasks = events.filter((e) => e.ph === 'X' && onMain(e) && e.tts !== undefined && e.tdur !== undefined);
    if (!navigation) return {};
    const start = threadTimeAt(tasks, navigation.ts);
    const program = events.find((e) => e.name === 'bench-program' && onMain(e));
    return { cpuReady: (ready.tts - start) / 1000, cpuProgram: program ? (program.tts - start) / 1000 : undefined };
}

async function once(browser, url, { fromWorker = false, program = false } = {}) {
    const context = await browser.newContext({ viewport: { width: 800, height: 600 }, serviceWorkers: 'allow' });
    try {
        if (fromWorker) {
            const first = await context.newPage();
            await first.goto(url, { waitUntil: 'load' });
            await first.evaluate(async () => {
                await navigator.serviceWorker.ready;
                while ((await caches.keys()).length === 0) await new Promise((wake) => setTimeout(wake, 20));
            });
            await first.close();
        }
        const page = await context.newPage();
        await page.addInitScript(probe);
        await browser.startTracing(page, { categories: ['toplevel', 'blink.user_timing'] });
        let trace;
        try {
            await page.goto(url, { waitUntil: 'commit' });
            // One call that waits in the page: no polling to disturb it.
            await page.evaluate(() => window.__bench.done);
            if (program) await page.evaluate(() => window.__bench.running);
        } finally {
            trace = await browser.stopTracing();
        }
        const inPage = await page.evaluate(() => {
            const nav = performance.getEntriesByType('navigation')[0];
            return {
                fromWorker: navigator.serviceWorker?.controller != null && nav.workerStart > 0,
                ready: window.__bench.ready,
                program: window.__bench.program,
                responseEnd: nav.responseEnd,
                domInteractive: nav.domInteractive,
                domContentLoaded: nav.domContentLoadedEventEnd,
                url: location.href,
                spans: window.__bench.spans,
            };
        });
        return { ...inPage, ...cpuToMarks(trace, inPage.url) };
    } finally {
        await context.close();
    }
}

const median = (values) => {
    const v = values.filter((x) => x !== undefined && !Number.isNaN(x)).sort((a, b) => a - b);
    if (v.length === 0) return NaN;
    return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
};
const ms = (x) => (Number.isNaN(x) ? '—' : x.toFixed(1)).padStart(9);
const kib = (x) => (x / 1024).toFixed(1);

const servers = { koravel: await servePage(koravelFile), floor: await servePage(floorFile) };
if (siteDir) servers.site = await serveSite(siteDir);
for (const [name, file] of others) servers[name] = await servePage(file);
const names = Object.keys(servers);
const options = (name) => ({ fromWorker: name === 'site', program: name !== 'floor' });
const browser = await launchBrowser();
const results = Object.fromEntries(names.map((name) => [name, []]));
try {
    for (let i = 0; i < 3; i++) {
        for (const name of names) await once(browser, servers[name].url, options(name));
    }
    // Each round in another order, so that none always runs first.
    for (let i = 0; i < runs; i++) {
        for (let j = 0; j < names.length; j++) {
            const name = names[(i + j) % names.length];
            results[name].push(await once(browser, servers[name].url, options(name)));
        }
    }
} finally {
    await browser.close();
    for (const server of Object.values(servers)) await server.close();
}
if (results.site?.some((r) => !r.fromWorker)) throw new Error('a start-up of the site did not come from its worker');

const col = (list, pick) => median(list.map(pick));
const spanNames = [...new Set(results.koravel.flatMap((r) => Object.keys(r.spans)))].sort();
const rows = [
    ['navigation to ready (in page)', (r) => r.ready],
    ['  navigation to response end', (r) => r.responseEnd],
    ['  navigation to DOM interactive', (r) => r.domInteractive],
    ['  navigation to DOMContentLoaded end', (r) => r.domContentLoaded],
    ...spanNames.flatMap((name) => [
        [`  ${name}: first call at`, (r) => r.spans[name]?.first],
        [`  ${name}: last end at`, (r) => r.spans[name]?.last],
        [`  ${name}: time inside`, (r) => r.spans[name]?.total],
    ]),
    ['navigation to the program running', (r) => r.program],
    ['main thread CPU, navigation to ready', (r) => r.cpuReady],
    ['main thread CPU, to the program running', (r) => r.cpuProgram],
];
console.log(`Start-up in headless Chromium, navigation to data-state="ready"; medians of ${runs} runs each, in ms`);
const order = ['koravel', 'floor', ...names.filter((n) => n !== 'koravel' && n !== 'floor')];
console.log(`${'measure'.padEnd(42)}${order.map((n) => n.slice(0, 8).padStart(9)).join('')}`);
for (const [label, pick] of rows) {
    console.log(`${label.padEnd(42)}${order.map((n) => ms(col(results[n], pick))).join('')}`);
}
const f = results.floor;
for (const name of order.filter((n) => n !== 'floor')) {
    const list = results[name];
    const label = name === 'site' ? 'site (from its worker)' : name;
    const ratio = col(list, (r) => r.ready) / col(f, (r) => r.ready);
    const cpuRatio = col(list, (r) => r.cpuReady) / col(f, (r) => r.cpuReady);
    const running = col(list, (r) => r.program) / col(f, (r) => r.ready);
    const runningCpu = col(list, (r) => r.cpuProgram) / col(f, (r) => r.cpuReady);
    console.log(`${label} / floor: ${ratio.toFixed(3)} navigation to ready, ${cpuRatio.toFixed(3)} main thread CPU;` +
        ` program running ${running.toFixed(3)}, ${runningCpu.toFixed(3)}`);
}

for (const [name, file] of [
    ['koravel.html', koravelFile],
    ['floor.html', floorFile],
    ...others,
]) {
    const c = composition(readFileSync(file));
    console.log('');
    console.log(`${name}: ${c.raw} bytes (${kib(c.raw)} KiB), gzipped ${c.gzip} bytes (${kib(c.gzip)} KiB)`);
    if (c.wasmBytes) console.log(`  WebAssembly module: ${c.wasmBytes} bytes (${kib(c.wasmBytes)} KiB) decoded`);
    console.log(`  ${'part'.padEnd(26)}${'pieces'.padStart(7)}${'bytes'.padStart(9)}${'share'.padStart(7)}${'gzipped'.padStart(9)}`);
    for (const row of c.rows) {
        const share = `${((row.raw / c.raw) * 100).toFixed(1)}%`;
        console.log(`  ${row.name.padEnd(26)}${String(row.count).padStart(7)}${String(row.raw).padStart(9)}${share.padStart(7)}${String(row.gzip).padStart(9)}`);
    }
}
