#pragma once

#include "Raster.h"

#include <array>
#include <cstdint>
#include <vector>

namespace koravel::assets {

// A 256-colour picture, rows top-down, one palette index per pixel.
struct IndexedImage {
    int width;
    int height;
    std::array<Rgb, 256> palette;
    std::vector<std::uint8_t> indices;
};

// Uncompressed Windows bitmaps, bottom row first, 72 dpi.
std::vector<std::uint8_t> EncodeBmp24(const RgbImage& image);
std::vector<std::uint8_t> EncodeBmp8(const IndexedImage& image);

// A single-image .ico holding the 8-bit picture and an all-opaque mask.
std::vector<std::uint8_t> EncodeIco8(const IndexedImage& image);

} // namespace koravel::assets
