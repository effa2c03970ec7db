#pragma once

#include "settings/SwirlPreview.h"
#include "ui/FormView.h"

#include <optional>
#include <string>

namespace koravel {

// The preview that the swirl and region texts call for, or nothing when the
// texts call for no change. The swirl text is looked at first.
std::optional<SwirlPreview> PreviewFor(const std::string& swirlText, const std::string& regionText);

// Sets all three pictures, red, blue, black in that order, each explicitly.
void ShowSwirlPreview(FormView& view, SwirlPreview state);

// Shows the preview that the region and swirl lists call for, if any.
void UpdateSwirlPreview(FormView& view);

} // namespace koravel
