#pragma once

#include "platform/FileError.h"

namespace koravel {

// The one place where a system error becomes a classic file error number
// and a description that names the cause.
FileError ErrnoError(int errnum);

// The same for a failure to open a file for writing or to write to it: a
// file that may not be changed is 70, with what the user can do about it.
FileError ErrnoWriteError(int errnum);

// A file the desktop's document portal handed over for reading only (a file
// dropped from outside a sandbox) refused for writing.
FileError PortalReadOnlyError();

} // namespace koravel
