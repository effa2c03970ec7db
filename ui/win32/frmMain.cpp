#include "ui/win32/frmMain.h"

#include "platform/win32/Utf16.h"
#include "settings/CodeTables.h"
#include "ui/FormHandlers.h"
#include "ui/win32/resource.h"

#include <commctrl.h>

#include <span>

namespace koravel::win32 {
namespace {

constexpr std::size_t IndexOf(ControlId id) {
    return static_cast<std::size_t>(id - idcboPatch4);
}

ControlId IdOf(ListBox list) {
    switch (list) {
    case ListBox::cboPatch1:
        return idcboPatch1;
    case ListBox::cboPatch2:
        return idcboPatch2;
    case ListBox::cboPatch3:
        return idcboPatch3;
    case ListBox::cboPatch4:
        return idcboPatch4;
    }
    return idcboPatch1;
}

ControlId IdOf(PictureBox picture) {
    switch (picture) {
    case PictureBox::picPatchRed:
        return idpicPatchRed;
    case PictureBox::picPatchBlue:
        return idpicPatchBlue;
    case PictureBox::picPatchBlack:
        return idpicPatchBlack;
    }
    return idpicPatchRed;
}

std::span<const char* const> ItemsOf(ControlId id) {
    switch (id) {
    case idcboPatch1:
        return RegionTexts();
    case idcboPatch2:
        return BroadcastTexts();
    case idcboPatch3:
        return LanguageTexts();
    default:
        return SwirlTexts();
    }
}

const wchar_t* ClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::List:
        return WC_COMBOBOXW;
    case ControlKind::Button:
        return WC_BUTTONW;
    case ControlKind::PathBox:
        return WC_EDITW;
    case ControlKind::Picture:
        return WC_STATICW;
    }
    return WC_STATICW;
}

// Every control takes part in Tab order; pictures start hidden until the
// preview shows one, and keep their box size whatever bitmap they hold.
DWORD StyleOf(ControlKind kind) {
    const DWORD common = WS_CHILD | WS_TABSTOP;
    switch (kind) {
    case ControlKind::List:
        return common | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST;
    case ControlKind::Button:
        return common | WS_VISIBLE | BS_PUSHBUTTON;
    case ControlKind::PathBox:
        return common | WS_VISIBLE | ES_AUTOHSCROLL;
    case ControlKind::Picture:
        return common | SS_BITMAP | SS_CENTERIMAGE;
    }
    return common;
}

DWORD ExStyleOf(ControlKind kind) {
    return kind == ControlKind::PathBox || kind == ControlKind::Picture ? WS_EX_CLIENTEDGE : 0;
}

const wchar_t* CaptionOf(ControlId id) {
    return id == idcmdPatch ? L"Patch" : id == idcmdFlash ? L"Select" : L"";
}

std::wstring WindowTextOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ItemText(HWND list, WPARAM index) {
    const LRESULT length = ::SendMessageW(list, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got =
        ::SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

} // namespace

frmMain::~frmMain() {
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);
    }
}

bool frmMain::Register(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &frmMain::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_KORAVEL), IMAGE_ICON,
                                               0, 0, LR_DEFAULTSIZE | LR_SHARED));
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool frmMain::Create() {
    ::CreateWindowExW(ExStyle, ClassName, L"Koravel v0.3", Style, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
    return hwnd_ != nullptr;
}

LRESULT CALLBACK frmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<frmMain*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self == nullptr) {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0); // closing the window ends the program
        return 0;
    default:
        return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

bool frmMain::OnCreate() {
    if (!CreateControls()) {
        return false;
    }
    OrderForTabbing();
    ApplyDpi(::GetDpiForWindow(hwnd_));
    return true;
}

void frmMain::OnCommand(int id, int code) {
    if (handlers_ == nullptr) {
        return;
    }
    if (code == CBN_SELCHANGE && id == idcboPatch1) {
        handlers_->cboPatch1_Click();
    } else if (code == CBN_SELCHANGE && id == idcboPatch4) {
        handlers_->cboPatch4_Click();
    } else if (code == BN_CLICKED && id == idcmdFlash) {
        handlers_->cmdFlash_Click();
    } else if (code == BN_CLICKED && id == idcmdPatch) {
        handlers_->cmdPatch_Click();
    }
}

