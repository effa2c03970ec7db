#include "platform/FileError.h"
#include "platform/FileLayer.h"
#include "platform/MessageBox.h"
#include "platform/modCommonDialog.h"
#include "settings/CodeTables.h"
#include "settings/SettingsFile.h"
#include "ui/FormHandlers.h"
#include "ui/SwirlPreviewRule.h"

#include <algorithm>

namespace koravel {

std::string FormHandlers::SelectFilter() {
    std::string filter = "Dreamcast flash (*.bin)|*.bin|All files (*.*)|*.*";
    std::replace(filter.begin(), filter.end(), '|', '\0');
    return filter;
}

// Select: pick an image and show the settings of its primary copy.
void FormHandlers::cmdFlash_Click() {
    const std::uint32_t flags = OFN_FILEMUSTEXIST;

    const std::string path = dialogs_.ShowOpen(SelectFilter(), flags);
    if (path.empty()) {
        return;
    }
    ShowFlashFile(path);
}

// A file dropped on the window is taken exactly as Select takes a picked one. The
// window offers a drop only for one file, so an empty path is nothing dropped.
void FormHandlers::Form_OLEDragDrop(const std::string& path) {
    if (!path.empty()) {
        ShowFlashFile(path);
    }
}

// Shows the path and the settings of the image's primary copy. The image is
// opened for reading only, so showing it can never change it.
void FormHandlers::ShowFlashFile(const std::string& path) {
    view_.SetFlashText(path);

    SettingsBlock block;
    try {
        files_.Open(FlashFileNumber, path, OpenMode::ReadOnly);
        block = ReadSettingsBlock(files_, FlashFileNumber);
    } catch (const FileError& e) {
        CloseQuietly();
        ReportFileError("Cannot read the flash file.", e.Number(), e.Description());
        return;
    }

    ShowDecodedSettings(block);

    try {
        files_.Close(FlashFileNumber);
    } catch (const FileError& e) {
        ReportFileError("Cannot read the flash file.", e.Number(), e.Description());
    }
}

// Sets the lists and the preview from each recognised code, in the order region,
// broadcast, language, and warns about each code that no table holds.
void FormHandlers::ShowDecodedSettings(const SettingsBlock& block) {
    const std::uint8_t regionCode = block.regionCode.value_or(0);
    if (const auto region = DecodeRegion(regionCode)) {
        view_.SetListText(ListBox::cboPatch1, region->regionText);
        view_.SetListText(ListBox::cboPatch4, region->swirlText);
        ShowSwirlPreview(view_, region->preview);
    } else {
        messages_.Show(CodeWarningText(SettingsField::Region, regionCode), MsgIcon::Warning,
                       "Error");
    }

    ShowOrWarn(ListBox::cboPatch2, DecodeBroadcast(block.broadcastCode.value_or(0)),
               SettingsField::Broadcast, block.broadcastCode.value_or(0));
    ShowOrWarn(ListBox::cboPatch3, DecodeLanguage(block.languageCode.value_or(0)),
               SettingsField::Language, block.languageCode.value_or(0));
}

void FormHandlers::ShowOrWarn(ListBox list, const std::optional<std::string>& text,
                              SettingsField field, std::uint8_t code) {
    if (text) {
        view_.SetListText(list, *text);
    } else {
        messages_.Show(CodeWarningText(field, code), MsgIcon::Warning, "Error");
    }
}

} // namespace koravel
