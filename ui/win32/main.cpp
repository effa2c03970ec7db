#include "ui/win32/KoravelApp.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    koravel::win32::KoravelApp koravel(instance);
    if (!koravel.Start()) {
        return 1;
    }
    return koravel.Run(showCommand);
}
