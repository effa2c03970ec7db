#include "settings/SettingsFile.h"
#include "tests/support/FlashImage.h"
#include "tests/support/NativeFileLayer.h"

#include <gtest/gtest.h>

namespace koravel {
namespace {

using testing::Bytes;
using testing::MakeFlashImage;
using testing::SettingOffsets;
using testing::TempFile;

constexpr int N = 1;

class SettingsFileTest : public ::testing::Test {
  protected:
    SettingsBlock ReadFrom(const TempFile& file) {
        files.Open(N, file.PathText(), OpenMode::ReadOnly);
        const SettingsBlock block = ReadSettingsBlock(files, N);
        files.Close(N);
        return block;
    }
    void WriteTo(const TempFile& file, const SettingsBlock& block) {
        files.Open(N, file.PathText(), OpenMode::ReadWrite);
        WriteSettingsBlock(files, N, block);
        files.Close(N);
    }
    testing::NativeFileLayer files;
};

TEST_F(SettingsFileTest, ReadsThePrimaryCopyOnly) {
    TempFile file(testing::WithDifferentMirror(MakeFlashImage('Z', '3', '1'), '0', '0', '0'));
    const SettingsBlock block = ReadFrom(file);
    EXPECT_EQ(block.regionCode, 'Z');
    EXPECT_EQ(block.languageCode, '3');
    EXPECT_EQ(block.broadcastCode, '1');
}

TEST_F(SettingsFileTest, BytesPastTheEndOfAShortImageReadAsZero) {
    Bytes shortImage(MakeFlashImage('2', '4', '3'));
    shortImage.resize(0x1A004); // ends just before the broadcast byte
    TempFile file(shortImage);
    const SettingsBlock block = ReadFrom(file);
    EXPECT_EQ(block.regionCode, '2');
    EXPECT_EQ(block.languageCode, '4');
    EXPECT_EQ(block.broadcastCode, 0x00);

    TempFile empty(Bytes{});
    EXPECT_EQ(ReadFrom(empty), (SettingsBlock{0x00, 0x00, 0x00}));
}

TEST_F(SettingsFileTest, WritesBothCopiesAndNothingElse) {
    const Bytes before = testing::WithErasedMirror(MakeFlashImage('1', '1', '0'));
    TempFile file(before);
    WriteTo(file, SettingsBlock{'X', '5', '3'});
    const Bytes after = file.Read();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t copy : {0u, 3u}) {
        EXPECT_EQ(after[SettingOffsets[copy + 0]], 'X');
        EXPECT_EQ(after[SettingOffsets[copy + 1]], '5');
        EXPECT_EQ(after[SettingOffsets[copy + 2]], '3');
    }
    EXPECT_EQ(testing::OffsetsChangedBesidesSettings(before, after), std::vector<std::size_t>{});
}

TEST_F(SettingsFileTest, AbsentFieldsAreSkippedInBothCopies) {
    const Bytes before = MakeFlashImage('1', '1', '0');
    TempFile file(before);

    WriteTo(file, SettingsBlock{});
    EXPECT_EQ(file.Read(), before);

    WriteTo(file, SettingsBlock{std::nullopt, '2', '1'});
    const Bytes after = file.Read();
    EXPECT_EQ(after[SettingOffsets[0]], '1');
    EXPECT_EQ(after[SettingOffsets[3]], '1');
    EXPECT_EQ(after[SettingOffsets[1]], '2');
    EXPECT_EQ(after[SettingOffsets[4]], '2');
    EXPECT_EQ(after[SettingOffsets[2]], '1');
    EXPECT_EQ(after[SettingOffsets[5]], '1');
}

TEST_F(SettingsFileTest, DifferingCopiesAreTheSameAfterAFullWrite) {
    TempFile file(testing::WithDifferentMirror(MakeFlashImage('0', '0', '0'), '2', '3', '1'));
    WriteTo(file, SettingsBlock{'Y', '1', '2'});
    const Bytes after = file.Read();
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(after[SettingOffsets[i]], after[SettingOffsets[i + 3]]);
    }
    EXPECT_EQ(ReadFrom(file), (SettingsBlock{'Y', '1', '2'}));
}

TEST_F(SettingsFileTest, TheConsolesNameMustFollowThePrimaryCopysCodesInFull) {
    const auto hasMarker = [this](const Bytes& image) {
        TempFile file(image);
        files.Open(N, file.PathText(), OpenMode::ReadOnly);
        const bool found = HasFlashMarker(files, N);
        files.Close(N);
        return found;
    };
    EXPECT_TRUE(hasMarker(MakeFlashImage('Q', '9', '7')));
    Bytes cut = MakeFlashImage();
    cut.resize(0x1A00D); // ends before the final t
    EXPECT_FALSE(hasMarker(cut));
    cut.resize(0x1A00E);
    cut[0x1A00D] = 't';
    EXPECT_TRUE(hasMarker(cut));
    Bytes lowerCase = MakeFlashImage();
    lowerCase[0x1A005] = 'd';
    EXPECT_FALSE(hasMarker(lowerCase));
    EXPECT_FALSE(hasMarker(Bytes{}));
}

TEST_F(SettingsFileTest, TheSixCodeBytesAreReadInWriteOrderOrNotAtAll) {
    TempFile file(testing::WithDifferentMirror(MakeFlashImage('Z', '3', '1'), '0', '5', '2'));
    files.Open(N, file.PathText(), OpenMode::ReadOnly);
    EXPECT_EQ(ReadCodeBytes(files, N), (std::array<std::uint8_t, 6>{'Z', '3', '1', '0', '5', '2'}));
    files.Close(N);

    Bytes noMirror = MakeFlashImage();
    noMirror.resize(0x1A0A4); // ends before the mirror's broadcast code
    TempFile shortFile(noMirror);
    files.Open(N, shortFile.PathText(), OpenMode::ReadOnly);
    try {
        ReadCodeBytes(files, N);
        ADD_FAILURE() << "a code past the end was read";
    } catch (const FileError& e) {
        EXPECT_EQ(e.Number(), 63);
    }
    files.Close(N);

    EXPECT_EQ(CodesInWriteOrder(SettingsBlock{'X', std::nullopt, '2'}),
              (CodesByOffset{'X', std::nullopt, '2', 'X', std::nullopt, '2'}));
}

} // namespace
} // namespace koravel
