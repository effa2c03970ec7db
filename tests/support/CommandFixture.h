#pragma once

#include "platform/modCommonDialog.h"
#include "tests/support/Fakes.h"
#include "tests/support/FlashImage.h"
#include "tests/support/NativeFileLayer.h"
#include "ui/FormHandlers.h"

#include <gtest/gtest.h>

namespace koravel::testing {

// The window's handlers on a window without a toolkit, a scripted dialog and
// recorded message boxes, over the real file layer (which can be made to fail).
class CommandFixture : public ::testing::Test {
  protected:
    void SetUp() override { handlers.Form_Load(); }

    // Select, with the dialog answering `path`.
    void Select(const std::string& path) {
        dialog.answers.push_back(path);
        handlers.cmdFlash_Click();
    }
    void Patch(const std::string& path) {
        view.SetFlashText(path);
        handlers.cmdPatch_Click();
    }
    void Choose(const std::string& region, const std::string& swirl, const std::string& broadcast,
                const std::string& language) {
        view.SetListText(ListBox::cboPatch1, region);
        view.SetListText(ListBox::cboPatch4, swirl);
        view.SetListText(ListBox::cboPatch2, broadcast);
        view.SetListText(ListBox::cboPatch3, language);
    }
    std::vector<std::string> Lists() const {
        return {view.ListText(ListBox::cboPatch1), view.ListText(ListBox::cboPatch4),
                view.ListText(ListBox::cboPatch2), view.ListText(ListBox::cboPatch3)};
    }
    // True when file number 1 holds nothing, so the command closed its image.
    bool NumberOneIsFree(const std::string& anyFile) {
        try {
            realFiles.Open(FormHandlers::FlashFileNumber, anyFile, OpenMode::ReadOnly);
        } catch (const FileError&) {
            return false;
        }
        realFiles.Close(FormHandlers::FlashFileNumber);
        return true;
    }

    NativeFileLayer realFiles;
    FaultyFileLayer files{realFiles};
    FakeFormView view;
    RecordingMessageBox messages;
    ScriptedOpenDialog dialog;
    modCommonDialog dialogs{dialog, messages};
    FormHandlers handlers{view, files, messages, dialogs};
};

inline const ShownMessage PatchedMessage{"Your flash file was patched successfully.",
                                         MsgIcon::Information, "Information"};

} // namespace koravel::testing
