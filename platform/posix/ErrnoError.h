#pragma once

#include "platform/FileError.h"

namespace koravel {

// The one place where a system error becomes a classic file error number
// and a description that names the cause.
FileError ErrnoError(int errnum);

} // namespace koravel
