#pragma once

// The Windows API as this program includes it: wide-character functions, no
// min/max macros, and none of the macros that would rename this program's own
// names (MessageBox, OFN_FILEMUSTEXIST).

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>

#include <commdlg.h>

#undef MessageBox
#undef OFN_FILEMUSTEXIST
