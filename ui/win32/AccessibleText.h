#pragma once

#include "platform/win32/WinApi.h"
#include "ui/win32/ControlLayout.h"

namespace koravel::win32 {

// What a screen reader is told about a control beyond what the system says
// itself: the name and description every front end gives it, and the
// standard role of its kind of control, which Wine's standard objects do not
// all know (they call a list or a button just a client area).
struct AccessibleText {
    const wchar_t* name;        // null: the system's own (a button's caption)
    const wchar_t* description; // null: none
    LONG role;
    bool valueIsText; // a drop-down list: its text is the selected item
};

AccessibleText AccessibleTextOf(ControlId id);

} // namespace koravel::win32
