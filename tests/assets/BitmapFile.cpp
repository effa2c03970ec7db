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

std::vector<std::uint8_t> DecodeRle8(std::span<const std::uint8_t> stream, int width, int height) {
    if (width <= 0 || height <= 0)
        throw MalformedRle("no pixels to decode");
    const std::size_t w = std::size_t(width);
    std::vector<std::uint8_t> bottomUp;
    bottomUp.reserve(w * std::size_t(height));
    std::size_t at = 0;
    int row = 0; // counted from the bottom, as stored
    std::size_t x = 0;
    auto next = [&] {
        if (at == stream.size())
            throw MalformedRle("stream ends before the end of bitmap");
        return stream[at++];
    };
    // Pixels may only go into a row of the image, up to its last column.
    auto room = [&](std::size_t count) {
        if (row >= height)
            throw MalformedRle("pixels after the last row");
        if (count > w - x)
            throw MalformedRle("row " + std::to_string(row) + " runs past column " +
                               std::to_string(width));
        x += count;
    };
    auto rowEnds = [&] {
        if (x != w)
            throw MalformedRle("row " + std::to_string(row) + " ends after " + std::to_string(x) +
                               " of " + std::to_string(width) + " pixels");
        ++row;
        x = 0;
    };
    for (;;) {
        const std::uint8_t count = next();
        const std::uint8_t code = next();
        if (count > 0) { // a run of one index
            room(count);
            bottomUp.insert(bottomUp.end(), count, code);
        } else if (code == 0) { // end of line
            if (row >= height)
                throw MalformedRle("more rows than the height");
            rowEnds();
        } else if (code == 1) { // end of bitmap, after the last row's end of line or instead
            if (x > 0)
                rowEnds();
            if (row != height || x != 0)
                throw MalformedRle("end of bitmap after " + std::to_string(row) + " of " +
                                   std::to_string(height) + " rows");
            if (at != stream.size())
                throw MalformedRle("bytes after the end of bitmap");
            break;
        } else if (code == 2) {
            throw MalformedRle("delta: the pixels it skips have no colour");
        } else { // absolute mode: `code` indices, padded to an even count
            room(code);
            const std::size_t padded = code + (code & 1u);
            if (stream.size() - at < padded)
                throw MalformedRle("stream ends inside a stretch of indices");
            bottomUp.insert(bottomUp.end(), stream.begin() + at, stream.begin() + at + code);
            at += padded;
        }
    }
    std::vector<std::uint8_t> topDown;
    topDown.reserve(bottomUp.size());
    for (int y = height - 1; y >= 0; --y)
        topDown.insert(topDown.end(), bottomUp.begin() + y * w, bottomUp.begin() + (y + 1) * w);
    return topDown;
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
    if (compression == kBiRle8) {
        if (bitsPerPixel != 8 || pixels > data.size() || data.size() - pixels < imageSize)
            throw MalformedRle("no room for the stream the header promises");
        decoded = DecodeRle8(std::span(data).subspan(pixels, imageSize), width, height);
    }
}

std::size_t Dib::RowStart(int y) const {
    return pixels + std::size_t(height - 1 - y) * RowBytes();
}

Rgb Dib::Pixel(int x, int y) const {
    if (compression == kBiRle8)
        return palette.at(decoded.at(std::size_t(y) * width + x));
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
