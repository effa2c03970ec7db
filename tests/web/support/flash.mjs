// Flash images shaped like real dumps: 128 KiB of erased flash (0xFF) with the
// factory block "00" + region + language + broadcast + "Dreamcast  " at
// 0x1A000, a console ID and its checksum, and the same block 0xA0 bytes later.

export const FLASH_SIZE = 131072;
export const FACTORY_BLOCK = 0x1a000;
export const MIRROR_DISTANCE = 0xa0;
// Offsets of the six setting bytes, in the order Patch writes them:
// region, language, broadcast of the primary copy, then of the mirror.
export const SETTING_OFFSETS = [0x1a002, 0x1a003, 0x1a004, 0x1a0a2, 0x1a0a3, 0x1a0a4];

function writeFactoryCopy(image, start, region, language, broadcast) {
    const head = Buffer.from(`00${region}${language}${broadcast}Dreamcast  `, 'latin1');
    head.copy(image, start);
    const id = [0x8c, 0x13, 0x02, 0x5e, 0xa7, 0x41];
    let sum = 0;
    id.forEach((byte, i) => {
        image[start + 0x58 + i] = byte;
        sum = (sum + byte) & 0xff;
    });
    image[start + 0x57] = sum;
    image[start + 0x56] = ~sum & 0xff;
}

// Codes are one-character strings ('1') or byte values (0xff).
export function makeFlashImage(region = '1', language = '1', broadcast = '0') {
    const text = (code) => (typeof code === 'number' ? String.fromCharCode(code) : code);
    const image = Buffer.alloc(FLASH_SIZE, 0xff);
    for (const start of [FACTORY_BLOCK, FACTORY_BLOCK + MIRROR_DISTANCE]) {
        writeFactoryCopy(image, start, text(region), text(language), text(broadcast));
    }
    return image;
}

// Offsets at which two images differ (a length difference counts from the shorter end).
export function differingOffsets(a, b) {
    const offsets = [];
    for (let i = 0; i < Math.max(a.length, b.length); i++) {
        if (a[i] !== b[i]) offsets.push(i);
    }
    return offsets;
}

// The six setting bytes of an image, as text ("010010" for Japan, English, NTSC).
export function settingBytes(image) {
    return SETTING_OFFSETS.map((offset) => String.fromCharCode(image[offset])).join('');
}

// The image as Patch should leave it: codes "010" (region, language,
// broadcast) in both copies, every other byte as it was.
export function withSettings(image, codes) {
    const patched = Buffer.from(image);
    SETTING_OFFSETS.forEach((offset, i) => {
        patched[offset] = codes.charCodeAt(i % 3);
    });
    return patched;
}
