#include "tests/ui/PatchMessages.h"

#include <algorithm>
#include <random>

namespace koravel {
namespace {

using testing::Bytes;
using testing::EmptyPathMessage;
using testing::FaultyFileLayer;
using testing::MakeFlashImage;
using testing::MissingMessage;
using testing::PatchedMessage;
using testing::SettingOffsets;
using testing::ShownMessage;
using testing::TempFile;

using PatchCommand = testing::CommandFixture;

TEST_F(PatchCommand, EmptyBlankAndMissingPathsAndFoldersAreRefused) {
    Patch("");
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{EmptyPathMessage}));

    TempFile file(MakeFlashImage());
    for (const std::string& path : {std::string("   "), testing::Utf8(file.Folder() / "none.bin"),
                                    testing::Utf8(file.Folder())}) {
        SCOPED_TRACE(path);
        messages.shown.clear();
        Patch(path);
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{MissingMessage}));
    }
    EXPECT_EQ(files.calls[FaultyFileLayer::Op::Open], 0);
}

TEST_F(PatchCommand, WritesTheListCodesIntoBothCopies) {
    struct Case {
        const char* region;
        const char* swirl;
        char code;
    };
    for (const Case& c : {Case{"Japan", "default swirl", '0'}, Case{"Europe", "Black swirl", 'Z'},
                          Case{"USA", "Black swirl", 'Y'}, Case{"Japan", "Black swirl", 'X'}}) {
        SCOPED_TRACE(std::string(c.region) + " " + c.swirl);
        const Bytes before = testing::WithErasedMirror(MakeFlashImage('2', '4', '1'));
        TempFile file(before);
        messages.shown.clear();
        Choose(c.region, c.swirl, "NTSC", "English");
        Patch(file.PathText());
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
        const Bytes after = file.Read();
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t copy : {0u, 3u}) {
            EXPECT_EQ(after[SettingOffsets[copy]], c.code);
            EXPECT_EQ(after[SettingOffsets[copy + 1]], '1');
            EXPECT_EQ(after[SettingOffsets[copy + 2]], '0');
        }
        EXPECT_TRUE(testing::OffsetsChangedBesidesSettings(before, after).empty());
        EXPECT_TRUE(NumberOneIsFree(file.PathText()));
    }
}

// Where the file layer cannot see other programs (a sandbox's file system),
// the patch is made and the message says what could not be checked, and why;
// a failure there still says only that nothing changed.
TEST_F(PatchCommand, APatchWhereOtherProgramsCannotBeSeenSaysSo) {
    const Bytes before = MakeFlashImage('1', '1', '0');
    TempFile file(before);
    files.unseen = "the reason the system gives";
    Choose("Europe", "Black swirl", "NTSC", "English");
    Patch(file.PathText());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt,
              "Your flash file was patched successfully.\r\n\r\nKoravel could not check whether "
              "another program has it open: the reason the system gives. If an emulator or "
              "another program has it open, quit that program, then select the file again to "
              "check its settings.");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(messages.shown[0].title, "Information"); // a success is not called an error
    EXPECT_EQ(file.Read()[SettingOffsets[0]], 'Z');
    EXPECT_EQ(file.Read()[SettingOffsets[3]], 'Z');
    EXPECT_TRUE(NumberOneIsFree(file.PathText()));

    const Bytes patched = file.Read();
    messages.shown.clear();
    Choose("Japan", "default swirl", "NTSC", "English");
    files.Reset();
    files.FailAt(FaultyFileLayer::Op::Write, 1, FileError(err::DeviceIO, "Device I/O error"));
    Patch(file.PathText());
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{testing::UnchangedMessage("57 - Device I/O error")}));
    EXPECT_EQ(file.Read(), patched);
}

TEST_F(PatchCommand, ListTextsOutsideTheTablesWriteNothingForThatField) {
    const Bytes before = MakeFlashImage('2', '4', '1');
    TempFile file(before);
    view.selected[ListBox::cboPatch1] = -1; // a region text that no code stands for
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    const Bytes after = file.Read();
    EXPECT_EQ(after[SettingOffsets[0]], '2');
    EXPECT_EQ(after[SettingOffsets[3]], '2');
    EXPECT_EQ(after[SettingOffsets[1]], '1');
    EXPECT_EQ(after[SettingOffsets[5]], '0');
}

