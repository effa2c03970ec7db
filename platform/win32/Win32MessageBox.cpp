#include "platform/win32/Win32MessageBox.h"

#include "platform/win32/Utf16.h"
#include "platform/win32/WinApi.h"

namespace koravel {

static_assert(static_cast<UINT>(MsgIcon::Critical) == MB_ICONHAND);
static_assert(static_cast<UINT>(MsgIcon::Warning) == MB_ICONEXCLAMATION);
static_assert(static_cast<UINT>(MsgIcon::Information) == MB_ICONASTERISK);

void Win32MessageBox::Show(const std::string& prompt, MsgIcon icon, const std::string& title) {
    // Only the icon bits: a stray value must never add buttons to an OK box.
    const UINT style = MB_OK | MB_APPLMODAL | (static_cast<UINT>(icon) & MB_ICONMASK);
    ::MessageBoxW(owner_, win32::WideForDisplay(prompt).c_str(),
                  win32::WideForDisplay(title).c_str(), style);
}

} // namespace koravel
