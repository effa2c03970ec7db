#include "BitmapFiles.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace koravel::assets {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPaletteSize = 256 * 4;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;

// The headers count pixels per metre; rounded to nearest, 72 dpi is 2835.
std::int32_t PixelsPerMetre(double dotsPerInch) {
    return std::int32_t(std::lround(dotsPerInch / 0.0254));
}

class Bytes {
  public:
    void U8(std::uint8_t v) { data_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(std::uint8_t(v));
        U8(std::uint8_t(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(std::uint16_t(v));
        U16(std::uint16_t(v >> 16));
    }
    void Pad(std::size_t count) { data_.insert(data_.end(), count, 0); }
    void Append(const std::vector<std::uint8_t>& bytes) {
        data_.insert(data_.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::uint8_t> Take() { return std::move(data_); }

  private:
    std::vector<std::uint8_t> data_;
};

// Every stored row is padded to a multiple of four bytes.
std::uint32_t RowBytes(int width, int bitsPerPixel) {
    return ((std::uint32_t(width) * bitsPerPixel + 31) / 32) * 4;
}

void FileHeader(Bytes& out, std::uint32_t fileSize, std::uint32_t pixelOffset) {
    out.U8('B');
    out.U8('M');
    out.U32(fileSize);
    out.U32(0); // two reserved words
    out.U32(pixelOffset);
}

void InfoHeader(Bytes& out, int width, int storedHeight, int bitsPerPixel,
                std::uint32_t compression, std::uint32_t pixelBytes, std::int32_t pixelsPerMetre,
                std::uint32_t colours) {
    out.U32(kInfoHeaderSize);
    out.U32(std::uint32_t(width));
    out.U32(std::uint32_t(storedHeight)); // positive: bottom row first
    out.U16(1);                           // planes
    out.U16(std::uint16_t(bitsPerPixel));
    out.U32(compression);
    out.U32(pixelBytes);
    out.U32(std::uint32_t(pixelsPerMetre));
    out.U32(std::uint32_t(pixelsPerMetre));
    out.U32(colours);
    out.U32(0); // all colours important
}

void Palette(Bytes& out, const std::array<Rgb, 256>& palette, int colours = 256) {
    for (int i = 0; i < colours; ++i) {
        const Rgb& c = palette[std::size_t(i)];
        out.U8(c.b);
        out.U8(c.g);
        out.U8(c.r);
        out.U8(0);
    }
}

void IndexRows(Bytes& out, const IndexedImage& image) {
    const std::uint32_t padding = RowBytes(image.width, 8) - image.width;
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x)
            out.U8(image.indices[std::size_t(y) * image.width + x]);
        out.Pad(padding);
    }
}

// Equal indices from `x` on, as many as one count byte holds.
int RunAt(const std::uint8_t* row, int x, int width) {
    int n = 1;
    while (x + n < width && n < 255 && row[x + n] == row[x])
        ++n;
    return n;
}

// Shorter runs stay inside a stretch of indices: a run of two takes two
// bytes either way, and ending the stretch for it costs two more.
constexpr int kShortestRun = 3;

// BI_RLE8, bottom row first. A run is a count and an index; a stretch
// without runs is 00, its length (3 to 255) and its indices, padded to an
// even length. Each row ends with 00 00, the last with 00 01 instead. Rows
// never continue into the next, so every row is coded whole and alone.
std::vector<std::uint8_t> Rle8Rows(const IndexedImage& image) {
    Bytes out;
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* row = &image.indices[std::size_t(y) * image.width];
        int x = 0;
        while (x < image.width) {
            if (const int run = RunAt(row, x, image.width); run >= kShortestRun) {
                out.U8(std::uint8_t(run));
                out.U8(row[x]);
                x += run;
                continue;
            }
            int end = x + 1;
            while (end < image.width && end - x < 255 &&
                   RunAt(row, end, image.width) < kShortestRun)
                ++end;
            if (const int count = end - x; count >= 3) {
                out.U8(0);
                out.U8(std::uint8_t(count));
                for (; x < end; ++x)
                    out.U8(row[x]);
                out.Pad(std::size_t(count % 2));
                continue;
            }
            // Absolute mode starts at three; one or two indices go as runs.
            while (x < end) {
                const int run = std::min(RunAt(row, x, image.width), end - x);
                out.U8(std::uint8_t(run));
                out.U8(row[x]);
                x += run;
            }
        }
        out.U8(0);
        out.U8(y == 0 ? 1 : 0);
    }
    return out.Take();
}

} // namespace

std::vector<std::uint8_t> EncodeBmp24(const RgbImage& image, double dotsPerInch) {
    const std::uint32_t rowBytes = RowBytes(image.width, 24);
    const std::uint32_t pixelBytes = rowBytes * image.height;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
    Bytes out;
    FileHeader(out, offset + pixelBytes, offset);
    InfoHeader(out, image.width, image.height, 24, kRgb, pixelBytes, PixelsPerMetre(dotsPerInch),
               0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgb& c = image.At(x, y);
            out.U8(c.b);
            out.U8(c.g);
            out.U8(c.r);
        }
        out.Pad(rowBytes - 3 * std::uint32_t(image.width));
    }
    return out.Take();
}

std::vector<std::uint8_t> EncodeBmp8(const IndexedImage& image) {
    const std::uint32_t pixelBytes = RowBytes(image.width, 8) * image.height;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + kPaletteSize;
    Bytes out;
    FileHeader(out, offset + pixelBytes, offset);
    InfoHeader(out, image.width, image.height, 8, kRgb, pixelBytes, PixelsPerMetre(72.0), 256);
    Palette(out, image.palette);
    IndexRows(out, image);
    return out.Take();
}

std::vector<std::uint8_t> EncodeBmpRle8(const IndexedImage& image, double dotsPerInch) {
    const std::vector<std::uint8_t> rows = Rle8Rows(image);
    const std::uint32_t pixelBytes = std::uint32_t(rows.size());
    const std::uint32_t offset =
        kFileHeaderSize + kInfoHeaderSize + 4 * std::uint32_t(image.colours);
    Bytes out;
    FileHeader(out, offset + pixelBytes, offset);
    InfoHeader(out, image.width, image.height, 8, kRle8, pixelBytes, PixelsPerMetre(dotsPerInch),
               std::uint32_t(image.colours));
    Palette(out, image.palette, image.colours);
    out.Append(rows);
    return out.Take();
}

std::vector<std::uint8_t> EncodeIco8(const IndexedImage& image) {
    constexpr std::uint32_t kDirectorySize = 6 + 16;
    // Icons store the colour rows and then a 1-bit transparency mask, and
    // count both in the header's height. A zero mask bit means opaque.
    const std::uint32_t colourBytes = RowBytes(image.width, 8) * image.height;
    const std::uint32_t maskBytes = RowBytes(image.width, 1) * image.height;
    const std::uint32_t imageBytes = kInfoHeaderSize + kPaletteSize + colourBytes + maskBytes;
    Bytes out;
    out.U16(0); // reserved
    out.U16(1); // icon, not cursor
    out.U16(1); // one image
    out.U8(std::uint8_t(image.width));
    out.U8(std::uint8_t(image.height));
    out.U8(0); // 0 stands for 256 or more colours
    out.U8(0); // reserved
    out.U16(1);
    out.U16(8);
    out.U32(imageBytes);
    out.U32(kDirectorySize);
    InfoHeader(out, image.width, 2 * image.height, 8, kRgb, colourBytes + maskBytes, 0, 256);
    Palette(out, image.palette);
    IndexRows(out, image);
    out.Pad(maskBytes);
    return out.Take();
}

} // namespace koravel::assets
