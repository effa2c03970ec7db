#include "ui/win32/ControlStyles.h"

#include "settings/CodeTables.h"

#include <commctrl.h>

namespace koravel::win32 {

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

std::span<const char* const> ItemsOf(ControlId id) {
    switch (id) {
    case idcboPatch1:
        return RegionTexts();
    case idcboPatch2:
        return BroadcastTexts();
    case idcboPatch3:
        return LanguageTexts();
    case idcboPatch4:
        return SwirlTexts();
    default:
        return {};
    }
}

int OpenedListHeight(int closedHeight, std::size_t items) {
    return closedHeight * static_cast<int>(items + 1);
}

void FitClosedHeight(HWND list, int height) {
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

UniqueFont MessageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        return UniqueFont();
    }
    return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
}

} // namespace koravel::win32
