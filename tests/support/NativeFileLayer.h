#pragma once

// The file layer that the program itself uses on the platform the tests run on.
#if defined(_WIN32)
#include "platform/win32/Win32FileLayer.h"
namespace koravel::testing {
using NativeFileLayer = koravel::Win32FileLayer;
}
#else
#include "platform/posix/PosixFileLayer.h"
namespace koravel::testing {
using NativeFileLayer = koravel::PosixFileLayer;
}
#endif
