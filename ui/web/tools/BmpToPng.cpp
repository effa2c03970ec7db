#include "BmpToPng.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

namespace koravel::web_tools {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<std::uint8_t, 3>;

std::uint32_t U32(const Bytes& b, std::size_t at) {
    if (at + 4 > b.size()) {
        throw std::runtime_error("bitmap cut short");
    }
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t U16(const Bytes& b, std::size_t at) {
    if (at + 2 > b.size()) {
        throw std::runtime_error("bitmap cut short");
    }
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::uint8_t At(const Bytes& b, std::size_t at) {
    if (at >= b.size()) {
        throw std::runtime_error("bitmap cut short");
    }
    return b[at];
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels; // rows top-down
};

// Palette indices, rows top-down, from a BI_RLE8 stream stored bottom row first.
std::vector<std::uint8_t> DecodeRle8(const Bytes& b, std::size_t at, int width, int height) {
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height, 0);
    int x = 0;
    int row = 0; // counted from the bottom
    const auto put = [&](std::uint8_t index) {
        if (x < width && row < height) {
            indices[static_cast<std::size_t>(height - 1 - row) * width + x] = index;
        }
        ++x;
    };
    for (;;) {
        const std::uint8_t count = At(b, at++);
        const std::uint8_t value = At(b, at++);
        if (count > 0) {
            for (int i = 0; i < count; ++i) {
                put(value);
            }
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            return indices;
        } else if (value == 2) {
            x += At(b, at++);
            row += At(b, at++);
        } else {
            for (int i = 0; i < value; ++i) {
                put(At(b, at++));
            }
            at += value & 1; // absolute runs are padded to a word
        }
    }
}

Image ReadBmp(const Bytes& b) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        throw std::runtime_error("not a Windows bitmap");
    }
    const std::uint32_t pixelsAt = U32(b, 10);
    const std::uint32_t headerSize = U32(b, 14);
    Image image;
    image.width = static_cast<std::int32_t>(U32(b, 18));
    const auto storedHeight = static_cast<std::int32_t>(U32(b, 22));
    const bool topDown = storedHeight < 0;
    image.height = topDown ? -storedHeight : storedHeight;
    const std::uint16_t bits = U16(b, 28);
    const std::uint32_t compression = U32(b, 30);
    if (image.width <= 0 || image.height <= 0 || image.width > 4096 || image.height > 4096) {
        throw std::runtime_error("unlikely bitmap size");
    }
    const auto w = static_cast<std::size_t>(image.width);
    const auto h = static_cast<std::size_t>(image.height);
    image.pixels.resize(w * h);

    if (bits == 24 && compression == 0) {
        const std::size_t stride = (w * 3 + 3) & ~std::size_t{3};
        for (std::size_t y = 0; y < h; ++y) {
            const std::size_t row = pixelsAt + (topDown ? y : h - 1 - y) * stride;
            for (std::size_t x = 0; x < w; ++x) {
                const std::size_t p = row + x * 3;
                image.pixels[y * w + x] = {At(b, p + 2), At(b, p + 1), At(b, p)};
            }
        }
        return image;
    }
    if (bits == 8 && (compression == 0 || compression == 1)) {
        std::uint32_t colours = U32(b, 46);
        if (colours == 0 || colours > 256) {
            colours = 256;
        }
        std::vector<Rgb> palette(colours);
        for (std::size_t i = 0; i < colours; ++i) {
            const std::size_t p = 14 + headerSize + i * 4;
            palette[i] = {At(b, p + 2), At(b, p + 1), At(b, p)};
        }
        std::vector<std::uint8_t> indices;
        if (compression == 1) {
            indices = DecodeRle8(b, pixelsAt, image.width, image.height);
        } else {
            const std::size_t stride = (w + 3) & ~std::size_t{3};
            indices.resize(w * h);
            for (std::size_t y = 0; y < h; ++y) {
                for (std::size_t x = 0; x < w; ++x) {
                    indices[y * w + x] = At(b, pixelsAt + (topDown ? y : h - 1 - y) * stride + x);
                }
            }
        }
        for (std::size_t i = 0; i < indices.size(); ++i) {
            if (indices[i] >= palette.size()) {
                throw std::runtime_error("colour index outside the palette");
            }
            image.pixels[i] = palette[indices[i]];
        }
        return image;
    }
    throw std::runtime_error("unsupported bitmap: " + std::to_string(bits) + " bits, compression " +
                             std::to_string(compression));
}

