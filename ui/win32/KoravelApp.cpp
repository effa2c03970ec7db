#include "ui/win32/KoravelApp.h"

namespace koravel::win32 {

bool KoravelApp::Start() {
    if (!frmMain::Register(::GetModuleHandleW(nullptr)) || !window_.Create()) {
        return false;
    }
    messages_.SetOwner(window_.Handle());
    openDialog_.SetOwner(window_.Handle());
    window_.Connect(handlers_);
    handlers_.Form_Load();
    return true;
}

int KoravelApp::Run(int showCommand) {
    window_.Show(showCommand);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and the arrow keys move between the controls.
        if (!::IsDialogMessageW(window_.Handle(), &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace koravel::win32
