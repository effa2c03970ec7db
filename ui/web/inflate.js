// Unpacks a zlib stream (RFC 1950/1951) into bytes, for browsers without
// DecompressionStream (Safari before 16.4, Firefox before 113): the page
// carries its program deflated, and these must still start it. Throws on
// a damaged stream; the checksum is left to WebAssembly's own validation.
function koravelInflate(input) {
  'use strict';
  let at = 2; // past the zlib header
  let bit = 0;
  let out = new Uint8Array(input.length * 4);
  let length = 0;

  const need = (extra) => {
    if (length + extra > out.length) {
      const bigger = new Uint8Array(Math.max(out.length * 2, length + extra));
      bigger.set(out.subarray(0, length));
      out = bigger;
    }
  };
  const bits = (count) => {
    let value = 0;
    for (let i = 0; i < count; i++) {
      if (at >= input.length) {
        throw new Error('the packed program ends early');
      }
      value |= ((input[at] >> bit) & 1) << i;
      if (++bit === 8) {
        bit = 0;
        at++;
      }
    }
    return value;
  };
  // A canonical Huffman code from code lengths: counts per length and the
  // symbols in code order.
  const code = (lengths) => {
    const counts = new Uint16Array(16);
    for (const l of lengths) {
      counts[l]++;
    }
    counts[0] = 0;
    const offsets = new Uint16Array(16);
    for (let l = 1; l < 16; l++) {
      offsets[l] = offsets[l - 1] + counts[l - 1];
    }
    const symbols = new Uint16Array(lengths.length);
    lengths.forEach((l, symbol) => {
      if (l) {
        symbols[offsets[l]++] = symbol;
      }
    });
    return {counts, symbols};
  };
  const decode = ({counts, symbols}) => {
    let first = 0;
    let index = 0;
    let value = 0;
    for (let l = 1; l < 16; l++) {
      value |= bits(1);
      if (value - first < counts[l]) {
        return symbols[index + value - first];
      }
      index += counts[l];
      first = (first + counts[l]) << 1;
      value <<= 1;
    }
    throw new Error('the packed program holds a bad code');
  };

  const LENGTH_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59,
                       67, 83, 99, 115, 131, 163, 195, 227, 258];
  const LENGTH_EXTRA = [0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,
                        5, 5, 5, 5, 0];
  const DISTANCE_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385,
                         513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577];
  const DISTANCE_EXTRA = [0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10,
                          10, 11, 11, 12, 12, 13, 13];
  const ORDER = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15];

  if ((input[0] & 15) !== 8 || ((input[0] << 8) | input[1]) % 31 !== 0) {
    throw new Error('the packed program is not a zlib stream');
  }
  let last = 0;
  while (!last) {
    last = bits(1);
    const type = bits(2);
    if (type === 0) {
      if (bit) {
        bit = 0;
        at++;
      }
      if (at + 4 > input.length) {
        throw new Error('the packed program ends early');
      }
      // A stored block's length comes twice, the second time with every
      // bit flipped: bytes that disagree are a damaged stream, not a length.
      const size = input[at] | (input[at + 1] << 8);
      if ((size ^ (input[at + 2] | (input[at + 3] << 8))) !== 0xffff) {
        throw new Error('the packed program holds a stored block whose two lengths disagree');
      }
      at += 4;
      if (at + size > input.length) {
        throw new Error('the packed program ends early');
      }
      need(size);
      out.set(input.subarray(at, at + size), length);
      length += size;
      at += size;
      continue;
    }
    let literals;
    let distances;
    if (type === 1) {
      const lengths = new Uint8Array(288);
      lengths.fill(8, 0, 144);
      lengths.fill(9, 144, 256);
      lengths.fill(7, 256, 280);
      lengths.fill(8, 280, 288);
      literals = code(lengths);
      distances = code(new Uint8Array(30).fill(5));
    } else if (type === 2) {
      const literalCount = bits(5) + 257;
      const distanceCount = bits(5) + 1;
      const lengthCount = bits(4) + 4;
      const codeLengths = new Uint8Array(19);
      for (let i = 0; i < lengthCount; i++) {
        codeLengths[ORDER[i]] = bits(3);
      }
      const lengthCode = code(codeLengths);
      const lengths = new Uint8Array(literalCount + distanceCount);
      for (let i = 0; i < lengths.length;) {
        const symbol = decode(lengthCode);
        if (symbol < 16) {
          lengths[i++] = symbol;
          continue;
        }
        const [repeat, value] = symbol === 16 ? [3 + bits(2), i ? lengths[i - 1] : -1]
                                : symbol === 17 ? [3 + bits(3), 0] : [11 + bits(7), 0];
        if (value < 0 || i + repeat > lengths.length) {
          throw new Error('the packed program holds a bad code');
        }
        lengths.fill(value, i, i + repeat);
        i += repeat;
      }
      literals = code(lengths.subarray(0, literalCount));
      distances = code(lengths.subarray(literalCount));
    } else {
      throw new Error('the packed program holds a bad block');
    }
    for (;;) {
      const symbol = decode(literals);
      if (symbol < 256) {
        need(1);
        out[length++] = symbol;
      } else if (symbol === 256) {
        break;
      } else {
        const s = symbol - 257;
        if (s >= 29) {
          throw new Error('the packed program holds a bad code');
        }
        const count = LENGTH_BASE[s] + bits(LENGTH_EXTRA[s]);
        const d = decode(distances);
        if (d >= 30) {
          throw new Error('the packed program holds a bad code');
        }
        const distance = DISTANCE_BASE[d] + bits(DISTANCE_EXTRA[d]);
        if (distance > length) {
          throw new Error('the packed program holds a bad distance');
        }
        need(count);
        for (let i = 0; i < count; i++, length++) {
          out[length] = out[length - distance];
        }
      }
    }
  }
  return out.subarray(0, length);
}
