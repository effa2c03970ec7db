#include "BitmapFile.h"
#include "WindowPictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

// The 1.5x and 2x pictures against the 1x one: the same drawing, laid out
// the same, rasterised afresh rather than enlarged.

namespace koravel::assets::test {
namespace {

// How much of a pixel the ink covers, 0 to 1, read off the channel in which
// the ink differs most from white.
double InkAmount(Rgb pixel, Rgb ink) {
    const int k = std::min({ink.r, ink.g, ink.b});
    const int c = k == ink.r ? pixel.r : k == ink.g ? pixel.g : pixel.b;
    return (255.0 - c) / (255.0 - k);
}

class ScaledPicture : public testing::TestWithParam<std::tuple<PictureSize, Swirl>> {
  protected:
    const PictureSize& size = std::get<0>(GetParam());
    const double scale = size.scale;
    const Rgb swirl = std::get<1>(GetParam()).colour;
    const BmpFile small{FileName(std::get<1>(GetParam()), kOneTimes)};
    const BmpFile large{FileName(std::get<1>(GetParam()), size)};

    Rgb InkAt(int x1, int y1) const { return kSwirlArea.Contains(x1, y1) ? swirl : kLetters; }

    // The large picture's ink averaged over the square that the 1x pixel
    // (x1, y1) becomes, each pixel weighted by how much of it lies inside.
    double AmountOver(int x1, int y1) const {
        const Area square = Scaled({x1, y1, x1, y1}, scale);
        double sum = 0;
        for (int y = square.top; y <= square.bottom; ++y)
            for (int x = square.left; x <= square.right; ++x) {
                const double w =
                    std::min(x + 1.0, (x1 + 1) * scale) - std::max(x * 1.0, x1 * scale);
                const double h =
                    std::min(y + 1.0, (y1 + 1) * scale) - std::max(y * 1.0, y1 * scale);
                sum += w * h * InkAmount(large.dib.Pixel(x, y), InkAt(x1, y1));
            }
        return sum / (scale * scale);
    }
};

TEST_P(ScaledPicture, PlacesSwirlAndWordWhereThe1xPictureDoesScaled) {
    for (const Area& area : {kSwirlArea, kWordArea}) {
        const auto one = small.dib.InkBounds(area, kWhite);
        const auto big = large.dib.InkBounds(Scaled(area, scale), kWhite);
        ASSERT_TRUE(one && big);
        // A pixel's worth of doubt at 1x, where an edge pixel may be barely
        // touched, and one more at the large size.
        const double slack = 1.0 + scale;
        EXPECT_NEAR(big->left, one->left * scale, slack);
        EXPECT_NEAR(big->top, one->top * scale, slack);
        EXPECT_NEAR(big->right + 1, (one->right + 1) * scale, slack);
        EXPECT_NEAR(big->bottom + 1, (one->bottom + 1) * scale, slack);
    }
}

TEST_P(ScaledPicture, CoversWhatThe1xPictureCoversPixelForPixel) {
    // Shrunk back to 1x by averaging, the large picture gives the 1x ink
    // almost exactly: same strokes, same pens, same places.
    double worst = 0;
    double difference = 0;
    double inkSmall = 0;
    double inkLarge = 0;
    int inked = 0;
    for (int y = 0; y < kOneTimes.height; ++y)
        for (int x = 0; x < kOneTimes.width; ++x) {
            const double want = InkAmount(small.dib.Pixel(x, y), InkAt(x, y));
            const double got = AmountOver(x, y);
            worst = std::max(worst, std::abs(got - want));
            difference += std::abs(got - want);
            inkSmall += want;
            inkLarge += got;
            inked += want > 0;
        }
    // The thin trade-mark pen's corners come out a little differently at
    // each size; everywhere else the two agree within a few per cent.
    EXPECT_LT(worst, 0.5);
    EXPECT_LT(difference / inked, 0.04) << "mean difference per inked 1x pixel";
    // Pens scaled with the drawing: as much ink in all, to within 2 %.
    EXPECT_NEAR(inkLarge / inkSmall, 1.0, 0.02);
}

TEST_P(ScaledPicture, KeepsItsEdgesAsSharpAsThe1xPicture) {
    // Drawn afresh, a picture s times the size has s times the outline
    // but s squared times the area, so fewer of its inked pixels are soft
    // edges. An enlarged 1x bitmap keeps the 1x share, or softens more.
    auto softShare = [](const Dib& dib, Rgb ink) {
        int soft = 0;
        int inked = 0;
        for (int y = 0; y < dib.height; ++y)
            for (int x = 0; x < dib.width; ++x)
                if (const Rgb c = dib.Pixel(x, y); c != kWhite) {
                    ++inked;
                    soft += c != ink && c != kLetters;
                }
        return double(soft) / inked;
    };
    const double one = softShare(small.dib, swirl);
    const double big = softShare(large.dib, swirl);
    EXPECT_LT(big, one / scale * 1.3) << "1x share " << one;
    EXPECT_GT(big, one / scale * 0.8) << "1x share " << one;
}

TEST_P(ScaledPicture, ShowsWhiteAndSolidInkWhereThe1xPictureDoes) {
    // A 1x pixel that is untouched or fully inked holds the large pixel at
    // its centre entirely, so that pixel decodes to about the same colour:
    // the swirl's body, the letters' stems and the paper between them. A row
    // or column lost or shifted in the coding shows here by the hundred; the
    // rasteriser leaves only a few pixels a little short of solid, where
    // curve pieces meet, and the thin trade-mark pen's corners differ more.
    int solid = 0;
    int mismatches = 0;
    std::string first;
    for (int y = 0; y < kOneTimes.height; ++y)
        for (int x = 0; x < kOneTimes.width; ++x) {
            const Rgb want = small.dib.Pixel(x, y);
            if (want != kWhite && want != InkAt(x, y))
                continue;
            ++solid;
            const Rgb got = large.dib.Pixel(int((x + 0.5) * scale), int((y + 0.5) * scale));
            const double miss =
                std::abs(InkAmount(got, InkAt(x, y)) - InkAmount(want, InkAt(x, y)));
            if (miss > 0.1 && mismatches++ == 0)
                first = "1x column " + std::to_string(x) + ", row " + std::to_string(y);
        }
    EXPECT_GT(solid, kOneTimes.width * kOneTimes.height / 2);
    EXPECT_LE(mismatches, solid / 2000) << "first at " << first;
}

INSTANTIATE_TEST_SUITE_P(Swirls, ScaledPicture,
                         testing::Combine(testing::Values(kSizes[1], kSizes[2]),
                                          testing::ValuesIn(kSwirls)),
                         PictureName);

} // namespace
} // namespace koravel::assets::test