void PutU32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void Chunk(Bytes& out, const char* type, const Bytes& data) {
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    PutU32(out, static_cast<std::uint32_t>(crc));
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// One scanline with the filter that leaves the smallest sum of magnitudes.
void FilterRow(Bytes& out, const std::uint8_t* row, const std::uint8_t* above, std::size_t size,
               std::size_t bpp) {
    Bytes best;
    long bestScore = -1;
    for (int type = 0; type < 5; ++type) {
        Bytes line(size + 1);
        line[0] = static_cast<std::uint8_t>(type);
        long score = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = above ? above[i] : 0;
            const int c = above && i >= bpp ? above[i - bpp] : 0;
            const int predictor = type == 0   ? 0
                                  : type == 1 ? a
                                  : type == 2 ? b
                                  : type == 3 ? (a + b) / 2
                                              : Paeth(a, b, c);
            const auto value = static_cast<std::uint8_t>(row[i] - predictor);
            line[i + 1] = value;
            score += value < 128 ? value : 256 - value;
        }
        if (bestScore < 0 || score < bestScore) {
            bestScore = score;
            best = std::move(line);
        }
    }
    out.insert(out.end(), best.begin(), best.end());
}

} // namespace

std::vector<std::uint8_t> BmpToPng(const std::vector<std::uint8_t>& bmp) {
    const Image image = ReadBmp(bmp);
    const auto w = static_cast<std::size_t>(image.width);
    const auto h = static_cast<std::size_t>(image.height);

    // Colours in order of first appearance, so the output is the same every time.
    std::map<Rgb, std::uint8_t> indexOf;
    std::vector<Rgb> palette;
    for (const Rgb& pixel : image.pixels) {
        if (indexOf.count(pixel) == 0) {
            if (palette.size() == 256) {
                palette.clear();
                break;
            }
            indexOf[pixel] = static_cast<std::uint8_t>(palette.size());
            palette.push_back(pixel);
        }
    }
    const bool indexed = !palette.empty();
    const std::size_t bpp = indexed ? 1 : 3;

    Bytes raw;
    Bytes samples(w * h * bpp);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        if (indexed) {
            samples[i] = indexOf[image.pixels[i]];
        } else {
            for (std::size_t c = 0; c < 3; ++c) {
                samples[i * 3 + c] = image.pixels[i][c];
            }
        }
    }
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = samples.data() + y * w * bpp;
        if (indexed) { // filters do not help with palette indices
            raw.push_back(0);
            raw.insert(raw.end(), row, row + w);
        } else {
            FilterRow(raw, row, y > 0 ? row - w * bpp : nullptr, w * bpp, bpp);
        }
    }

    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK) {
        throw std::runtime_error("zlib failed");
    }
    packed.resize(packedSize);

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutU32(header, static_cast<std::uint32_t>(w));
    PutU32(header, static_cast<std::uint32_t>(h));
    header.push_back(8);                    // bits per sample
    header.push_back(indexed ? 3 : 2);      // palette or RGB
    header.insert(header.end(), {0, 0, 0}); // deflate, adaptive filters, no interlace
    Chunk(png, "IHDR", header);
    if (indexed) {
        Bytes plte;
        for (const Rgb& colour : palette) {
            plte.insert(plte.end(), colour.begin(), colour.end());
        }
        Chunk(png, "PLTE", plte);
    }
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});
    return png;
}

} // namespace koravel::web_tools
