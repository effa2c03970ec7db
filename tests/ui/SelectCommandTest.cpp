#include "tests/support/CommandFixture.h"

#include <filesystem>

namespace koravel {
namespace {

using testing::Bytes;
using testing::MakeFlashImage;
using testing::ShownMessage;
using testing::TempFile;

using SelectCommand = testing::CommandFixture;

ShownMessage Warning(const std::string& text) {
    return {text, MsgIcon::Warning, "Error"};
}

TEST_F(SelectCommand, LoadDefaultsShowUsaNtscEnglishAndTheRedSwirl) {
    EXPECT_EQ(Lists(), (std::vector<std::string>{"USA", "default swirl", "NTSC", "English"}));
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchRed);
    EXPECT_TRUE(view.flash.empty());
}

TEST_F(SelectCommand, AsksTheDialogForAnExistingBinOrAnyFile) {
    handlers.cmdFlash_Click(); // cancelled
    ASSERT_EQ(dialog.titles.size(), 1u);
    EXPECT_EQ(dialog.titles[0], "Open");
    EXPECT_EQ(dialog.flagValues[0], 0x1000u);
    const std::vector<FileFilter> expected{{"Dreamcast flash (*.bin)", "*.bin"},
                                           {"All files (*.*)", "*.*"}};
    EXPECT_EQ(dialog.filterLists[0], expected);
}

TEST_F(SelectCommand, ShowsTheSettingsOfAnImage) {
    TempFile usa(MakeFlashImage('1', '1', '0'));
    Choose("Japan", "Black swirl", "PAL", "German (Deutsch)");
    Select(usa.PathText());
    EXPECT_EQ(view.flash, usa.PathText());
    EXPECT_EQ(Lists(), (std::vector<std::string>{"USA", "default swirl", "NTSC", "English"}));
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchRed);
    EXPECT_TRUE(messages.shown.empty());

    TempFile europeBlack(MakeFlashImage('Z', '4', '1'));
    Select(europeBlack.PathText());
    EXPECT_EQ(Lists(), (std::vector<std::string>{"Europe", "Black swirl", "PAL",
                                                 "Spanish (Espa\xC3\xB1ol)"}));
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlack);

    TempFile europe(MakeFlashImage('2', '3', '3'));
    Select(europe.PathText());
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlue);
    EXPECT_TRUE(NumberOneIsFree(europe.PathText()));
}

TEST_F(SelectCommand, CancelChangesNothingAndOpensNothing) {
    view.flash = "/some/earlier.bin";
    handlers.cmdFlash_Click();
    EXPECT_EQ(view.flash, "/some/earlier.bin");
    EXPECT_EQ(Lists(), (std::vector<std::string>{"USA", "default swirl", "NTSC", "English"}));
    EXPECT_EQ(files.calls[testing::FaultyFileLayer::Op::Open], 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SelectCommand, ErasedImageWarnsRegionBroadcastLanguageInOrder) {
    TempFile erased(Bytes(testing::FlashSize, 0xFF));
    Select(erased.PathText());
    const std::vector<ShownMessage> expected{
        Warning("The region hex value 'FF' isn't known by Koravel."),
        Warning("The broadcast hex value 'FF' isn't known by Koravel."),
        Warning("The language hex value 'FF' isn't known by Koravel.")};
    EXPECT_EQ(messages.shown, expected);
    EXPECT_EQ(view.flash, erased.PathText());
    EXPECT_EQ(Lists(), (std::vector<std::string>{"USA", "default swirl", "NTSC", "English"}));
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchRed);
    EXPECT_TRUE(NumberOneIsFree(erased.PathText()));
}

TEST_F(SelectCommand, OneUnknownCodeDoesNotStopTheOthers) {
    Bytes image = MakeFlashImage('0', '5', '0');
    image[0x1A002] = 0x00;
    image[0x1A004] = 0x3A;
    TempFile file(image);
    Select(file.PathText());
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{
                  Warning("The region hex value '0' isn't known by Koravel."),
                  Warning("The broadcast hex value '3A' isn't known by Koravel.")}));
    EXPECT_EQ(view.ListText(ListBox::cboPatch3), "Italian (Italiano)");

    messages.shown.clear();
    TempFile badBroadcast(MakeFlashImage('X', '2', '7'));
    Select(badBroadcast.PathText());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt, "The broadcast hex value '37' isn't known by Koravel.");
    EXPECT_EQ(Lists(),
              (std::vector<std::string>{"Japan", "Black swirl", "NTSC", "German (Deutsch)"}));
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlack);
}

