#include "BitmapFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

namespace koravel::assets::test {
namespace {

constexpr int kSide = 32;
constexpr Rgb kPaper{0xFE, 0xFF, 0xFC};
constexpr Rgb kInk{0xB1, 0x37, 0x28};

bool Between(std::uint8_t v, std::uint8_t a, std::uint8_t b) {
    return v >= std::min(a, b) && v <= std::max(a, b);
}

// The window icon at 32 pixels, and at the sizes the Qt window gives the
// window manager for title bars and task lists on denser screens.
const std::pair<int, const char*> kWindowIcons[] = {{16, "swirl_icon_16.bmp"},
                                                    {24, "swirl_icon_24.bmp"},
                                                    {kSide, "swirl_icon.bmp"},
                                                    {48, "swirl_icon_48.bmp"},
                                                    {64, "swirl_icon_64.bmp"}};

TEST(WindowIcon, IsASquarePaletteBitmapAtEachSize) {
    for (const auto& [side, name] : kWindowIcons) {
        SCOPED_TRACE(name);
        const BmpFile icon(name);
        const std::size_t pixelsAt = 14 + 40 + 256 * 4;
        ASSERT_EQ(icon.bytes.size(), pixelsAt + side * icon.dib.RowBytes());
        EXPECT_EQ(icon.bytes[0], 'B');
        EXPECT_EQ(icon.bytes[1], 'M');
        EXPECT_EQ(U32(icon.bytes, 2), icon.bytes.size());
        EXPECT_EQ(U32(icon.bytes, 10), pixelsAt);
        EXPECT_EQ(icon.dib.width, side);
        EXPECT_EQ(icon.dib.storedHeight, side);
        EXPECT_EQ(icon.dib.bitsPerPixel, 8);
        EXPECT_EQ(icon.dib.compression, 0u);
        EXPECT_EQ(icon.dib.palette.size(), 256u);
    }
}

TEST(WindowIcon, ShowsTheSwirlInkOnPaperAtEachSize) {
    for (const auto& [side, name] : kWindowIcons) {
        SCOPED_TRACE(name);
        const BmpFile icon(name);
        const Dib& dib = icon.dib;
        for (Rgb corner : dib.Corners())
            EXPECT_EQ(corner, kPaper);
        const auto counts = dib.Inks({0, 0, side - 1, side - 1}, kPaper);
        ASSERT_FALSE(counts.empty());
        // The stroke is solid somewhere: at 16 pixels it is about a pixel
        // wide, so nine tenths of ink; larger, solid ink is the commonest colour.
        const Rgb darkest = std::min_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                return a.first.g < b.first.g;
                            })->first;
        EXPECT_LE(darkest.g, kInk.g + (kPaper.g - kInk.g) / 10);
        if (side >= 24) {
            ASSERT_TRUE(counts.contains(kInk));
        }
        for (const auto& [c, count] : counts) {
            if (side >= 24) {
                EXPECT_LE(count, counts.at(kInk)) << int(c.r) << "," << int(c.g) << "," << int(c.b);
            }
            // Softened edges are mixes of the two colours, nothing else.
            EXPECT_TRUE(Between(c.r, kPaper.r, kInk.r) && Between(c.g, kPaper.g, kInk.g) &&
                        Between(c.b, kPaper.b, kInk.b))
                << int(c.r) << "," << int(c.g) << "," << int(c.b);
        }
        // The swirl fills its square, whatever the size: it reaches into each
        // outer quarter of it.
        const std::optional<Area> ink = dib.InkBounds({0, 0, side - 1, side - 1}, kPaper);
        ASSERT_TRUE(ink.has_value());
        EXPECT_LT(ink->left, side / 4);
        EXPECT_LT(ink->top, side / 4);
        EXPECT_GT(ink->right, side * 3 / 4);
        EXPECT_GT(ink->bottom, side * 3 / 4);
    }
}

TEST(IcoFile, HoldsTheWindowIconFullyOpaque) {
    const std::vector<std::uint8_t> ico = ReadAsset("koravel.ico");
    ASSERT_GE(ico.size(), 22u);
    EXPECT_EQ(U16(ico, 0), 0u);
    EXPECT_EQ(U16(ico, 2), 1u); // icon
    ASSERT_EQ(U16(ico, 4), 1u); // one image
    EXPECT_EQ(ico[6], kSide);
    EXPECT_EQ(ico[7], kSide);
    EXPECT_EQ(U16(ico, 12), 8u);
    const std::uint32_t size = U32(ico, 14);
    const std::uint32_t offset = U32(ico, 18);
    ASSERT_EQ(offset + size, ico.size());

    const std::size_t colourRows = offset + 40 + 256 * 4;
    const Dib dib(ico, offset, colourRows, /*hasMask=*/true);
    EXPECT_EQ(dib.width, kSide);
    EXPECT_EQ(dib.storedHeight, 2 * kSide);
    EXPECT_EQ(dib.bitsPerPixel, 8);
    EXPECT_EQ(dib.compression, 0u);

    const BmpFile bmp("swirl_icon.bmp");
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            ASSERT_EQ(dib.Pixel(x, y), bmp.dib.Pixel(x, y)) << "column " << x << ", row " << y;

    // 32 rows of 1-bit mask, 4 bytes each; a set bit would be transparent.
    const std::size_t mask = colourRows + kSide * dib.RowBytes();
    ASSERT_EQ(mask + kSide * 4, ico.size());
    for (std::size_t i = mask; i < ico.size(); ++i)
        ASSERT_EQ(ico[i], 0) << "mask byte " << i - mask;
}

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b.at(at)) << 24 | b.at(at + 1) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

TEST(DesktopIcons, PngsMatchTheirFolderSizeAndHaveAlpha) {
    for (int n : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(n);
        const std::string folder = std::to_string(n) + "x" + std::to_string(n);
        const std::vector<std::uint8_t> png = ReadAsset("hicolor/" + folder + "/koravel.png");
        const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        ASSERT_GE(png.size(), 33u);
        EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), png.begin()));
        EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
        EXPECT_EQ(BigEndian32(png, 16), std::uint32_t(n));
        EXPECT_EQ(BigEndian32(png, 20), std::uint32_t(n));
        EXPECT_EQ(png[25], 6) << "colour type: RGB with alpha";
    }
}

TEST(DesktopIcons, SvgDrawsTheRedSwirlInASquare) {
    const std::vector<std::uint8_t> bytes = ReadAsset("hicolor/scalable/koravel.svg");
    const std::string svg(bytes.begin(), bytes.end());
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    EXPECT_NE(svg.find("stroke=\"#B13829\""), std::string::npos);
    const std::size_t box = svg.find("viewBox=\"");
    ASSERT_NE(box, std::string::npos);
    double x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(std::sscanf(svg.c_str() + box + 9, "%lf %lf %lf %lf", &x, &y, &w, &h), 4);
    EXPECT_GT(w, 0);
    EXPECT_EQ(w, h);
    EXPECT_NE(svg.find("<path"), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

} // namespace
} // namespace koravel::assets::test
