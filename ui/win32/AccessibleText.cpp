#include "ui/win32/AccessibleText.h"

#include "ui/ControlTexts.h"

#include <oleacc.h>

namespace koravel::win32 {
namespace {

constexpr const wchar_t* NameOrCaption(const wchar_t* name) {
    return *name != L'\0' ? name : nullptr;
}

// The role of each kind of control. A static control holding a bitmap is
// otherwise read as text.
constexpr LONG RoleOf(ControlId id) {
    switch (id) {
    case idcboPatch1:
    case idcboPatch2:
    case idcboPatch3:
    case idcboPatch4:
        return ROLE_SYSTEM_COMBOBOX;
    case idtxtFlash:
        return ROLE_SYSTEM_TEXT;
    case idcmdFlash:
    case idcmdPatch:
        return ROLE_SYSTEM_PUSHBUTTON;
    case idpicPatchRed:
    case idpicPatchBlue:
    case idpicPatchBlack:
        return ROLE_SYSTEM_GRAPHIC;
    }
    return ROLE_SYSTEM_CLIENT;
}

} // namespace

AccessibleText AccessibleTextOf(ControlId id) {
    const LONG role = RoleOf(id);
    switch (id) {
#define KORAVEL_WIDE_CONTROL_TEXT(control, name, description)                                      \
    case id##control:                                                                              \
        return {NameOrCaption(L"" name), L"" description, role, role == ROLE_SYSTEM_COMBOBOX};
        KORAVEL_CONTROL_TEXTS(KORAVEL_WIDE_CONTROL_TEXT)
#undef KORAVEL_WIDE_CONTROL_TEXT
    }
    return {nullptr, nullptr, ROLE_SYSTEM_CLIENT, false};
}

} // namespace koravel::win32
