#include "platform/posix/PosixFileLayer.h"

#include "Caught.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace koravel;

namespace {

class PosixFileLayerIo : public ::testing::Test {
  protected:
    TempDir dir;
    PosixFileLayer layer;
    std::string image = dir.WriteFile("image.bin", "12345");
};

TEST_F(PosixFileLayerIo, PositionsCountFromOne) {
    layer.Open(1, image, OpenMode::ReadOnly);
    std::uint8_t byte = 0;
    ASSERT_TRUE(layer.ReadByte(1, 1, byte));
    EXPECT_EQ(byte, '1');
    ASSERT_TRUE(layer.ReadByte(1, 5, byte));
    EXPECT_EQ(byte, '5');
    EXPECT_EQ(Catch([&] { layer.ReadByte(1, 0, byte); }).number, err::BadRecordNumber);
    EXPECT_EQ(Catch([&] { layer.WriteText(1, 0, "x"); }).number, err::BadRecordNumber);
}

TEST_F(PosixFileLayerIo, ReadingAtOrPastTheEndKeepsTheByte) {
    layer.Open(1, image, OpenMode::ReadOnly);
    std::uint8_t byte = 0x5A;
    EXPECT_FALSE(layer.ReadByte(1, 6, byte));
    EXPECT_FALSE(layer.ReadByte(1, 1'000'000'000'000, byte));
    EXPECT_EQ(byte, 0x5A);
}

TEST_F(PosixFileLayerIo, WritesEachCharacterAsOneByteInPlace) {
    layer.Open(1, image, OpenMode::ReadWrite);
    layer.WriteText(1, 2, std::string_view("A\0\xFF", 3));
    layer.WriteText(1, 4, "YZ"); // ends exactly at the end of the file
    layer.Close(1);
    EXPECT_EQ(TempDir::ReadFile(image), std::string("1A\0YZ", 5));
}

TEST_F(PosixFileLayerIo, WritesPastTheEndRaiseAndWriteNothing) {
    layer.Open(1, image, OpenMode::ReadWrite);
    const Caught beyond = Catch([&] { layer.WriteText(1, 6, "X"); });
    EXPECT_EQ(beyond.number, err::BadRecordNumber);
    EXPECT_NE(beyond.description.find("past the end"), std::string::npos);
    EXPECT_EQ(Catch([&] { layer.WriteText(1, 4, "XYZ"); }).number, err::BadRecordNumber);
    EXPECT_EQ(Catch([&] { layer.WriteText(1, 1, "123456"); }).number, err::BadRecordNumber);
    layer.Close(1);
    EXPECT_EQ(TempDir::ReadFile(image), "12345");
}

TEST_F(PosixFileLayerIo, EmptyTextWritesNothing) {
    layer.Open(1, image, OpenMode::ReadWrite);
    layer.Open(2, image, OpenMode::ReadOnly);
    EXPECT_NO_THROW(layer.WriteText(1, 3, ""));
    EXPECT_NO_THROW(layer.WriteText(1, 99, ""));
    EXPECT_NO_THROW(layer.WriteText(2, 1, ""));
    layer.Close(1);
    EXPECT_EQ(TempDir::ReadFile(image), "12345");
}

TEST_F(PosixFileLayerIo, OpenNeitherTruncatesNorCreates) {
    layer.Open(1, image, OpenMode::ReadWrite);
    layer.Close(1);
    EXPECT_EQ(TempDir::ReadFile(image), "12345");

    const std::string missing = dir / "missing.bin";
    EXPECT_EQ(Catch([&] { layer.Open(1, missing, OpenMode::ReadWrite); }).number,
              err::FileNotFound);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(PosixFileLayerIo, FileNumbersRunFromOneTo511) {
    EXPECT_EQ(Catch([&] { layer.Open(0, image, OpenMode::ReadOnly); }).number,
              err::BadFileNameOrNumber);
    EXPECT_EQ(Catch([&] { layer.Open(512, image, OpenMode::ReadOnly); }).number,
              err::BadFileNameOrNumber);
    EXPECT_NO_THROW(layer.Open(511, image, OpenMode::ReadOnly));
    std::uint8_t byte = 0;
    EXPECT_EQ(Catch([&] { layer.ReadByte(2, 1, byte); }).number, err::BadFileNameOrNumber);
}

TEST_F(PosixFileLayerIo, ANumberHoldsOneFileAtATime) {
    const std::string other = dir.WriteFile("other.bin", "other");
    layer.Open(1, image, OpenMode::ReadOnly);
    EXPECT_EQ(Catch([&] { layer.Open(1, other, OpenMode::ReadOnly); }).number,
              err::FileAlreadyOpen);
    std::uint8_t byte = 0;
    ASSERT_TRUE(layer.ReadByte(1, 1, byte));
    EXPECT_EQ(byte, '1'); // still the first file

    EXPECT_EQ(Catch([&] { layer.Open(2, dir / "missing.bin", OpenMode::ReadOnly); }).number,
              err::FileNotFound);
    EXPECT_NO_THROW(layer.Open(2, other, OpenMode::ReadOnly)); // a failed open holds nothing
}

TEST_F(PosixFileLayerIo, CloseIsHarmlessOnAFreeNumber) {
    EXPECT_NO_THROW(layer.Close(7));
    layer.Open(7, image, OpenMode::ReadWrite);
    layer.Close(7);
    EXPECT_NO_THROW(layer.Close(7));
    std::uint8_t byte = 0;
    EXPECT_EQ(Catch([&] { layer.ReadByte(7, 1, byte); }).number, err::BadFileNameOrNumber);
    EXPECT_NO_THROW(layer.Open(7, image, OpenMode::ReadWrite));
}

TEST_F(PosixFileLayerIo, LengthIsTheFileSizeAndNeedsAnOpenFile) {
    layer.Open(1, image, OpenMode::ReadOnly);
    EXPECT_EQ(layer.Length(1), 5);
    layer.Close(1);
    EXPECT_EQ(Catch([&] { layer.Length(1); }).number, err::BadFileNameOrNumber);
}

TEST_F(PosixFileLayerIo, FlushNeedsAnOpenFile) {
    layer.Open(1, image, OpenMode::ReadWrite);
    layer.WriteText(1, 1, "9");
    EXPECT_NO_THROW(layer.Flush(1));
    EXPECT_EQ(TempDir::ReadFile(image), "92345");
    layer.Close(1);
    EXPECT_EQ(Catch([&] { layer.Flush(1); }).number, err::BadFileNameOrNumber);
}

} // namespace
