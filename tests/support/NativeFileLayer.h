#pragma once

// The file layer that the program itself uses on the platform the tests run on.
#if defined(_WIN32)
#include "platform/win32/Win32FileLayer.h"
namespace koravel::testing {
using NativeFileLayer = koravel::Win32FileLayer;
}
#elif defined(__EMSCRIPTEN__)
// A browser has no paths: the web layer over files looked up in the test's
// own file system stands in for the files a user picks.
#include "tests/support/web/LocalPickedFiles.h"
namespace koravel::testing {
using NativeFileLayer = koravel::testing::LocalWebFileLayer;
}
#else
#include "platform/posix/PosixFileLayer.h"
namespace koravel::testing {
using NativeFileLayer = koravel::PosixFileLayer;
}
#endif
