#pragma once

#include "settings/CodeTables.h"
#include "settings/SettingsBlock.h"
#include "ui/FormView.h"

#include <cstdint>
#include <optional>
#include <string>

namespace koravel {

class FileError;
class FileLayer;
class MessageBox;
class modCommonDialog;

// The main window's handlers: everything the window does, apart from the toolkit
// that draws it. A front end creates its controls, implements FormView, and
// calls these from its events.
class FormHandlers {
  public:
    // Both commands own the image under this number from open to close.
    static constexpr int FlashFileNumber = 1;

    FormHandlers(FormView& view, FileLayer& files, MessageBox& messages, modCommonDialog& dialogs)
        : view_(view), files_(files), messages_(messages), dialogs_(dialogs) {}

    void Form_Load();
    void cboPatch1_Click();
    void cboPatch4_Click();
    void cmdFlash_Click(); // Select
    // One local file dropped on the window: what Select does with a picked file.
    void Form_OLEDragDrop(const std::string& path);
    void cmdPatch_Click(); // Patch

    // The filter text Select gives the open dialog: NUL-separated description
    // and pattern pairs.
    static std::string SelectFilter();

  private:
    void ShowFlashFile(const std::string& path);
    void ShowDecodedSettings(const SettingsBlock& block);
    void ShowOrWarn(ListBox list, const std::optional<std::string>& text, SettingsField field,
                    std::uint8_t code);
    void ReportFileError(const char* what, int number, const std::string& description);
    void ReportUnchanged(const FileError& error);
    void CloseQuietly();

    FormView& view_;
    FileLayer& files_;
    MessageBox& messages_;
    modCommonDialog& dialogs_;
};

} // namespace koravel
