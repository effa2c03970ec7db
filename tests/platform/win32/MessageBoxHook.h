#pragma once

// Reads and closes this thread's message boxes as they appear, so that a test
// can show a real one and nobody has to click it.

#include "platform/win32/WinApi.h"

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace koravel::testing {

// What a message box showed when it became active.
struct SeenMessageBox {
    std::wstring caption;
    std::wstring text;        // the prompt's static control, id 0xFFFF
    UINT iconStyle = 0;       // MB_ICONHAND, ...; 0 for none, kOtherIcon for one not known
    std::vector<int> buttons; // ids of the visible buttons
    HWND owner = nullptr;
    bool ownerEnabled = false; // while the box was up
};

inline constexpr UINT kOtherIcon = ~0u;

// Why windows cannot be shown here, or the empty text when they can: Wine draws
// them on an X display.
inline std::string WhyNoWindows() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    if (wine && ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
        return "Wine needs an X display to show windows and DISPLAY is not set";
    }
    return std::string();
}

// A WH_CBT hook on this thread: every dialog (class #32770) is read once it is
// active and its modal loop runs, then closed by a click on OK. Dialogs the hook did not see are
// closed by a thread timer after `rescueMs` and counted in `rescued`, so a
// test fails instead of hanging.
class MessageBoxHook {
  public:
    explicit MessageBoxHook(UINT rescueMs = 10000) {
        previous_ = current_;
        current_ = this;
        hook_ = ::SetWindowsHookExW(WH_CBT, &Proc, nullptr, ::GetCurrentThreadId());
        timer_ = ::SetTimer(nullptr, 0, rescueMs, &Rescue);
    }
    ~MessageBoxHook() {
        ::KillTimer(nullptr, timer_);
        if (hook_ != nullptr) {
            ::UnhookWindowsHookEx(hook_);
        }
        current_ = previous_;
    }
    MessageBoxHook(const MessageBoxHook&) = delete;
    MessageBoxHook& operator=(const MessageBoxHook&) = delete;

    bool Installed() const { return hook_ != nullptr && timer_ != 0; }

    std::vector<SeenMessageBox> seen;
    int rescued = 0;

  private:
    static bool IsDialog(HWND window) {
        wchar_t name[16] = {};
        return ::GetClassNameW(window, name, 16) > 0 && std::wstring(name) == L"#32770";
    }

    static std::wstring Text(HWND window) {
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    static UINT IconStyle(HICON icon) {
        const std::pair<LPCWSTR, UINT> known[] = {{IDI_HAND, MB_ICONHAND},
                                                  {IDI_QUESTION, MB_ICONQUESTION},
                                                  {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                                                  {IDI_ASTERISK, MB_ICONASTERISK}};
        for (const auto& [id, style] : known) {
            if (icon == ::LoadIconW(nullptr, id)) { // shared icons: one handle each
                return style;
            }
        }
        return kOtherIcon;
    }

    static BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
        auto& box = *reinterpret_cast<SeenMessageBox*>(param);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_VISIBLE) == 0) {
            return TRUE; // Wine keeps the buttons a box does not use, hidden
        }
        wchar_t name[16] = {};
        ::GetClassNameW(child, name, 16);
        if (::lstrcmpiW(name, L"Button") == 0) {
            box.buttons.push_back(::GetDlgCtrlID(child));
        } else if (::lstrcmpiW(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
            box.iconStyle =
                IconStyle(reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)));
        }
        return TRUE;
    }

    // Reads the box once its own modal loop runs: a task-modal box can become
    // active before its prompt and icon are set.
    static void CALLBACK ReadAndClose(HWND window, UINT, UINT_PTR timer, DWORD) {
        ::KillTimer(window, timer);
        MessageBoxHook* self = current_;
        if (self == nullptr || !self->handled_.insert(window).second) {
            return;
        }
        SeenMessageBox box;
        box.caption = Text(window);
        if (const HWND prompt = ::GetDlgItem(window, 0xFFFF); prompt != nullptr) {
            box.text = Text(prompt);
        }
        ::EnumChildWindows(window, &ReadChild, reinterpret_cast<LPARAM>(&box));
        box.owner = ::GetWindow(window, GW_OWNER);
        box.ownerEnabled = box.owner != nullptr && ::IsWindowEnabled(box.owner) != FALSE;
        self->seen.push_back(std::move(box));
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK)));
    }

    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (current_ != nullptr) {
            if (code == HCBT_DESTROYWND) {
                current_->handled_.erase(window); // the handle may come back for the next box
            } else if (code == HCBT_ACTIVATE && IsDialog(window)) {
                ::SetTimer(window, kReadTimer, 1, &ReadAndClose);
            }
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static BOOL CALLBACK RescueWindow(HWND window, LPARAM) {
        MessageBoxHook* self = current_;
        if (self != nullptr && IsDialog(window) && self->handled_.insert(window).second) {
            ++self->rescued;
            ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return TRUE;
    }

    static void CALLBACK Rescue(HWND, UINT, UINT_PTR, DWORD) {
        ::EnumThreadWindows(::GetCurrentThreadId(), &RescueWindow, 0);
    }

    static constexpr UINT_PTR kReadTimer = 0x4B52;
    static inline thread_local MessageBoxHook* current_ = nullptr;
    MessageBoxHook* previous_ = nullptr;
    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    std::set<HWND> handled_;
};

} // namespace koravel::testing
