#include "platform/web/WebOpenFileDialog.h"

#include "platform/web/BrowserCalls.h"
#include "platform/web/BrowserPickedFile.h"
#include "platform/web/PickerTypes.h"

#include <emscripten.h>

// `types` and `accept` as koravelOpenPicker (OpenPicker.js, in the page's own
// script) takes them. The picker the page opened in the click on Select is
// taken instead of opening another.
// clang-format off
EM_ASYNC_JS(int, koravel_pick_file, (const char* typesText, const char* acceptText), {
    try {
        const early = Module.koravelEarlyPick;
        Module.koravelEarlyPick = null;
        const picked = await (early || koravelOpenPicker(UTF8ToString(typesText), UTF8ToString(acceptText)));
        if (!picked) {
            return 0;
        }
        Module.koravelPicked = picked;
        return 1;
    } catch (e) {
        return koravelFail(e, "pick");
    }
});
// clang-format on

namespace koravel {

std::optional<std::string> WebOpenFileDialog::Run(const std::string& /*title*/,
                                                  const std::vector<FileFilter>& filters,
                                                  std::uint32_t /*flags*/) {
    // A browser's picker has its own title, and only ever picks existing files.
    const int picked =
        koravel_pick_file(PickerTypesText(filters).c_str(), PickerAccept(filters).c_str());
    browser::ThrowIfFailed(picked);
    if (picked == 0) {
        return std::nullopt;
    }
    return PickedFileName();
}

} // namespace koravel
