#pragma once

// The nine window pictures: three swirl colours, each at 1x, 1.5x and 2x.
// The 1x ones are 24-bit; the larger ones 8-bit and run-length coded, as
// uncompressed they would be most of Koravel.exe.

#include "BitmapFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>

namespace koravel::assets::test {

constexpr Rgb kLetters{0x0B, 0x0B, 0x0B};

// Where the ink lies in the 1x picture, 150 x 116.
constexpr Area kSwirlArea{32, 3, 113, 78};
constexpr Area kWordArea{3, 84, 146, 107};

// One size and what its header must hold. The resolution grows with the
// scale (72, 108, 144 dpi), so every size is the same number of inches.
struct PictureSize {
    const char* suffix;
    double scale;
    int width;
    int height;
    std::int32_t pixelsPerMetre;
    bool runLength; // 8-bit BI_RLE8, else 24-bit BI_RGB
};

inline constexpr PictureSize kSizes[] = {
    {"", 1.0, 150, 116, 2835, false},
    {"@1.5x", 1.5, 225, 174, 4252, true},
    {"@2x", 2.0, 300, 232, 5669, true},
};
inline constexpr const PictureSize& kOneTimes = kSizes[0];

// The 1x pictures, byte for byte the same size as ever.
inline constexpr std::size_t kOneTimesRowBytes = 452;
inline constexpr std::uint32_t kOneTimesFileSize = 52486;

// Each coded picture's share of what Koravel.exe may weigh.
inline constexpr std::size_t kLargestCodedPicture = 32 * 1024;

struct Swirl {
    const char* name;
    Rgb colour;
};

inline constexpr Swirl kSwirls[] = {
    {"red", {0xB1, 0x38, 0x29}},
    {"blue", {0x48, 0x66, 0xA2}},
    {"black", {0x0F, 0x0F, 0x0F}},
};

inline std::string FileName(const Swirl& swirl, const PictureSize& size) {
    return std::string("swirl_") + swirl.name + size.suffix + ".bmp";
}

inline void PrintTo(const PictureSize& size, std::ostream* out) {
    *out << size.width << " x " << size.height;
}

inline void PrintTo(const Swirl& swirl, std::ostream* out) {
    *out << swirl.name;
}

// "1x", "1_5x", "2x": for test names.
inline std::string ScaleName(const PictureSize& size) {
    std::string name = size.suffix[0] ? size.suffix + 1 : "1x";
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

// "red_1_5x" and so on.
inline std::string PictureName(const testing::TestParamInfo<std::tuple<PictureSize, Swirl>>& info) {
    const auto& [size, swirl] = info.param;
    return std::string(swirl.name) + "_" + ScaleName(size);
}

// Whether `c` is white with some share of `ink` mixed in, to within
// rounding. The share is read off the channel in which the ink differs most
// from white.
inline bool IsWhiteAnd(Rgb c, Rgb ink) {
    const int want[] = {ink.r, ink.g, ink.b};
    const int got[] = {c.r, c.g, c.b};
    int k = 0;
    for (int i = 1; i < 3; ++i)
        k = want[i] < want[k] ? i : k;
    const double amount = (255.0 - got[k]) / (255.0 - want[k]);
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - (255.0 - amount * (255 - want[i]))) > 1.5)
            return false;
    return amount >= 0 && amount <= 1;
}

// The pixels that a 1x area's drawing touches once scaled, counting those
// it only partly covers.
inline Area Scaled(const Area& a, double scale) {
    return {int(std::floor(a.left * scale)), int(std::floor(a.top * scale)),
            int(std::ceil((a.right + 1) * scale)) - 1, int(std::ceil((a.bottom + 1) * scale)) - 1};
}

} // namespace koravel::assets::test
