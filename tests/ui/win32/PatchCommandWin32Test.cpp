#include "tests/platform/win32/ShareHolderProcess.h"
#include "tests/ui/PatchMessages.h"

namespace koravel {
namespace {

using testing::Bytes;
using testing::HeldMessage;
using testing::MakeFlashImage;
using testing::MissingMessage;
using testing::PatchedMessage;
using testing::ShareHolderProcess;
using testing::ShownMessage;
using testing::TempFile;

using PatchCommand = testing::CommandFixture;

TEST_F(PatchCommand, DevicesAreRefusedAsMissingBeforeAnyOpen) {
    for (const char* path : {"NUL", "CON", "COM1", "nul.bin", "\\\\.\\NUL",
                             "\\\\.\\C:", "\\\\?\\GLOBALROOT\\Device\\Null"}) {
        SCOPED_TRACE(path);
        messages.shown.clear();
        Patch(path);
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{MissingMessage}));
    }
    EXPECT_EQ(files.calls[testing::FaultyFileLayer::Op::Open], 0);
}

TEST_F(PatchCommand, AHiddenImageIsPatched) {
    TempFile file(MakeFlashImage('1', '1', '0'));
    const std::wstring path = file.Path().wstring();
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    Choose("Japan", "Black swirl", "PAL", "Japanese");
    Patch(file.PathText());
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    EXPECT_EQ(file.Read()[0x1A0A2], 'X');
}

TEST_F(PatchCommand, AnImageAnotherProgramHoldsIsLeftAloneUntilItLetsGo) {
    const Bytes before = MakeFlashImage('1', '1', '0');
    TempFile file(before);
    for (const auto sharing :
         {ShareHolderProcess::Sharing::None, ShareHolderProcess::Sharing::Read}) {
        SCOPED_TRACE(sharing == ShareHolderProcess::Sharing::None ? "no sharing" : "sharing reads");
        ShareHolderProcess holder(KORAVEL_SHARE_HOLDER, file.Path(), sharing);
        ASSERT_TRUE(holder.Held()) << holder.Output();
        Choose("Europe", "default swirl", "PAL_M", "Italian (Italiano)");
        messages.shown.clear();
        Patch(file.PathText());
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{HeldMessage}));
        EXPECT_EQ(holder.Release(), 0u);
        EXPECT_EQ(file.Read(), before);
        EXPECT_TRUE(NumberOneIsFree(file.PathText()));
    }

    messages.shown.clear();
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    const Bytes after = file.Read();
    EXPECT_EQ(testing::DifferingOffsets(before, after),
              (std::vector<std::size_t>{0x1A002, 0x1A003, 0x1A004, 0x1A0A2, 0x1A0A3, 0x1A0A4}));
    EXPECT_EQ(after[0x1A0A2], '2');
    EXPECT_EQ(after[0x1A0A3], '5');
    EXPECT_EQ(after[0x1A0A4], '2');
}

TEST_F(PatchCommand, SelectShowsAnImageThatAnotherProgramIsWriting) {
    TempFile file(MakeFlashImage('Z', '4', '3'));
    ShareHolderProcess holder(KORAVEL_SHARE_HOLDER, file.Path(), ShareHolderProcess::Sharing::Read);
    ASSERT_TRUE(holder.Held()) << holder.Output();
    Select(file.PathText());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(Lists(), (std::vector<std::string>{"Europe", "Black swirl", "PAL_N",
                                                 "Spanish (Espa\xC3\xB1ol)"}));
}

} // namespace
} // namespace koravel
