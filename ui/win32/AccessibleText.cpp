#include "ui/win32/AccessibleText.h"

#include <oleacc.h>

namespace koravel::win32 {

AccessibleText AccessibleTextOf(ControlId id) {
    switch (id) {
    case idcboPatch1:
        return {L"Region", L"The console's region", ROLE_SYSTEM_COMBOBOX, true};
    case idcboPatch4:
        return {L"Swirl colour", L"The colour of the swirl the console shows at start-up",
                ROLE_SYSTEM_COMBOBOX, true};
    case idcboPatch2:
        return {L"Broadcast standard", L"The television standard the console sends",
                ROLE_SYSTEM_COMBOBOX, true};
    case idcboPatch3:
        return {L"Language", L"The console's language", ROLE_SYSTEM_COMBOBOX, true};
    case idtxtFlash:
        return {L"Flash image path", L"The flash image file that Patch writes the settings into",
                ROLE_SYSTEM_TEXT, false};
    case idcmdFlash:
        return {nullptr, L"Choose a flash image and show its settings", ROLE_SYSTEM_PUSHBUTTON,
                false};
    case idcmdPatch:
        return {nullptr, L"Write the chosen settings into both copies in the flash image",
                ROLE_SYSTEM_PUSHBUTTON, false};
    // A static control holding a bitmap is otherwise read as text.
    case idpicPatchRed:
        return {L"Swirl preview", L"Red swirl: the console starts with the red swirl",
                ROLE_SYSTEM_GRAPHIC, false};
    case idpicPatchBlue:
        return {L"Swirl preview", L"Blue swirl: the console starts with the blue swirl",
                ROLE_SYSTEM_GRAPHIC, false};
    case idpicPatchBlack:
        return {L"Swirl preview", L"Black swirl: the console starts with the black swirl",
                ROLE_SYSTEM_GRAPHIC, false};
    }
    return {nullptr, nullptr, ROLE_SYSTEM_CLIENT, false};
}

} // namespace koravel::win32
