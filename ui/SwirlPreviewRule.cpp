#include "ui/SwirlPreviewRule.h"

#include "settings/CodeTables.h"

namespace koravel {

std::optional<SwirlPreview> PreviewFor(const std::string& swirlText,
                                       const std::string& regionText) {
    if (swirlText == SwirlTexts()[0]) {
        // Default swirl: the region's own colour, as its code decodes.
        if (const auto code = EncodeRegion(regionText, swirlText)) {
            return DecodeRegion(*code)->preview;
        }
        return std::nullopt;
    }
    if (swirlText == SwirlTexts()[1]) { // black swirl, whatever the region
        return SwirlPreview::Black;
    }
    return std::nullopt;
}

void ShowSwirlPreview(FormView& view, SwirlPreview state) {
    view.SetPictureVisible(PictureBox::picPatchRed, state == SwirlPreview::Red);
    view.SetPictureVisible(PictureBox::picPatchBlue, state == SwirlPreview::Blue);
    view.SetPictureVisible(PictureBox::picPatchBlack, state == SwirlPreview::Black);
}

void UpdateSwirlPreview(FormView& view) {
    const std::string swirl = view.ListText(ListBox::cboPatch4);
    const std::string region =
        swirl == SwirlTexts()[0] ? view.ListText(ListBox::cboPatch1) : std::string();
    if (const auto state = PreviewFor(swirl, region)) {
        ShowSwirlPreview(view, *state);
    }
}

} // namespace koravel
