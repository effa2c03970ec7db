#pragma once

#include "platform/OpenFileDialog.h"

#include <string>
#include <vector>

namespace koravel {

// The browser's own file picker: showOpenFilePicker where the browser has it,
// <input type="file" id="filePicker"> elsewhere. A browser gives no path, so
// the result is the picked file's name; the file itself stays with the page.
class WebOpenFileDialog : public OpenFileDialog {
  public:
    std::optional<std::string> Run(const std::string& title, const std::vector<FileFilter>& filters,
                                   std::uint32_t flags) override;
};

} // namespace koravel