// The window goes where the system suggests, at the size that gives its client
// area the designed twips exactly at the new dpi.
void frmMain::OnDpiChanged(UINT dpi, const RECT& suggested) {
    ApplyDpi(dpi);
    const SIZE size = WindowSizeForClient();
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

// A window that is not a dialog keeps its own focus: remembered when it is
// deactivated, given back when it is activated again, and on first show given
// to the first control in focus order that can take it.
void frmMain::OnActivate(bool active) {
    if (!active) {
        lastFocus_ = ::GetFocus();
        return;
    }
    if (lastFocus_ != nullptr && ::IsWindow(lastFocus_) && ::IsWindowVisible(lastFocus_)) {
        ::SetFocus(lastFocus_);
    } else {
        FocusFirstControl();
    }
}

void frmMain::FocusFirstControl() {
    if (HWND first = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
        ::SetFocus(first);
    }
}

bool frmMain::CreateControls() {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlSpec& spec = kControls[i];
        HWND control = ::CreateWindowExW(ExStyleOf(spec.kind), ClassOf(spec.kind),
                                         CaptionOf(spec.id), StyleOf(spec.kind), 0, 0, 0, 0, hwnd_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                                         instance_, nullptr);
        if (control == nullptr) {
            return false;
        }
        controls_[i] = control;
        if (spec.kind == ControlKind::List) {
            for (const char* item : ItemsOf(spec.id)) {
                const std::wstring text = WideForDisplay(item);
                ::SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            }
        } else if (spec.kind == ControlKind::PathBox) {
            ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0); // no limit of its own
        }
    }
    return true;
}

// Tab follows the z-order of the controls: put them in focus order, which is
// not their creation order.
void frmMain::OrderForTabbing() {
    std::array<HWND, kControls.size()> byTab{};
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        byTab[static_cast<std::size_t>(kControls[i].tabIndex)] = controls_[i];
    }
    HWND after = HWND_TOP;
    for (HWND control : byTab) {
        ::SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control;
    }
}

void frmMain::ApplyDpi(UINT dpi) {
    dpi_ = dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi;
    ApplyFont();
    LoadPictures();
    PlaceControls();

    bigIcon_.Reset(static_cast<HICON>(::LoadImageW(
        instance_, MAKEINTRESOURCEW(IDI_KORAVEL), IMAGE_ICON,
        ::GetSystemMetricsForDpi(SM_CXICON, dpi_), ::GetSystemMetricsForDpi(SM_CYICON, dpi_), 0)));
    smallIcon_.Reset(
        static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KORAVEL), IMAGE_ICON,
                                        ::GetSystemMetricsForDpi(SM_CXSMICON, dpi_),
                                        ::GetSystemMetricsForDpi(SM_CYSMICON, dpi_), 0)));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
}

// The system's message font at the window's dpi, on every control.
void frmMain::ApplyFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    UniqueFont font;
    if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi_)) {
        font.Reset(::CreateFontIndirectW(&metrics.lfMessageFont));
    }
    for (HWND control : controls_) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    }
    font_ = std::move(font); // the old font is freed once no control uses it
}

