#include "BitmapFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace koravel::assets::test {
namespace {

constexpr int kWidth = 150;
constexpr int kHeight = 116;
constexpr Rgb kLetters{0x0B, 0x0B, 0x0B};

constexpr Area kSwirlArea{32, 3, 113, 78};
constexpr Area kWordArea{3, 84, 146, 107};

struct Picture {
    const char* file;
    Rgb swirl;
};

std::ostream& operator<<(std::ostream& out, const Picture& p) {
    return out << p.file;
}

class WindowPicture : public testing::TestWithParam<Picture> {
  protected:
    BmpFile bmp{GetParam().file};
    const Dib& dib = bmp.dib;
};

TEST_P(WindowPicture, HasTheExactBitmapLayout) {
    const auto& b = bmp.bytes;
    ASSERT_EQ(b.size(), 52486u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), 52486u);
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(dib.width, kWidth);
    EXPECT_EQ(dib.storedHeight, kHeight); // positive: bottom row first
    EXPECT_EQ(U16(b, 26), 1u);            // planes
    EXPECT_EQ(dib.bitsPerPixel, 24);
    EXPECT_EQ(dib.compression, 0u);
    EXPECT_EQ(dib.imageSize, 52432u);
    EXPECT_EQ(dib.xPixelsPerMetre, 2835);
    EXPECT_EQ(dib.yPixelsPerMetre, 2835);
    EXPECT_EQ(dib.RowBytes(), 452u);
}

TEST_P(WindowPicture, PadsEveryRowWithZeros) {
    for (int y = 0; y < kHeight; ++y) {
        const std::size_t row = dib.RowStart(y);
        EXPECT_EQ(bmp.bytes[row + 450], 0) << "row " << y;
        EXPECT_EQ(bmp.bytes[row + 451], 0) << "row " << y;
    }
}

TEST_P(WindowPicture, LeavesEverythingOutsideTheTwoAreasWhite) {
    for (Rgb corner : dib.Corners())
        EXPECT_EQ(corner, kWhite);
    EXPECT_TRUE(dib.Inks({0, 108, kWidth - 1, kHeight - 1}, kWhite).empty());
    int strays = 0;
    std::string first;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (!kSwirlArea.Contains(x, y) && !kWordArea.Contains(x, y) &&
                dib.Pixel(x, y) != kWhite && strays++ == 0)
                first = "column " + std::to_string(x) + ", row " + std::to_string(y);
    EXPECT_EQ(strays, 0) << "first at " << first;
}

TEST_P(WindowPicture, DrawsTheSwirlMostlyInItsOwnColour) {
    const auto colours = dib.Inks(kSwirlArea, kWhite);
    int inked = 0;
    for (const auto& [colour, count] : colours)
        inked += count;
    ASSERT_TRUE(colours.contains(GetParam().swirl));
    const int solid = colours.at(GetParam().swirl);
    EXPECT_GT(2 * solid, inked) << "antialiased edges should be the minority";
    for (const auto& [colour, count] : colours)
        EXPECT_LE(count, solid);
}

TEST_P(WindowPicture, SwirlSpansItsWholeArea) {
    // Ink on all four edges of the area: the swirl is neither shrunk nor shifted.
    const Area a = kSwirlArea;
    auto inkedColumn = [&](int x) { return !dib.Inks({x, a.top, x, a.bottom}, kWhite).empty(); };
    auto inkedRow = [&](int y) { return !dib.Inks({a.left, y, a.right, y}, kWhite).empty(); };
    EXPECT_TRUE(inkedColumn(a.left));
    EXPECT_TRUE(inkedColumn(a.right));
    EXPECT_TRUE(inkedRow(a.top));
    EXPECT_TRUE(inkedRow(a.bottom));
}

TEST_P(WindowPicture, WritesTheWordInNeutralDarkGrey) {
    const auto colours = dib.Inks(kWordArea, kWhite);
    EXPECT_TRUE(colours.contains(kLetters));
    for (const auto& [colour, count] : colours) {
        EXPECT_TRUE(colour.r == colour.g && colour.g == colour.b)
            << "tinted letter pixel " << int(colour.r) << "," << int(colour.g) << ","
            << int(colour.b);
    }
}

INSTANTIATE_TEST_SUITE_P(Swirls, WindowPicture,
                         testing::Values(Picture{"swirl_red.bmp", {0xB1, 0x38, 0x29}},
                                         Picture{"swirl_blue.bmp", {0x48, 0x66, 0xA2}},
                                         Picture{"swirl_black.bmp", {0x0F, 0x0F, 0x0F}}));

TEST(WindowPictures, DifferOnlyInTheSwirlArea) {
    const BmpFile red("swirl_red.bmp");
    const BmpFile blue("swirl_blue.bmp");
    const BmpFile black("swirl_black.bmp");
    ASSERT_EQ(red.bytes.size(), blue.bytes.size());
    ASSERT_EQ(red.bytes.size(), black.bytes.size());
    // The headers too, not only the pixels.
    EXPECT_TRUE(std::equal(red.bytes.begin(), red.bytes.begin() + 54, blue.bytes.begin()));
    EXPECT_TRUE(std::equal(red.bytes.begin(), red.bytes.begin() + 54, black.bytes.begin()));
    int insideSwirl = 0;
    int elsewhere = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Rgb r = red.dib.Pixel(x, y);
            const bool same = r == blue.dib.Pixel(x, y) && r == black.dib.Pixel(x, y);
            (kSwirlArea.Contains(x, y) ? insideSwirl : elsewhere) += !same;
        }
    EXPECT_GT(insideSwirl, 0);
    EXPECT_EQ(elsewhere, 0);
}

} // namespace
} // namespace koravel::assets::test
