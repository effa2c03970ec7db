#include "tests/ui/PatchMessages.h"

#include <random>

namespace koravel {
namespace {

using testing::Bytes;
using testing::FaultyFileLayer;
using testing::MakeFlashImage;
using testing::PatchedMessage;
using testing::SettingOffsets;
using testing::ShownMessage;
using testing::EmptyPathMessage;
using testing::HeldMessage;
using testing::MissingMessage;
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

TEST_F(PatchCommand, AFailureAnywhereIsReportedAndNeverAsSuccess) {
    struct Fault {
        FaultyFileLayer::Op op;
        int n;
    };
    std::vector<Fault> faults;
    for (int n = 1; n <= 6; ++n) {
        faults.push_back({FaultyFileLayer::Op::Write, n});
    }
    faults.push_back({FaultyFileLayer::Op::Open, 1});
    faults.push_back({FaultyFileLayer::Op::Length, 1});
    faults.push_back({FaultyFileLayer::Op::Flush, 1});
    faults.push_back({FaultyFileLayer::Op::Close, 1});
    for (const Fault& fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault.op) * 10 + fault.n);
        testing::NativeFileLayer real;
        FaultyFileLayer faulty(real);
        faulty.FailAt(fault.op, fault.n, FileError(57, "Device I/O error"));
        testing::RecordingMessageBox shown;
        FormHandlers patch(view, faulty, shown, dialogs);
        const Bytes before = MakeFlashImage('0', '0', '0');
        TempFile file(before);
        view.SetFlashText(file.PathText());
        patch.cmdPatch_Click();

        ASSERT_EQ(shown.shown.size(), 1u);
        EXPECT_EQ(shown.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(shown.shown[0].title, "Error");
        EXPECT_NE(shown.shown[0].prompt.find("57 - Device I/O error"), std::string::npos);
        // Only the writes made before the failure are in the file.
        const int written =
            fault.op == FaultyFileLayer::Op::Write ? fault.n - 1
            : fault.op == FaultyFileLayer::Op::Open || fault.op == FaultyFileLayer::Op::Length ? 0
                                                                                               : 6;
        // Positions from 1, in the order primary region, language, broadcast, then mirror.
        const std::vector<std::int64_t> order{0x1A003, 0x1A004, 0x1A005, 0x1A0A3, 0x1A0A4, 0x1A0A5};
        EXPECT_EQ(faulty.writtenPositions,
                  std::vector<std::int64_t>(order.begin(), order.begin() + written));
        EXPECT_TRUE(testing::OffsetsChangedBesidesSettings(before, file.Read()).empty());
        EXPECT_TRUE(NumberOneIsFree(file.PathText()));
    }
}

TEST_F(PatchCommand, AccessRefusedOnWriteGetsTheHeldMessage) {
    TempFile file(MakeFlashImage());
    files.FailAt(FaultyFileLayer::Op::Write, 4,
                 FileError(75, "Path/File access error: permission denied"));
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{HeldMessage}));
    EXPECT_TRUE(NumberOneIsFree(file.PathText()));
}

} // namespace
} // namespace koravel
