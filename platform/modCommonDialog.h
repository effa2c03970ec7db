#pragma once

#include "platform/OpenFileDialog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace koravel {

class MessageBox;

// Splits a filter text of NUL-separated description and pattern items into pairs.
// A description without its pattern is dropped.
std::vector<FileFilter> ParseFilterText(const std::string& filter);

// The platform's common dialogs, as the window uses them.
class modCommonDialog {
  public:
    modCommonDialog(OpenFileDialog& dialog, MessageBox& messages)
        : dialog_(dialog), messages_(messages) {}

    // Lets the user pick a file; gives its full path, or the empty text when
    // nothing was chosen. An error of the dialog is reported here and never
    // leaves: the result is then the empty text.
    std::string ShowOpen(const std::string& filter, const std::uint32_t& flags);

  private:
    OpenFileDialog& dialog_;
    MessageBox& messages_;
};

} // namespace koravel
