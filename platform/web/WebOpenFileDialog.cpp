#include "platform/web/WebOpenFileDialog.h"

#include "platform/web/BrowserCalls.h"
#include "platform/web/BrowserPickedFile.h"
#include "platform/web/PickerTypes.h"

#include <emscripten.h>

// `types` holds one line per filter pair with a concrete extension:
// description, a tab, the extensions separated by blanks. `accept` is the
// <input> form, empty when every file may be picked.
// clang-format off
EM_ASYNC_JS(int, koravel_pick_file, (const char* typesText, const char* acceptText), {
    try {
        if (typeof window.showOpenFilePicker === "function") {
            const types = UTF8ToString(typesText).split("\n").filter((line) => line).map((line) => {
                const [description, extensions] = line.split("\t");
                return {description, accept: {"application/octet-stream": extensions.split(" ")}};
            });
            let handles;
            try {
                handles = await window.showOpenFilePicker({types, multiple: false});
            } catch (e) {
                if (e && e.name === "AbortError") {
                    return 0;
                }
                throw e;
            }
            Module.koravelPicked = {name: handles[0].name, handle: handles[0], file: null};
            return 1;
        }
        const input = document.getElementById("filePicker");
        input.accept = UTF8ToString(acceptText);
        input.value = "";
        const file = await koravelPickWithInput(input);
        if (!file) {
            return 0;
        }
        Module.koravelPicked = {name: file.name, handle: null, file};
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
