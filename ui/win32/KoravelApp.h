#pragma once

#include "platform/modCommonDialog.h"
#include "platform/win32/SystemFunctions.h"
#include "platform/win32/Win32FileLayer.h"
#include "platform/win32/Win32MessageBox.h"
#include "platform/win32/Win32OpenFileDialog.h"
#include "ui/FormHandlers.h"
#include "ui/win32/frmMain.h"

namespace koravel::win32 {

// The program as it runs on Windows: the window, the real platform services,
// and the handlers wired between them.
class KoravelApp {
  public:
    explicit KoravelApp(HINSTANCE instance) : window_(instance, loader_) {}

    // Creates the window and runs Form_Load; false when the window cannot be made.
    bool Start();
    // Shows the window and dispatches its events until it is closed.
    int Run(int showCommand);

    frmMain& Window() { return window_; }

  private:
    Win32FileLayer files_;
    SystemFolderLoader loader_;
    Win32MessageBox messages_;
    Win32OpenFileDialog openDialog_{loader_};
    modCommonDialog dialogs_{openDialog_, messages_};
    frmMain window_;
    FormHandlers handlers_{window_, files_, messages_, dialogs_};
};

} // namespace koravel::win32
