#include "BitmapFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The test's own BI_RLE8 reader, on streams written out by hand: what it
// reads the pictures with must neither invent pixels nor miss a broken one.

namespace koravel::assets::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 5;
constexpr int kHeight = 3;

// Bottom row first: a run over the whole row; an odd stretch of indices,
// padded, then a run of two; a run of one, then an even stretch, unpadded.
const Bytes kThreeRows = {
    0x05, 0x01, 0x00, 0x00,                               // 1 1 1 1 1, end of line
    0x00, 0x03, 0x02, 0x03, 0x04, 0x00, 0x02, 0x07, 0x00, // 2 3 4 + pad, 7 7
    0x00,                                                 // end of line
    0x01, 0x09, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04,       // 9, 1 2 3 4
    0x00, 0x01,                                           // end of bitmap
};

const Bytes kThreeRowsTopDown = {
    9, 1, 2, 3, 4, //
    2, 3, 4, 7, 7, //
    1, 1, 1, 1, 1, //
};

// Why the decoder turned the stream down, or "" if it took it.
std::string Rejection(const Bytes& stream, int width = kWidth, int height = kHeight) {
    try {
        DecodeRle8(stream, width, height);
        return "";
    } catch (const MalformedRle& e) {
        return e.what();
    }
}

Bytes Without(Bytes stream, std::size_t tail) {
    stream.resize(stream.size() - tail);
    return stream;
}

Bytes With(Bytes stream, const Bytes& tail) {
    stream.insert(stream.end(), tail.begin(), tail.end());
    return stream;
}

TEST(Rle8Decoder, ReadsRunsStretchesAndLineEndsBottomRowFirst) {
    EXPECT_EQ(DecodeRle8(kThreeRows, kWidth, kHeight), kThreeRowsTopDown);
    // Some writers end the last row too before the end of bitmap.
    const Bytes lineEndFirst = With(Without(kThreeRows, 2), {0x00, 0x00, 0x00, 0x01});
    EXPECT_EQ(DecodeRle8(lineEndFirst, kWidth, kHeight), kThreeRowsTopDown);
}

TEST(Rle8Decoder, RejectsPixelsPastTheEndOfARow) {
    EXPECT_NE(Rejection({0x06, 0x01, 0x00, 0x01}, kWidth, 1).find("runs past column 5"),
              std::string::npos);
    // A run that would fit a fresh row, after part of one.
    EXPECT_NE(Rejection({0x02, 0x01, 0x04, 0x01, 0x00, 0x01}, kWidth, 1), "");
    EXPECT_NE(Rejection({0x00, 0x06, 1, 2, 3, 4, 5, 6, 0x00, 0x01}, kWidth, 1), "");
    // The top row too, where no row follows to spill into.
    const Bytes overTheTop = With(Without(kThreeRows, 2), {0x01, 0x05, 0x00, 0x01});
    EXPECT_NE(Rejection(overTheTop).find("row 2 runs past"), std::string::npos);
}

TEST(Rle8Decoder, RejectsAStreamWithoutItsEndOfBitmap) {
    EXPECT_NE(Rejection(Without(kThreeRows, 2)).find("before the end of bitmap"),
              std::string::npos);
    EXPECT_NE(Rejection(With(Without(kThreeRows, 2), {0x00, 0x00})), "");
    EXPECT_NE(Rejection(Without(kThreeRows, 1)), "");
    // Cut inside the last stretch of indices, whose length says more follow.
    EXPECT_NE(Rejection(Without(kThreeRows, 4)).find("inside a stretch"), std::string::npos);
    EXPECT_NE(Rejection({}), "");
}

TEST(Rle8Decoder, RejectsStreamsThatDoNotCodeTheWholeImage) {
    // A short row, then too few rows, too many, and bytes after the end.
    EXPECT_NE(Rejection({0x04, 0x01, 0x00, 0x01}, kWidth, 1).find("ends after 4 of 5"),
              std::string::npos);
    EXPECT_NE(Rejection({0x05, 0x01, 0x00, 0x01}, kWidth, 2).find("after 1 of 2 rows"),
              std::string::npos);
    EXPECT_NE(Rejection({0x05, 0x01, 0x00, 0x00, 0x05, 0x01, 0x00, 0x01}, kWidth, 1), "");
    EXPECT_NE(Rejection(With(kThreeRows, {0x00, 0x00})), "");
    // A delta skips pixels and leaves them without a colour.
    EXPECT_NE(Rejection({0x00, 0x02, 0x01, 0x00, 0x04, 0x01, 0x00, 0x01}, kWidth, 1).find("delta"),
              std::string::npos);
    EXPECT_NE(Rejection(kThreeRows, kWidth, 0), "");
}

} // namespace
} // namespace koravel::assets::test
