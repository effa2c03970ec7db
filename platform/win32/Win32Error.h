#pragma once

#include "platform/FileError.h"

#include <cstdint>
#include <string>

namespace koravel::win32 {

// GetFileAttributesW's INVALID_FILE_ATTRIBUTES: the attributes are not known.
inline constexpr std::uint32_t UnknownAttributes = 0xFFFFFFFFu;

// The one place where a Windows error code (GetLastError) becomes a classic
// file error number and a description. Another program's hold on the file is
// 75, with the system's own text; a file that may not be changed is 70. The
// descriptions hold whatever the file was opened for, reading included.
FileError Win32FileError(std::uint32_t code);

// The same for a failure to open a file for writing or to write to it: a file
// that may not be changed is 70, with what the user can do about it.
// ERROR_ACCESS_DENIED means a read-only file and an access list alike; only
// the file's `attributes` (GetFileAttributesW) tell them apart.
FileError Win32WriteError(std::uint32_t code, std::uint32_t attributes = UnknownAttributes);

// The system's message text for an error code, in UTF-8, without the line
// break that ends it.
std::string SystemMessageText(std::uint32_t code);

} // namespace koravel::win32
