// What a one-file page is made of: WebAssembly (as base64), pictures, script,
// CSS and HTML, each raw and gzipped on its own, found by taking the page apart.
import { gzipSync, inflateSync } from 'node:zlib';

const gzip = (text) => gzipSync(Buffer.from(text, 'latin1'), { level: 9 }).length;

// The drawing a base64 picture holds, by its width.
function pictureKind(mime, bytes) {
    let width = 0;
    if (mime === 'image/png') width = bytes.readUInt32BE(16);
    else if (mime === 'image/bmp') width = bytes.readInt32LE(18);
    else return 'message icons (SVG)';
    return { 150: 'swirl pictures 1x', 225: 'swirl pictures 1.5x', 300: 'swirl pictures 2x' }[width] ?? `icon ${width} px`;
}

export function composition(html) {
    const text = html.toString('latin1'); // byte for byte
    const parts = new Map();
    const add = (name, raw) => {
        const part = parts.get(name) ?? { raw: '', count: 0 };
        part.raw += raw;
        part.count++;
        parts.set(name, part);
    };
    let wasmBytes = 0;

    // data: URLs first, wherever they are; what is left of each region is
    // code. A data: URL runs to the quote or parenthesis that opened it.
    const closing = { '"': '"', "'": "'", '(': ')' };
    const takeData = (url) => {
        const comma = url.indexOf(',');
        const head = url.slice(5, comma);
        const body = url.slice(comma + 1);
        const mime = head.split(';')[0].toLowerCase();
        if (head.endsWith(';base64')) {
            const bytes = Buffer.from(body, 'base64');
            if (bytes.subarray(0, 4).equals(Buffer.from([0, 0x61, 0x73, 0x6d]))) {
                wasmBytes += bytes.length;
                add('WebAssembly, base64', url);
                return;
            }
            add(pictureKind(mime, bytes), url);
        } else {
            add(mime === 'image/svg+xml' ? 'message icons (SVG)' : `data: ${mime}`, url);
        }
    };
    const withoutData = (region) => {
        let out = '';
        let from = 0;
        for (;;) {
            const at = region.indexOf('data:', from);
            if (at < 0) break;
            const comma = region.indexOf(',', at);
            let end = region.indexOf(closing[region[at - 1]] ?? '\u0000', at);
            if (comma > 0 && region.slice(at, comma).endsWith(';base64')) {
                // base64 ends at the first character outside its alphabet (a srcset's blank).
                const stop = /[^A-Za-z0-9+\/=]/.exec(region.slice(comma + 1));
                end = stop ? comma + 1 + stop.index : region.length;
            }
            // Only a whole URL with a body counts: not a prefix kept in a string.
            if (end < 0 || comma < 0 || comma + 1 >= end) {
                out += region.slice(from, at + 5);
                from = at + 5;
                continue;
            }
            takeData(region.slice(at, end));
            out += region.slice(from, at);
            from = end;
        }
        return out + region.slice(from);
    };

    let rest = text.replace(/<script\b[^>]*>([\s\S]*?)<\/script>/gi, (all, body) => {
        // A module the page decodes itself, in a block the browser does not run.
        // The module may be deflated (a zlib stream) before its base64.
        if (/^<script\b[^>]*\btype="application\/wasm-base64"/i.test(all)) {
            const bytes = Buffer.from(body, 'base64');
            const packed = bytes[0] === 0x78;
            wasmBytes += packed ? inflateSync(bytes).length : bytes.length;
            add(packed ? 'WebAssembly, deflated, base64' : 'WebAssembly, base64', body);
        } else {
            add('script', withoutData(body));
        }
        return all.slice(0, all.indexOf('>') + 1) + '</script>';
    });
    rest = rest.replace(/<style\b[^>]*>([\s\S]*?)<\/style>/gi, (all, body) => {
        add('CSS', withoutData(body));
        return all.slice(0, all.indexOf('>') + 1) + '</style>';
    });
    add('HTML', withoutData(rest));

    const rows = [...parts.entries()]
        .map(([name, part]) => ({ name, count: part.count, raw: part.raw.length, gzip: gzip(part.raw) }))
        .sort((a, b) => b.raw - a.raw);
    return { raw: html.length, gzip: gzip(text), wasmBytes, rows };
}
