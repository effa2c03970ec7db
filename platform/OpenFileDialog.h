#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace koravel {

struct FileFilter {
    std::string description; // e.g. "Dreamcast flash (*.bin)"
    std::string pattern;     // e.g. "*.bin"
    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// Dialog flag: only the name of an existing file can be confirmed.
inline constexpr std::uint32_t OFN_FILEMUSTEXIST = 0x1000;

// The system's modal open-file dialog, owned by the main window.
class OpenFileDialog {
  public:
    virtual ~OpenFileDialog() = default;

    // Shows the dialog and gives the chosen file's full path, or nothing when the
    // user cancelled. Throws FileError when the dialog itself fails.
    virtual std::optional<std::string>
    Run(const std::string& title, const std::vector<FileFilter>& filters, std::uint32_t flags) = 0;
};

} // namespace koravel
