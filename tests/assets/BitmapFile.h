#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace koravel::assets::test {

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    friend auto operator<=>(const Rgb&, const Rgb&) = default;
};

constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};

std::vector<std::uint8_t> ReadAsset(const std::string& name);

std::uint16_t U16(const std::vector<std::uint8_t>& bytes, std::size_t at);
std::uint32_t U32(const std::vector<std::uint8_t>& bytes, std::size_t at);

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;

// A BI_RLE8 stream that breaks the format, or leaves pixels without a colour.
struct MalformedRle : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One palette index per pixel, rows top-down. The stream must give every
// row exactly `width` pixels, code exactly `height` rows and finish with an
// end-of-bitmap as its last two bytes; anything else, including a delta
// (whose skipped pixels have no defined colour), throws MalformedRle.
std::vector<std::uint8_t> DecodeRle8(std::span<const std::uint8_t> stream, int width, int height);

// Inclusive pixel bounds, counted from the top-left.
struct Area {
    int left, top, right, bottom;
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// A device-independent bitmap as stored in .bmp and .ico files: the info
// header at `header`, then an optional palette, then rows at `pixels`, plain
// or (8-bit only) run-length coded in `imageSize` bytes. Icons count their
// transparency mask in the stored height.
struct Dib {
    Dib(const std::vector<std::uint8_t>& bytes, std::size_t header, std::size_t pixels,
        bool hasMask = false);

    std::int32_t width;
    std::int32_t storedHeight;
    std::uint16_t bitsPerPixel;
    std::uint32_t compression;
    std::uint32_t imageSize;
    std::int32_t xPixelsPerMetre;
    std::int32_t yPixelsPerMetre;
    std::uint32_t coloursUsed;
    std::vector<Rgb> palette;

    // Of uncompressed rows only.
    std::size_t RowBytes() const { return ((std::size_t(width) * bitsPerPixel + 31) / 32) * 4; }
    std::size_t RowStart(int y) const;
    // Counted from the top-left, like the pictures are described.
    Rgb Pixel(int x, int y) const;
    std::array<Rgb, 4> Corners() const;
    // How often each colour other than `background` occurs in the area.
    std::map<Rgb, int> Inks(const Area& area, Rgb background) const;
    // The smallest area holding every pixel of `within` that is not `background`.
    std::optional<Area> InkBounds(const Area& within, Rgb background) const;

    const std::vector<std::uint8_t>& bytes;
    std::size_t pixels;
    int height;                        // of the colour image, top row = 0
    std::vector<std::uint8_t> decoded; // of a run-length coded bitmap
};

// A whole .bmp file: file header, then the bitmap.
struct BmpFile {
    explicit BmpFile(const std::string& name);
    BmpFile(const BmpFile&) = delete; // dib refers to bytes
    std::vector<std::uint8_t> bytes;
    Dib dib;
};

} // namespace koravel::assets::test
