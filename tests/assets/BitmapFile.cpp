#include "BitmapFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace koravel::assets::test {

std::vector<std::uint8_t> ReadAsset(const std::string& name) {
    std::ifstream in(std::string(KORAVEL_ASSET_DIR) + "/" + name, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint16_t U16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint16_t(bytes.at(at) | bytes.at(at + 1) << 8);
}

std::uint32_t U32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return U16(bytes, at) | std::uint32_t(U16(bytes, at + 2)) << 16;
}

Dib::Dib(const std::vector<std::uint8_t>& data, std::size_t header, std::size_t pixelsAt,
         bool hasMask)
    : width(std::int32_t(U32(data, header + 4))), storedHeight(std::int32_t(U32(data, header + 8))),
      bitsPerPixel(U16(data, header + 14)), compression(U32(data, header + 16)),
      imageSize(U32(data, header + 20)), xPixelsPerMetre(std::int32_t(U32(data, header + 24))),
      yPixelsPerMetre(std::int32_t(U32(data, header + 28))), coloursUsed(U32(data, header + 32)),
      bytes(data), pixels(pixelsAt), height(hasMask ? storedHeight / 2 : storedHeight) {
    if (bitsPerPixel <= 8) {
        const std::size_t count = coloursUsed ? coloursUsed : std::size_t(1) << bitsPerPixel;
        const std::size_t at = header + U32(data, header);
        for (std::size_t i = 0; i < count; ++i)
            palette.push_back(
                {data.at(at + 4 * i + 2), data.at(at + 4 * i + 1), data.at(at + 4 * i)});
    }
}

std::size_t Dib::RowStart(int y) const {
    return pixels + std::size_t(height - 1 - y) * RowBytes();
}

Rgb Dib::Pixel(int x, int y) const {
    const std::size_t row = RowStart(y);
    if (bitsPerPixel == 8)
        return palette.at(bytes.at(row + x));
    const std::size_t at = row + 3 * std::size_t(x);
    return {bytes.at(at + 2), bytes.at(at + 1), bytes.at(at)};
}

std::array<Rgb, 4> Dib::Corners() const {
    return {Pixel(0, 0), Pixel(width - 1, 0), Pixel(0, height - 1), Pixel(width - 1, height - 1)};
}

std::map<Rgb, int> Dib::Inks(const Area& area, Rgb background) const {
    std::map<Rgb, int> counts;
    for (int y = area.top; y <= area.bottom; ++y)
        for (int x = area.left; x <= area.right; ++x)
            if (Rgb c = Pixel(x, y); c != background)
                ++counts[c];
    return counts;
}

std::optional<Area> Dib::InkBounds(const Area& within, Rgb background) const {
    std::optional<Area> bounds;
    for (int y = within.top; y <= within.bottom; ++y)
        for (int x = within.left; x <= within.right; ++x) {
            if (Pixel(x, y) == background)
                continue;
            if (!bounds)
                bounds = Area{x, y, x, y};
            bounds->left = std::min(bounds->left, x);
            bounds->right = std::max(bounds->right, x);
            bounds->top = std::min(bounds->top, y);
            bounds->bottom = std::max(bounds->bottom, y);
        }
    return bounds;
}

BmpFile::BmpFile(const std::string& name)
    : bytes(ReadAsset(name)), dib(bytes, 14, U32(bytes, 10)) {}

} // namespace koravel::assets::test
