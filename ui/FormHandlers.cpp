#include "ui/FormHandlers.h"

#include "platform/FileError.h"
#include "platform/FileLayer.h"
#include "platform/MessageBox.h"
#include "ui/SwirlPreviewRule.h"

namespace koravel {

void FormHandlers::Form_Load() {
    view_.SetListText(ListBox::cboPatch1, "USA");
    view_.SetListText(ListBox::cboPatch2, "NTSC");
    view_.SetListText(ListBox::cboPatch3, "English");
    view_.SetListText(ListBox::cboPatch4, "default swirl");
    // Selections made from code raise no click, so the preview rule runs once here.
    UpdateSwirlPreview(view_);
}

void FormHandlers::cboPatch1_Click() {
    UpdateSwirlPreview(view_);
}

void FormHandlers::cboPatch4_Click() {
    UpdateSwirlPreview(view_);
}

void FormHandlers::ReportFileError(const char* what, int number, const std::string& description) {
    messages_.Show(std::string(what) + "\r\n\r\n" + std::to_string(number) + " - " + description,
                   MsgIcon::Critical, "Error");
}

void FormHandlers::CloseQuietly() {
    try {
        files_.Close(FlashFileNumber);
    } catch (const FileError&) {
        // Already failing: the first error is the one worth reporting.
    }
}

} // namespace koravel
