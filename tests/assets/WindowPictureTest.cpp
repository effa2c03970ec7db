#include "BitmapFile.h"
#include "WindowPictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <span>
#include <string>
#include <tuple>

namespace koravel::assets::test {
namespace {

class WindowPicture : public testing::TestWithParam<std::tuple<PictureSize, Swirl>> {
  protected:
    const PictureSize& size = std::get<0>(GetParam());
    const Rgb swirl = std::get<1>(GetParam()).colour;
    BmpFile bmp{FileName(std::get<1>(GetParam()), size)};
    const Dib& dib = bmp.dib;
    const Area swirlArea = Scaled(kSwirlArea, size.scale);
    const Area wordArea = Scaled(kWordArea, size.scale);
};

using UncompressedPicture = WindowPicture;

TEST_P(UncompressedPicture, HasTheExactBitmapLayout) {
    const auto& b = bmp.bytes;
    ASSERT_EQ(b.size(), kOneTimesFileSize);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), kOneTimesFileSize);
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(dib.width, size.width);
    EXPECT_EQ(dib.storedHeight, size.height); // positive: bottom row first
    EXPECT_EQ(U16(b, 26), 1u);                // planes
    EXPECT_EQ(dib.bitsPerPixel, 24);
    EXPECT_EQ(dib.compression, kBiRgb);
    EXPECT_EQ(dib.imageSize, kOneTimesFileSize - 54);
    EXPECT_EQ(dib.imageSize, kOneTimesRowBytes * size.height);
    EXPECT_EQ(dib.xPixelsPerMetre, size.pixelsPerMetre);
    EXPECT_EQ(dib.yPixelsPerMetre, size.pixelsPerMetre);
    EXPECT_EQ(dib.RowBytes(), kOneTimesRowBytes);
}

TEST_P(UncompressedPicture, PadsEveryRowWithZeros) {
    for (int y = 0; y < size.height; ++y) {
        const std::size_t row = dib.RowStart(y);
        for (std::size_t i = 3 * std::size_t(size.width); i < kOneTimesRowBytes; ++i)
            EXPECT_EQ(bmp.bytes[row + i], 0) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Swirls, UncompressedPicture,
                         testing::Combine(testing::Values(kOneTimes), testing::ValuesIn(kSwirls)),
                         PictureName);

using RunLengthPicture = WindowPicture;

TEST_P(RunLengthPicture, HasAn8BitRunLengthHeader) {
    const auto& b = bmp.bytes;
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(dib.width, size.width);
    EXPECT_EQ(dib.storedHeight, size.height); // positive: bottom row first
    EXPECT_EQ(U16(b, 26), 1u);                // planes
    EXPECT_EQ(dib.bitsPerPixel, 8);
    EXPECT_EQ(dib.compression, kBiRle8);
    EXPECT_GE(dib.coloursUsed, 1u);
    EXPECT_LE(dib.coloursUsed, 256u);
    // The palette fills the gap between the headers and the coded rows,
    // which run to the end of the file.
    EXPECT_EQ(U32(b, 10), 54 + 4 * dib.coloursUsed);
    EXPECT_EQ(dib.imageSize, b.size() - U32(b, 10));
    EXPECT_EQ(dib.xPixelsPerMetre, size.pixelsPerMetre);
    EXPECT_EQ(dib.yPixelsPerMetre, size.pixelsPerMetre);
    EXPECT_LE(b.size(), kLargestCodedPicture);
}

TEST_P(RunLengthPicture, CodesEveryRowWholeAndEndsTheBitmap) {
    const auto& b = bmp.bytes;
    const std::span stream = std::span(b).subspan(dib.pixels);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(stream[stream.size() - 2], 0);
    EXPECT_EQ(stream[stream.size() - 1], 1) << "end of bitmap";
    // The decoder throws on a row that is short or too long, on a missing
    // row and on bytes left over.
    std::vector<std::uint8_t> indices;
    ASSERT_NO_THROW(indices = DecodeRle8(stream, size.width, size.height));
    ASSERT_EQ(indices.size(), std::size_t(size.width) * size.height);
    for (std::uint8_t i : indices)
        ASSERT_LT(i, dib.coloursUsed);
}

TEST_P(RunLengthPicture, HoldsOnlyWhiteAndBlendsOfTheTwoInksInItsPalette) {
    ASSERT_EQ(dib.palette.size(), dib.coloursUsed);
    EXPECT_EQ(std::count(dib.palette.begin(), dib.palette.end(), kWhite), 1);
    EXPECT_NE(std::find(dib.palette.begin(), dib.palette.end(), swirl), dib.palette.end());
    EXPECT_NE(std::find(dib.palette.begin(), dib.palette.end(), kLetters), dib.palette.end());
    for (const Rgb& c : dib.palette)
        EXPECT_TRUE(IsWhiteAnd(c, swirl) || IsWhiteAnd(c, kLetters))
            << int(c.r) << "," << int(c.g) << "," << int(c.b);
}

INSTANTIATE_TEST_SUITE_P(Swirls, RunLengthPicture,
                         testing::Combine(testing::Values(kSizes[1], kSizes[2]),
                                          testing::ValuesIn(kSwirls)),
                         PictureName);

TEST_P(WindowPicture, LeavesEverythingOutsideTheTwoAreasWhite) {
    for (Rgb corner : dib.Corners())
        EXPECT_EQ(corner, kWhite);
    EXPECT_TRUE(dib.Inks(Scaled({0, 108, 149, 115}, size.scale), kWhite).empty());
    int strays = 0;
    std::string first;
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x)
            if (!swirlArea.Contains(x, y) && !wordArea.Contains(x, y) &&
                dib.Pixel(x, y) != kWhite && strays++ == 0)
                first = "column " + std::to_string(x) + ", row " + std::to_string(y);
    EXPECT_EQ(strays, 0) << "first at " << first;
}

