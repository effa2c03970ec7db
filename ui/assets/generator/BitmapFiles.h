#pragma once

#include "Raster.h"

#include <array>
#include <cstdint>
#include <vector>

namespace koravel::assets {

// A picture of up to 256 colours, rows top-down, one palette index per
// pixel; only the first `colours` palette entries are stored.
struct IndexedImage {
    int width;
    int height;
    std::array<Rgb, 256> palette;
    int colours;
    std::vector<std::uint8_t> indices;
};

// Uncompressed Windows bitmaps, bottom row first, 72 dpi unless told
// otherwise. A picture drawn at 1.5x or 2x records 1.5x or 2x the
// resolution (108 or 144 dpi), so it keeps the 1x picture's size in inches.
std::vector<std::uint8_t> EncodeBmp24(const RgbImage& image, double dotsPerInch = 72.0);
std::vector<std::uint8_t> EncodeBmp8(const IndexedImage& image);

// The same 8-bit picture run-length coded (BI_RLE8), with `colours` palette
// entries: a fraction of the size for drawings on a plain background.
std::vector<std::uint8_t> EncodeBmpRle8(const IndexedImage& image, double dotsPerInch = 72.0);

// A single-image .ico holding the 8-bit picture and an all-opaque mask.
std::vector<std::uint8_t> EncodeIco8(const IndexedImage& image);

} // namespace koravel::assets
