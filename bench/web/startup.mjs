// Start-up of the page against the floor page in headless Chromium, from
// navigation to the ready signal (data-state="ready" on <html>), the two run
// alternately in one browser, each in a fresh context; then the page's bytes.
// Given the site's folder, its start-up from its service worker's cache runs
// in turn with them: a fresh context visits the site once, so that its worker
// keeps the files, then a new tab opens it again and is measured.
//   node bench/web/startup.mjs KORAVEL_HTML FLOOR_HTML RUNS [SITE_DIR]
import { readFileSync } from 'node:fs';
import { composition } from './composition.mjs';
import { launchBrowser, servePage, serveSite } from '../../tests/web/support/harness.mjs';

const [koravelFile, floorFile, runsText = '30', siteDir] = process.argv.slice(2);
const runs = Number(runsText);

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
            bench.resolve();
        }
    }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-state'] });
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
                () => span(`WebAssembly.${name}`, start),
                () => span(`WebAssembly.${name} (failed)`, start),
            );
            return promise;
        };
    }
}

async function once(browser, url, fromWorker = false) {
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
        const cdp = await context.newCDPSession(page);
        // Durations in CPU time of the page's main thread, which the other
        // programs on a shared machine disturb less than the wall clock.
        await cdp.send('Performance.enable', { timeDomain: 'threadTicks' });
        await page.addInitScript(probe);
        await page.goto(url, { waitUntil: 'commit' });
        // One call that waits in the page: no polling to disturb it.
        await page.evaluate(() => window.__bench.done);
        const { metrics } = await cdp.send('Performance.getMetrics');
        const metric = Object.fromEntries(metrics.map((m) => [m.name, m.value * 1000]));
        const inPage = await page.evaluate(() => {
            const nav = performance.getEntriesByType('navigation')[0];
            return {
                fromWorker: navigator.serviceWorker?.controller != null && nav.workerStart > 0,
                ready: window.__bench.ready,
                responseEnd: nav.responseEnd,
                domInteractive: nav.domInteractive,
                domContentLoaded: nav.domContentLoadedEventEnd,
                spans: window.__bench.spans,
            };
        });
        return {
            ...inPage,
            script: metric.ScriptDuration,
            style: metric.RecalcStyleDuration,
            layout: metric.LayoutDuration,
            task: metric.TaskDuration,
            thread: metric.ThreadTime,
            process: metric.ProcessTime,
        };
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
const names = Object.keys(servers);
const browser = await launchBrowser();
const results = Object.fromEntries(names.map((name) => [name, []]));
try {
    for (let i = 0; i < 3; i++) {
        for (const name of names) await once(browser, servers[name].url, name === 'site');
    }
    // Each round in another order, so that none always runs first.
    for (let i = 0; i < runs; i++) {
        for (let j = 0; j < names.length; j++) {
            const name = names[(i + j) % names.length];
            results[name].push(await once(browser, servers[name].url, name === 'site'));
        }
    }
} finally {
    await browser.close();
    for (const server of Object.values(servers)) await server.close();
}
if (results.site?.some((r) => !r.fromWorker)) throw new Error('a start-up of the site did not come from its worker');

const k = results.koravel;
const f = results.floor;
const site = results.site ?? [];
const col = (list, pick) => median(list.map(pick));
const spanNames = [...new Set(k.flatMap((r) => Object.keys(r.spans)))].sort();
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
    ['main thread CPU to ready (ThreadTime)', (r) => r.thread],
    ['  in tasks (TaskDuration)', (r) => r.task],
    ['  in scripts (ScriptDuration)', (r) => r.script],
    ['  in style (RecalcStyleDuration)', (r) => r.style],
    ['  in layout (LayoutDuration)', (r) => r.layout],
    ['renderer CPU, all threads (ProcessTime)', (r) => r.process],
];
console.log(`Start-up in headless Chromium, navigation to data-state="ready"; medians of ${runs} runs each, in ms`);
const siteColumn = site.length > 0;
console.log(`${'measure'.padEnd(42)}${'koravel'.padStart(9)}${'floor'.padStart(9)}${siteColumn ? 'site'.padStart(9) : ''}`);
for (const [label, pick] of rows) {
    console.log(`${label.padEnd(42)}${ms(col(k, pick))}${ms(col(f, pick))}${siteColumn ? ms(col(site, pick)) : ''}`);
}
for (const [name, list] of [['koravel', k], ...(siteColumn ? [['site (from its worker)', site]] : [])]) {
    const ratio = col(list, (r) => r.ready) / col(f, (r) => r.ready);
    const cpuRatio = col(list, (r) => r.thread) / col(f, (r) => r.thread);
    console.log(`${name} / floor: ${ratio.toFixed(3)} navigation to ready, ${cpuRatio.toFixed(3)} main thread CPU`);
}

for (const [name, file] of [
    ['koravel.html', koravelFile],
    ['floor.html', floorFile],
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
