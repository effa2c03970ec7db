// The floor of the main window's start-up in Win32: the same ten stock controls
// with the same styles and items, at the same places scaled from the same twips
// table, in a window of the same class style, caption and size, with the
// system's message font. No pictures, no icon, no handlers: what any Win32
// program showing this window pays at the least.

#include "ui/win32/ControlLayout.h"
#include "ui/win32/ControlStyles.h"

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace {

using namespace koravel;
using namespace koravel::win32;

constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

std::wstring Wide(const char* text) {
    std::wstring wide(
        static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
    wide.pop_back(); // the terminator counted above
    return wide;
}

// The ten controls, filled and placed, in the message font at this dpi.
void CreateControls(HWND window, HINSTANCE instance, UINT dpi) {
    HFONT font = MessageFont(dpi).Release(); // lives as long as the program
    for (const auto& layout : kControls) {
        int height = PixelsFromTwips(layout.twips.height, dpi);
        const auto items = ItemsOf(layout.id);
        if (layout.kind == ControlKind::List) {
            // A drop-down list's height is that of its opened list.
            height = OpenedListHeight(height, items.size());
        }
        HWND control = ::CreateWindowExW(
            ExStyleOf(layout.kind), ClassOf(layout.kind), CaptionOf(layout.id),
            StyleOf(layout.kind), PixelsFromTwips(layout.twips.left, dpi),
            PixelsFromTwips(layout.twips.top, dpi), PixelsFromTwips(layout.twips.width, dpi),
            height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance,
            nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (layout.kind == ControlKind::List) {
            for (const char* item : items) {
                ::SendMessageW(control, CB_ADDSTRING, 0,
                               reinterpret_cast<LPARAM>(Wide(item).c_str()));
            }
            FitClosedHeight(control, PixelsFromTwips(layout.twips.height, dpi));
        }
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KoravelFloor";
    if (::RegisterClassExW(&wc) == 0) {
        return 1;
    }
    HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"Koravel v0.3", WindowStyle,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    const UINT dpi = ::GetDpiForWindow(window);
    CreateControls(window, instance, dpi);

    // The client area of the designed size, centred on the work area.
    RECT frame{0, 0, PixelsFromTwips(kClientWidthTwips, dpi),
               PixelsFromTwips(kClientHeightTwips, dpi)};
    ::AdjustWindowRectExForDpi(&frame, WindowStyle, FALSE, 0, dpi);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(window, showCommand);
    ::UpdateWindow(window);

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