TEST_P(WindowPicture, DrawsTheSwirlMostlyInItsOwnColour) {
    const auto colours = dib.Inks(swirlArea, kWhite);
    int inked = 0;
    for (const auto& [colour, count] : colours)
        inked += count;
    ASSERT_TRUE(colours.contains(swirl));
    const int solid = colours.at(swirl);
    EXPECT_GT(2 * solid, inked) << "antialiased edges should be the minority";
    for (const auto& [colour, count] : colours)
        EXPECT_LE(count, solid);
}

TEST_P(WindowPicture, SoftensTheSwirlOnlyTowardsWhite) {
    // An edge pixel is white and the swirl's colour mixed in one proportion.
    for (const auto& [c, count] : dib.Inks(swirlArea, kWhite))
        EXPECT_TRUE(IsWhiteAnd(c, swirl))
            << "pixel " << int(c.r) << "," << int(c.g) << "," << int(c.b);
}

TEST_P(WindowPicture, SwirlSpansItsWholeArea) {
    // Ink on all four edges of the area: the swirl is neither shrunk nor shifted.
    const Area a = swirlArea;
    auto inkedColumn = [&](int x) { return !dib.Inks({x, a.top, x, a.bottom}, kWhite).empty(); };
    auto inkedRow = [&](int y) { return !dib.Inks({a.left, y, a.right, y}, kWhite).empty(); };
    EXPECT_TRUE(inkedColumn(a.left));
    EXPECT_TRUE(inkedColumn(a.right));
    EXPECT_TRUE(inkedRow(a.top));
    EXPECT_TRUE(inkedRow(a.bottom));
}

TEST_P(WindowPicture, WritesTheWordInNeutralDarkGrey) {
    const auto colours = dib.Inks(wordArea, kWhite);
    EXPECT_TRUE(colours.contains(kLetters));
    for (const auto& [colour, count] : colours) {
        EXPECT_TRUE(colour.r == colour.g && colour.g == colour.b && colour.r >= kLetters.r)
            << "letter pixel " << int(colour.r) << "," << int(colour.g) << "," << int(colour.b);
    }
}

INSTANTIATE_TEST_SUITE_P(Swirls, WindowPicture,
                         testing::Combine(testing::ValuesIn(kSizes), testing::ValuesIn(kSwirls)),
                         PictureName);

class WindowPictures : public testing::TestWithParam<PictureSize> {};

TEST_P(WindowPictures, DifferOnlyInTheSwirlsColour) {
    const PictureSize& size = GetParam();
    const BmpFile red(FileName(kSwirls[0], size));
    const BmpFile blue(FileName(kSwirls[1], size));
    const BmpFile black(FileName(kSwirls[2], size));
    ASSERT_EQ(red.bytes.size(), blue.bytes.size());
    ASSERT_EQ(red.bytes.size(), black.bytes.size());
    // The headers too, not only the pixels.
    EXPECT_TRUE(std::equal(red.bytes.begin(), red.bytes.begin() + 54, blue.bytes.begin()));
    EXPECT_TRUE(std::equal(red.bytes.begin(), red.bytes.begin() + 54, black.bytes.begin()));
    if (size.runLength) {
        // One palette layout for all three: the same indices, coded alike.
        const auto rows = red.bytes.begin() + std::ptrdiff_t(red.dib.pixels);
        EXPECT_TRUE(
            std::equal(rows, red.bytes.end(), blue.bytes.begin() + (rows - red.bytes.begin())));
        EXPECT_TRUE(
            std::equal(rows, red.bytes.end(), black.bytes.begin() + (rows - red.bytes.begin())));
    }
    const Area swirlArea = Scaled(kSwirlArea, size.scale);
    int insideSwirl = 0;
    int elsewhere = 0;
    int shapeMismatches = 0;
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const Rgb r = red.dib.Pixel(x, y);
            const Rgb u = blue.dib.Pixel(x, y);
            const Rgb k = black.dib.Pixel(x, y);
            const bool same = r == u && r == k;
            (swirlArea.Contains(x, y) ? insideSwirl : elsewhere) += !same;
            // One swirl, three inks: each pixel is touched in all or none.
            shapeMismatches += (r == kWhite) != (u == kWhite) || (r == kWhite) != (k == kWhite);
        }
    EXPECT_GT(insideSwirl, 0);
    EXPECT_EQ(elsewhere, 0);
    EXPECT_EQ(shapeMismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowPictures, testing::ValuesIn(kSizes),
                         [](const testing::TestParamInfo<PictureSize>& info) {
                             return ScaleName(info.param);
                         });

} // namespace
} // namespace koravel::assets::test
