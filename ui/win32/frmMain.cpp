#include "ui/win32/frmMain.h"

#include "platform/win32/Utf16.h"
#include "settings/CodeTables.h"
#include "ui/FormHandlers.h"
#include "ui/PictureDrawings.h"
#include "ui/win32/ControlStyles.h"
#include "ui/win32/resource.h"

#include <commctrl.h>

#include <algorithm>

namespace koravel::win32 {
namespace {

// The preview's pictures, red, blue and black, as frmMain::pictures_ holds them.
constexpr std::array<ControlId, 3> kPictureBoxes{idpicPatchRed, idpicPatchBlue, idpicPatchBlack};
constexpr std::array<int, 3> kPictureResources{IDB_SWIRL_RED, IDB_SWIRL_BLUE, IDB_SWIRL_BLACK};

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
    // Both sizes of the icon, so that the system need not make the small one.
    wc.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_KORAVEL), IMAGE_ICON,
                                               0, 0, LR_DEFAULTSIZE | LR_SHARED));
    wc.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_KORAVEL),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The window is made at its size and place, centred on the work area of the
// primary monitor at the system's dpi; a monitor of another dpi resizes it.
bool frmMain::Create() {
    const UINT dpi = ::GetDpiForSystem();
    RECT frame{0, 0, PixelsFromTwips(kClientWidthTwips, dpi),
               PixelsFromTwips(kClientHeightTwips, dpi)};
    ::AdjustWindowRectExForDpi(&frame, Style, FALSE, ExStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    ::CreateWindowExW(ExStyle, ClassName, L"Koravel v0.3", Style,
                      work.left + (work.right - work.left - width) / 2,
                      work.top + (work.bottom - work.top - height) / 2, width, height, nullptr,
                      nullptr, instance_, this);
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
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0); // closing the window ends the program
        return 0;
    default:
        return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

// Each control is made at its place for the window's dpi, in the message
// font, so that nothing needs to move before the window is first shown.
bool frmMain::OnCreate() {
    const UINT dpi = ::GetDpiForWindow(hwnd_);
    dpi_ = dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi;
    font_ = MessageFont(dpi_);
    if (!CreateControls()) {
        return false;
    }
    FitWindowToClient();
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

// One file dropped, not a folder, is what Select takes from its dialog;
// several files or a folder change nothing.
void frmMain::OnDropFiles(HDROP drop) {
    const std::optional<std::wstring> path = drops_.TakeOnlyFile(drop);
    if (path && handlers_ != nullptr) {
        handlers_->Form_OLEDragDrop(Utf8FromWide(*path));
    }
}

void frmMain::FocusFirstControl() {
    if (HWND first = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
        ::SetFocus(first);
    }
}

// Created in focus order, which is not their declared order: Tab follows the
// z-order of the controls, and each new control goes below those before it.
bool frmMain::CreateControls() {
    std::array<std::size_t, kControls.size()> byTab{};
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        byTab[static_cast<std::size_t>(kControls[i].tabIndex)] = i;
    }
    for (const std::size_t i : byTab) {
        const ControlDesign& design = kControls[i];
        const RECT place = PlaceOf(design);
        HWND control = ::CreateWindowExW(
            ExStyleOf(design.kind), ClassOf(design.kind), CaptionOf(design.id),
            StyleOf(design.kind), place.left, place.top, place.right - place.left,
            place.bottom - place.top, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance_, nullptr);
        if (control == nullptr) {
            return false;
        }
        controls_[i] = control;
        answers_.Attach(control, design.id);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        if (design.kind == ControlKind::List) {
            for (const char* item : ItemsOf(design.id)) {
                const std::wstring text = WideForDisplay(item);
                ::SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            }
            FitClosedHeight(control, PixelsFromTwips(design.twips.height, dpi_));
        } else if (design.kind == ControlKind::PathBox) {
            ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0); // no limit of its own
        }
    }
    return true;
}

// A control's rectangle at the current dpi; a drop-down list's window also
// holds its opened list.
RECT frmMain::PlaceOf(const ControlDesign& design) const {
    const int left = PixelsFromTwips(design.twips.left, dpi_);
    const int top = PixelsFromTwips(design.twips.top, dpi_);
    int height = PixelsFromTwips(design.twips.height, dpi_);
    if (design.kind == ControlKind::List) {
        height = OpenedListHeight(height, ItemsOf(design.id).size());
    }
    return RECT{left, top, left + PixelsFromTwips(design.twips.width, dpi_), top + height};
}

// Everything that depends on the dpi, again, for a window moved to a monitor
// of another density.
void frmMain::ApplyDpi(UINT dpi) {
    dpi_ = dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi;
    UniqueFont font = MessageFont(dpi_);
    for (HWND control : controls_) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    }
    font_ = std::move(font); // the old font is freed once no control uses it
    ReloadPictures();
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

// A picture is loaded when it is first shown: the window starts with only the
// one the preview shows, and pays for no other.
void frmMain::LoadPicture(std::size_t index) {
    const auto scale =
        static_cast<int>(PictureDrawingFor(static_cast<double>(dpi_) / USER_DEFAULT_SCREEN_DPI));
    UniqueBitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(kPictureResources[index] + scale), IMAGE_BITMAP, 0,
                     0, LR_DEFAULTCOLOR)));
    ::SendMessageW(Control(kPictureBoxes[index]), STM_SETIMAGE, IMAGE_BITMAP,
                   reinterpret_cast<LPARAM>(bitmap.Get()));
    pictures_[index] = std::move(bitmap);
}

// The pictures loaded so far, drawn for the new dpi.
void frmMain::ReloadPictures() {
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
        if (pictures_[i]) {
            LoadPicture(i);
        }
    }
}

// Every control at its twips rectangle for the current dpi.
void frmMain::PlaceControls() {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const RECT place = PlaceOf(kControls[i]);
        ::SetWindowPos(controls_[i], nullptr, place.left, place.top, place.right - place.left,
                       place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (kControls[i].kind == ControlKind::List) {
            FitClosedHeight(controls_[i], PixelsFromTwips(kControls[i].twips.height, dpi_));
        }
    }
}

// The window around a client area of exactly the designed size, when it is
// not that already.
void frmMain::FitWindowToClient() {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    if (client.right != PixelsFromTwips(kClientWidthTwips, dpi_) ||
        client.bottom != PixelsFromTwips(kClientHeightTwips, dpi_)) {
        const SIZE size = WindowSizeForClient();
        ::SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    const ControlId box = IdOf(picture);
    const auto index = static_cast<std::size_t>(
        std::find(kPictureBoxes.begin(), kPictureBoxes.end(), box) - kPictureBoxes.begin());
    if (visible && !pictures_[index]) {
        LoadPicture(index);
    }
    ::ShowWindow(Control(box), visible ? SW_SHOWNA : SW_HIDE);
}

} // namespace koravel::win32
