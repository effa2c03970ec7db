#include "ui/qt/BitmapDecoder.h"

#include <cstdint>

namespace koravel {
namespace {

std::uint32_t Le(QByteArrayView bytes, qsizetype at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | std::uint8_t(bytes[at + i]);
    }
    return value;
}

constexpr qsizetype kFileHeader = 14;
constexpr qsizetype kInfoHeader = 40;

} // namespace

QImage DecodeUncompressedBmp(QByteArrayView file) {
    if (file.size() < kFileHeader + kInfoHeader || file[0] != 'B' || file[1] != 'M' ||
        Le(file, kFileHeader, 4) < kInfoHeader) {
        return {};
    }
    const qsizetype pixelsAt = Le(file, 10, 4);
    const auto width = std::int32_t(Le(file, 18, 4));
    const auto height = std::int32_t(Le(file, 22, 4)); // negative: top row first
    const int bits = int(Le(file, 28, 2));
    const std::uint32_t compression = Le(file, 30, 4);
    if (width <= 0 || width > 4096 || height <= 0 || height > 4096 || compression != 0 ||
        (bits != 24 && bits != 8)) {
        return {};
    }
    const qsizetype rowBytes = (qsizetype(width) * bits + 31) / 32 * 4;
    if (pixelsAt < kFileHeader + kInfoHeader || pixelsAt + rowBytes * height > file.size()) {
        return {};
    }

    QRgb palette[256] = {};
    if (bits == 8) {
        const qsizetype paletteAt = kFileHeader + Le(file, kFileHeader, 4);
        const std::uint32_t used = Le(file, 46, 4);
        const qsizetype colours = used == 0 || used > 256 ? 256 : used;
        if (paletteAt + 4 * colours > pixelsAt) {
            return {};
        }
        for (qsizetype i = 0; i < colours; ++i) {
            const qsizetype at = paletteAt + 4 * i; // blue, green, red, unused
            palette[i] = qRgb(std::uint8_t(file[at + 2]), std::uint8_t(file[at + 1]),
                              std::uint8_t(file[at]));
        }
    }

    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(file.data() + pixelsAt +
                                                                (height - 1 - y) * rowBytes);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            out[x] =
                bits == 24 ? qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]) : palette[row[x]];
        }
    }
    return image;
}

} // namespace koravel
