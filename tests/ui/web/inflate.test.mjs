// The page's own unpacker (ui/web/inflate.js), for browsers without
// DecompressionStream, against Node's zlib: every kind of block zlib writes,
// and streams it must refuse rather than start a damaged program from.
//   node --test inflate.test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import vm from 'node:vm';
import zlib from 'node:zlib';

const context = vm.createContext({});
vm.runInContext(readFileSync(join(dirname(fileURLToPath(import.meta.url)), '../../../ui/web/inflate.js'), 'utf8'), context);
const inflate = (bytes) => Buffer.from(context.koravelInflate(new Uint8Array(bytes)));

// Data like a program's: runs, repeats near and far (up to zlib's 32 KiB
// window), and stretches that do not compress.
function sample(size) {
    const out = Buffer.alloc(size);
    let seed = 7;
    const next = () => (seed = (seed * 1103515245 + 12345) >>> 0) >>> 16;
    for (let i = 0; i < size; i++) {
        const kind = (i >> 12) % 4;
        out[i] = kind === 0 ? next() & 255 : kind === 1 ? i % 7 : kind === 2 ? out[Math.max(0, i - 30000)] : 'koravel'.charCodeAt(i % 7);
    }
    return out;
}

const inputs = { empty: Buffer.alloc(0), 'one byte': Buffer.from([42]), '200 KiB': sample(200 * 1024) };
const ways = {
    stored: { level: 0 },
    fastest: { level: 1 },
    best: { level: 9 },
    'fixed codes': { level: 9, strategy: zlib.constants.Z_FIXED },
    'codes only': { level: 9, strategy: zlib.constants.Z_HUFFMAN_ONLY },
    'runs only': { level: 9, strategy: zlib.constants.Z_RLE },
};

test('gives back exactly what zlib packed, whichever blocks it chose', () => {
    for (const [inputName, input] of Object.entries(inputs)) {
        for (const [wayName, options] of Object.entries(ways)) {
            const packed = zlib.deflateSync(input, options);
            assert.ok(inflate(packed).equals(input), `${inputName}, ${wayName}`);
        }
    }
});

test('refuses a stream that is cut short or is not zlib', () => {
    const packed = zlib.deflateSync(inputs['200 KiB'], { level: 9 });
    assert.throws(() => inflate(packed.subarray(0, packed.length >> 1)), /ends early/);
    assert.throws(() => inflate(zlib.gzipSync(inputs['200 KiB'])), /not a zlib stream/);
    assert.throws(() => inflate(zlib.deflateRawSync(inputs['200 KiB'])), /not a zlib stream/);
});

test('refuses a stored block whose length and its complement disagree', () => {
    // zlib header, then one final stored block: LEN, NLEN (LEN with every bit flipped), the bytes.
    const packed = zlib.deflateSync(Buffer.from('koravel'), { level: 0 });
    assert.equal(packed[2], 1, 'one final stored block');
    assert.equal(packed.readUInt16LE(3) ^ packed.readUInt16LE(5), 0xffff);
    const damaged = Buffer.from(packed);
    damaged[5] ^= 1;
    assert.throws(() => inflate(damaged), /stored block whose two lengths disagree/);
    assert.throws(() => inflate(packed.subarray(0, 5)), /ends early/);
});
