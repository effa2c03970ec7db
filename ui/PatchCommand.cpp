#include "platform/FileError.h"
#include "platform/FileLayer.h"
#include "platform/MessageBox.h"
#include "settings/CodeTables.h"
#include "settings/Layout.h"
#include "settings/SettingsFile.h"
#include "ui/FormHandlers.h"

#include <exception>

namespace koravel {
// Patch: write the settings that the lists show into both copies of the image
// that the path box names, in place, touching no other byte.
void FormHandlers::cmdPatch_Click() {
    try {
        const std::string path = view_.FlashText();
        if (path.empty()) {
            messages_.Show("Don't forget to select the flash first...", MsgIcon::Critical, "Error");
            return;
        }
        // Folders, devices and FIFOs count as missing, so they are never opened.
        if (!files_.Exists(path)) {
            messages_.Show("Make sure the flash you selected actually exists i.e. it doesn't.",
                           MsgIcon::Critical, "Error");
            return;
        }

        files_.Open(FlashFileNumber, path, OpenMode::ReadWrite);

        SettingsBlock block;
        block.regionCode =
            EncodeRegion(view_.ListText(ListBox::cboPatch1), view_.ListText(ListBox::cboPatch4));
        block.broadcastCode = EncodeBroadcast(view_.ListText(ListBox::cboPatch2));
        block.languageCode = EncodeLanguage(view_.ListText(ListBox::cboPatch3));

        // A file too short for both copies would end half patched, or grown with
        // bytes that were never there: refuse it before the first write.
        const std::int64_t length = files_.Length(FlashFileNumber);
        if (length < layout::MirrorEnd) {
            files_.Close(FlashFileNumber);
            messages_.Show("The file you selected is too small to be a flash image: it has " +
                               std::to_string(length) +
                               " bytes, and a flash image needs at least " +
                               std::to_string(layout::MirrorEnd) + ". Nothing was written to it.",
                           MsgIcon::Critical, "Error");
            return;
        }

        WriteSettingsBlock(files_, FlashFileNumber, block);
        // Success is only reported once the bytes are on the storage.
        files_.Flush(FlashFileNumber);
        files_.Close(FlashFileNumber);
        messages_.Show("Your flash file was patched successfully.", MsgIcon::Information,
                       "Information");
    } catch (const FileError& e) {
        if (e.Number() == err::PathFileAccess) {
            messages_.Show("Cannot patch the flash file because it's opened in another program.",
                           MsgIcon::Critical, "Error");
        } else {
            ReportFileError("Cannot patch the flash file.", e.Number(), e.Description());
        }
        CloseQuietly();
    } catch (const std::exception& e) {
        ReportFileError("Cannot patch the flash file.", err::InternalError, e.what());
        CloseQuietly();
    }
}

} // namespace koravel
