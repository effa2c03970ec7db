#pragma once

#include "platform/FileError.h"

#include <cstdint>
#include <string>

namespace koravel::win32 {

// The one place where a Windows error code (GetLastError) becomes a classic
// file error number, with the system's own message text as its description.
FileError Win32FileError(std::uint32_t code);

// The system's message text for an error code, in UTF-8, without the line
// break that ends it.
std::string SystemMessageText(std::uint32_t code);

} // namespace koravel::win32