void frmMain::LoadPictures() {
    const int scale = PictureScaleIndex(dpi_);
    const std::array<int, 3> bases{IDB_SWIRL_RED, IDB_SWIRL_BLUE, IDB_SWIRL_BLACK};
    const std::array<ControlId, 3> boxes{idpicPatchRed, idpicPatchBlue, idpicPatchBlack};
    for (std::size_t i = 0; i < bases.size(); ++i) {
        UniqueBitmap bitmap(static_cast<HBITMAP>(::LoadImageW(
            instance_, MAKEINTRESOURCEW(bases[i] + scale), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
        ::SendMessageW(Control(boxes[i]), STM_SETIMAGE, IMAGE_BITMAP,
                       reinterpret_cast<LPARAM>(bitmap.Get()));
        pictures_[i] = std::move(bitmap);
    }
}

// Every control at its twips rectangle for the current dpi; then the window
// around a client area of the designed size.
void frmMain::PlaceControls() {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlSpec& spec = kControls[i];
        HWND control = controls_[i];
        const int left = PixelsFromTwips(spec.twips.left, dpi_);
        const int top = PixelsFromTwips(spec.twips.top, dpi_);
        const int width = PixelsFromTwips(spec.twips.width, dpi_);
        const int height = PixelsFromTwips(spec.twips.height, dpi_);
        if (spec.kind == ControlKind::List) {
            // The height given to a drop-down list is that of the opened list;
            // its own height is the closed field's.
            const auto itemHeight =
                static_cast<int>(::SendMessageW(control, CB_GETITEMHEIGHT, 0, 0));
            const auto count = static_cast<int>(::SendMessageW(control, CB_GETCOUNT, 0, 0));
            ::SetWindowPos(control, nullptr, left, top, width, height + (count + 1) * itemHeight,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            FitClosedHeight(control, height);
            continue;
        }
        ::SetWindowPos(control, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const SIZE size = WindowSizeForClient();
    ::SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Brings a closed drop-down list to the designed height through its field's
// item height, unless the font needs more room than that leaves.
void frmMain::FitClosedHeight(HWND list, int height) {
    RECT closed{};
    ::GetWindowRect(list, &closed);
    const int excess = static_cast<int>(closed.bottom - closed.top) - height;
    const auto field =
        static_cast<int>(::SendMessageW(list, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    const auto item = static_cast<int>(::SendMessageW(list, CB_GETITEMHEIGHT, 0, 0));
    if (excess != 0 && field - excess >= item) {
        ::SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field - excess);
    }
}

// The frame is measured rather than computed, so that the client area comes
// out exact whatever caption and border sizes the system really draws.
SIZE frmMain::WindowSizeForClient() const {
    RECT window{};
    RECT client{};
    ::GetWindowRect(hwnd_, &window);
    ::GetClientRect(hwnd_, &client);
    const LONG frameWidth = (window.right - window.left) - client.right;
    const LONG frameHeight = (window.bottom - window.top) - client.bottom;
    return SIZE{PixelsFromTwips(kClientWidthTwips, dpi_) + frameWidth,
                PixelsFromTwips(kClientHeightTwips, dpi_) + frameHeight};
}

void frmMain::Show(int showCommand) {
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const RECT& work = monitor.rcWork;
        const LONG width = window.right - window.left;
        const LONG height = window.bottom - window.top;
        ::SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                       work.top + (work.bottom - work.top - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
}

HWND frmMain::Control(ControlId id) const {
    return controls_[IndexOf(id)];
}

std::string frmMain::FlashText() const {
    return Utf8FromWide(WindowTextOf(Control(idtxtFlash)));
}

void frmMain::SetFlashText(const std::string& text) {
    ::SetWindowTextW(Control(idtxtFlash), WideForDisplay(text).c_str());
}

std::string frmMain::ListText(ListBox list) const {
    HWND box = Control(IdOf(list));
    const LRESULT selected = ::SendMessageW(box, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? std::string()
                              : Utf8FromWide(ItemText(box, static_cast<WPARAM>(selected)));
}

// Selects the item with exactly this text: CB_FINDSTRINGEXACT ignores case.
void frmMain::SetListText(ListBox list, const std::string& text) {
    HWND box = Control(IdOf(list));
    const std::wstring wanted = WideForDisplay(text);
    const LRESULT count = ::SendMessageW(box, CB_GETCOUNT, 0, 0);
    WPARAM found = static_cast<WPARAM>(-1);
    for (LRESULT i = 0; i < count; ++i) {
        if (ItemText(box, static_cast<WPARAM>(i)) == wanted) {
            found = static_cast<WPARAM>(i);
            break;
        }
    }
    ::SendMessageW(box, CB_SETCURSEL, found, 0);
}

void frmMain::SetPictureVisible(PictureBox picture, bool visible) {
    ::ShowWindow(Control(IdOf(picture)), visible ? SW_SHOWNA : SW_HIDE);
}

} // namespace koravel::win32
