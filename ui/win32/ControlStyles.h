#pragma once

#include "platform/win32/UniqueHandle.h"
#include "ui/win32/ControlLayout.h"

#include <span>

namespace koravel::win32 {

// How each kind of control of the main window is made: its stock window
// class, styles and content, whoever builds the window.
const wchar_t* ClassOf(ControlKind kind);
DWORD StyleOf(ControlKind kind);
DWORD ExStyleOf(ControlKind kind);
const wchar_t* CaptionOf(ControlId id);
std::span<const char* const> ItemsOf(ControlId id); // a list's items, in order

// A drop-down list's window height: its closed field and its opened list.
int OpenedListHeight(int closedHeight, std::size_t items);

// Brings a closed drop-down list to the designed height through its field's
// item height, unless the font needs more room than that leaves.
void FitClosedHeight(HWND list, int height);

// The system's message font at a dpi (empty when the system gives none).
UniqueFont MessageFont(UINT dpi);

} // namespace koravel::win32