TEST_F(PatchCommand, AFileTooShortForBothCopiesIsRefusedBeforeAnyWrite) {
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1000}, std::size_t{106501}, std::size_t{106660}}) {
        SCOPED_TRACE(size);
        Bytes before = MakeFlashImage();
        before.resize(size);
        TempFile file(before);
        messages.shown.clear();
        Patch(file.PathText());
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(messages.shown[0].title, "Error");
        EXPECT_NE(messages.shown[0].prompt.find("too small"), std::string::npos);
        EXPECT_NE(messages.shown[0].prompt.find("106661"), std::string::npos);
        EXPECT_EQ(file.Read(), before);
        EXPECT_TRUE(NumberOneIsFree(file.PathText()));
    }
    EXPECT_EQ(files.calls[FaultyFileLayer::Op::Write], 0);

    Bytes exact = MakeFlashImage('0', '0', '0');
    exact.resize(106661);
    TempFile file(exact);
    messages.shown.clear();
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    EXPECT_EQ(file.Read().size(), 106661u);
    EXPECT_EQ(file.Read()[0x1A0A4], '0');
}

TEST_F(PatchCommand, OnlyAFileWithTheConsolesNameAfterTheCodesIsPatched) {
    std::mt19937 random(20261207);
    Bytes bios(2 * 1024 * 1024); // a BIOS dump: 2 MiB, no settings anywhere
    std::generate(bios.begin(), bios.end(), [&] { return static_cast<std::uint8_t>(random()); });
    Bytes nameInMirrorOnly = MakeFlashImage();
    std::fill_n(nameInMirrorOnly.begin() + 0x1A005, 9, 0xFF);
    Bytes misspelt = MakeFlashImage();
    misspelt[0x1A00D] = 'T'; // "DreamcasT"
    Bytes shifted = MakeFlashImage();
    shifted[0x1A005] = ' '; // the name one byte later
    std::copy_n("Dreamcast", 9, shifted.begin() + 0x1A006);

    for (const Bytes& before :
         {bios, Bytes(testing::FlashSize, 0xFF), nameInMirrorOnly, misspelt, shifted}) {
        SCOPED_TRACE(before.size());
        TempFile file(before);
        messages.shown.clear();
        Patch(file.PathText());
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{testing::NotAnImageMessage}));
        EXPECT_EQ(file.Read(), before);
        EXPECT_TRUE(NumberOneIsFree(file.PathText()));
    }
    EXPECT_EQ(files.calls[FaultyFileLayer::Op::Write], 0);

    // Codes that no table holds do not make a file less of a flash image.
    const Bytes unknownCodes = MakeFlashImage('Q', '9', '7');
    TempFile file(unknownCodes);
    messages.shown.clear();
    Choose("Europe", "Black swirl", "PAL_N", "Japanese");
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    const Bytes after = file.Read();
    EXPECT_EQ(testing::DifferingOffsets(unknownCodes, after),
              (std::vector<std::size_t>{0x1A002, 0x1A003, 0x1A004, 0x1A0A2, 0x1A0A3, 0x1A0A4}));
    EXPECT_EQ(after[0x1A0A2], 'Z');
    EXPECT_EQ(after[0x1A0A3], '0');
    EXPECT_EQ(after[0x1A0A4], '3');
}

TEST_F(PatchCommand, ReadsTheNameAndTheSixBytesItOverwrites) {
    TempFile file(MakeFlashImage());
    Patch(file.PathText());
    ASSERT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    std::vector<std::int64_t> positions;
    for (std::int64_t offset = 0x1A005; offset < 0x1A00E; ++offset) {
        positions.push_back(offset + 1);
    }
    for (std::size_t offset : SettingOffsets) {
        positions.push_back(static_cast<std::int64_t>(offset) + 1);
    }
    EXPECT_EQ(files.readPositions, positions);
    EXPECT_EQ(files.calls[FaultyFileLayer::Op::Write], 6);
    EXPECT_EQ(files.calls[FaultyFileLayer::Op::Flush], 1);
    EXPECT_EQ(files.calls[FaultyFileLayer::Op::Close], 1);
}

} // namespace
} // namespace koravel