TEST_F(SelectCommand, UnknownRegionKeepsTheEarlierListsAndPicture) {
    TempFile first(MakeFlashImage('X', '0', '0'));
    Select(first.PathText());
    TempFile second(MakeFlashImage('3', '1', '1'));
    Select(second.PathText());
    EXPECT_EQ(view.ListText(ListBox::cboPatch1), "Japan");
    EXPECT_EQ(view.ListText(ListBox::cboPatch4), "Black swirl");
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlack);
    EXPECT_EQ(view.ListText(ListBox::cboPatch2), "PAL");
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{
                                  Warning("The region hex value '33' isn't known by Koravel.")}));
}

TEST_F(SelectCommand, ShortImageReadsMissingBytesAsZero) {
    Bytes image = MakeFlashImage('2', '1', '1');
    image.resize(0x1A003); // holds the region byte only
    TempFile file(image);
    Select(file.PathText());
    EXPECT_EQ(view.ListText(ListBox::cboPatch1), "Europe");
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{
                                  Warning("The broadcast hex value '0' isn't known by Koravel."),
                                  Warning("The language hex value '0' isn't known by Koravel.")}));
}

TEST_F(SelectCommand, LeavesTheImageAndItsTimesUntouched) {
    namespace fs = std::filesystem;
    TempFile file(MakeFlashImage('Y', '3', '2'));
    // A read-only image can still be shown.
    fs::permissions(file.Path(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto before = fs::last_write_time(file.Path());
    const Bytes bytes = file.Read();
    Select(file.PathText());
    const auto after = fs::last_write_time(file.Path());
    fs::permissions(file.Path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(file.Read(), bytes);
    EXPECT_EQ(after, before);
    EXPECT_EQ(files.calls[testing::FaultyFileLayer::Op::Write], 0);
    EXPECT_EQ(view.ListText(ListBox::cboPatch1), "USA");
}

TEST_F(SelectCommand, AnImageThatCannotBeOpenedOrReadIsReportedAndClosed) {
    TempFile file(MakeFlashImage());
    const std::string gone = testing::Utf8(file.Folder() / "removed-after-the-dialog.bin");
    Select(gone);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_NE(messages.shown[0].prompt.find("53 - "), std::string::npos)
        << messages.shown[0].prompt;
    EXPECT_EQ(view.flash, gone);

    messages.shown.clear();
    files.FailAt(testing::FaultyFileLayer::Op::Read, 2, FileError(57, "Device I/O error"));
    Select(file.PathText());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_NE(messages.shown[0].prompt.find("57 - Device I/O error"), std::string::npos);
    EXPECT_EQ(view.ListText(ListBox::cboPatch1), "USA");
    EXPECT_TRUE(NumberOneIsFree(file.PathText()));
}

TEST_F(SelectCommand, ADroppedFileIsTakenAsAPickedOneWithoutTheDialog) {
    TempFile europe(MakeFlashImage('2', '3', '3'));
    handlers.Form_OLEDragDrop(europe.PathText());
    EXPECT_TRUE(dialog.titles.empty());
    EXPECT_EQ(view.flash, europe.PathText());
    EXPECT_EQ(view.ListText(ListBox::cboPatch1), "Europe");
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlue);
    EXPECT_TRUE(NumberOneIsFree(europe.PathText()));

    const std::string gone = testing::Utf8(europe.Folder() / "moved-during-the-drag.bin");
    handlers.Form_OLEDragDrop(gone);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt.rfind("Cannot read the flash file.", 0), 0u);
    EXPECT_EQ(view.flash, gone);

    handlers.Form_OLEDragDrop("");
    EXPECT_EQ(view.flash, gone);
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(SelectCommand, ADialogErrorIsReportedOnceAndChangesNothing) {
    dialog.error = FileError(48, "Error in loading DLL");
    handlers.cmdFlash_Click();
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{
                                  {"ShowOpen - modCommonDialog\r\n\r\n48 - Error in loading DLL",
                                   MsgIcon::Critical, "Error"}}));
    EXPECT_TRUE(view.flash.empty());
    EXPECT_EQ(files.calls[testing::FaultyFileLayer::Op::Open], 0);
}

} // namespace
} // namespace koravel
