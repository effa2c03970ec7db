// Just enough of BMP and PNG to compare what the page shows with the drawings
// in ui/assets: pixels come out as RGB triplets, top row first.
import { inflateSync } from 'node:zlib';

export class Pixels {
    constructor(width, height) {
        this.width = width;
        this.height = height;
        this.rgb = Buffer.alloc(width * height * 3);
    }
    set(x, y, r, g, b) {
        const i = (y * this.width + x) * 3;
        this.rgb[i] = r;
        this.rgb[i + 1] = g;
        this.rgb[i + 2] = b;
    }
    at(x, y) {
        const i = (y * this.width + x) * 3;
        return [this.rgb[i], this.rgb[i + 1], this.rgb[i + 2]];
    }
}

// Uncompressed 24-bit and RLE8 (BI_RLE8) bottom-up or top-down BMPs.
export function decodeBmp(data) {
    if (data.toString('latin1', 0, 2) !== 'BM') throw new Error('not a BMP file');
    const pixelOffset = data.readUInt32LE(10);
    const headerSize = data.readUInt32LE(14);
    const width = data.readInt32LE(18);
    const rawHeight = data.readInt32LE(22);
    const bitCount = data.readUInt16LE(28);
    const compression = data.readUInt32LE(30);
    const height = Math.abs(rawHeight);
    const row = (y) => (rawHeight > 0 ? height - 1 - y : y); // file row -> picture row
    const out = new Pixels(width, height);

    if (bitCount === 24 && compression === 0) {
        const stride = (width * 3 + 3) & ~3;
        for (let y = 0; y < height; y++) {
            for (let x = 0; x < width; x++) {
                const i = pixelOffset + y * stride + x * 3;
                out.set(x, row(y), data[i + 2], data[i + 1], data[i]);
            }
        }
        return out;
    }
    if (bitCount === 8 && compression === 1) {
        const colours = data.readUInt32LE(46) || 256;
        const palette = [];
        for (let i = 0; i < colours; i++) {
            const p = 14 + headerSize + i * 4;
            palette.push([data[p + 2], data[p + 1], data[p]]);
        }
        const put = (x, y, index) => {
            if (x < width && y < height) out.set(x, row(y), ...palette[index]);
        };
        let x = 0;
        let y = 0;
        for (let p = pixelOffset; p < data.length; ) {
            const count = data[p++];
            const value = data[p++];
            if (count > 0) {
                for (let i = 0; i < count; i++) put(x++, y, value);
            } else if (value === 0) {
                x = 0;
                y++;
            } else if (value === 1) {
                break;
            } else if (value === 2) {
                x += data[p++];
                y += data[p++];
            } else {
                for (let i = 0; i < value; i++) put(x++, y, data[p++]);
                p += value & 1; // absolute runs are padded to 16 bits
            }
        }
        return out;
    }
    throw new Error(`unsupported BMP: ${bitCount} bits, compression ${compression}`);
}

function paeth(a, b, c) {
    const p = a + b - c;
    const pa = Math.abs(p - a);
    const pb = Math.abs(p - b);
    const pc = Math.abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// 8-bit RGB or RGBA, non-interlaced PNGs: what Chromium's screenshots are.
export function decodePng(data) {
    let p = 8;
    let width = 0;
    let height = 0;
    let colourType = 0;
    const chunks = [];
    while (p < data.length) {
        const length = data.readUInt32BE(p);
        const type = data.toString('latin1', p + 4, p + 8);
        const body = data.subarray(p + 8, p + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            colourType = body[9];
            if (body[8] !== 8 || (colourType !== 2 && colourType !== 6) || body[12] !== 0) {
                throw new Error('unsupported PNG');
            }
        } else if (type === 'IDAT') {
            chunks.push(body);
        }
        p += 12 + length;
    }
    const channels = colourType === 6 ? 4 : 3;
    const stride = width * channels;
    const raw = inflateSync(Buffer.concat(chunks));
    const lines = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        for (let i = 0; i < stride; i++) {
            const x = raw[y * (stride + 1) + 1 + i];
            const a = i >= channels ? lines[y * stride + i - channels] : 0;
            const b = y > 0 ? lines[(y - 1) * stride + i] : 0;
            const c = i >= channels && y > 0 ? lines[(y - 1) * stride + i - channels] : 0;
            const predictor = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter];
            lines[y * stride + i] = (x + predictor) & 0xff;
        }
    }
    const out = new Pixels(width, height);
    for (let y = 0; y < height; y++) {
        for (let x = 0; x < width; x++) {
            const i = y * stride + x * channels;
            out.set(x, y, lines[i], lines[i + 1], lines[i + 2]);
        }
    }
    return out;
}

// How many pixels differ, and the first one that does.
export function comparePixels(actual, expected) {
    if (actual.width !== expected.width || actual.height !== expected.height) {
        return { size: `${actual.width}x${actual.height} instead of ${expected.width}x${expected.height}` };
    }
    let count = 0;
    let first = null;
    for (let y = 0; y < expected.height; y++) {
        for (let x = 0; x < expected.width; x++) {
            const a = actual.at(x, y);
            const e = expected.at(x, y);
            if (a[0] !== e[0] || a[1] !== e[1] || a[2] !== e[2]) {
                count++;
                first ??= { x, y, actual: a, expected: e };
            }
        }
    }
    return { count, first };
}
