#pragma once

#include "platform/OpenFileDialog.h"

#include <string>
#include <vector>

namespace koravel {

// The open dialog's filter pairs in the forms a browser's pickers take them.

// For showOpenFilePicker: one line per pair that names concrete extensions,
// "description<TAB>.ext .ext2\n". Pairs that let every file through are left
// out: the picker offers "all files" by itself.
std::string PickerTypesText(const std::vector<FileFilter>& filters);

// For <input type="file" accept>: ".ext,.ext2", or the empty text (every file)
// when one of the patterns lets every file through.
std::string PickerAccept(const std::vector<FileFilter>& filters);

} // namespace koravel
