#pragma once

#include "platform/modCommonDialog.h"
#include "platform/posix/PosixFileLayer.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtOpenFileDialog.h"
#include "ui/FormHandlers.h"
#include "ui/qt/frmMain.h"

namespace koravel {

// The program as it runs: the window, the real platform services, and the
// handlers wired between them. Form_Load has run when construction ends.
class KoravelApp {
  public:
    KoravelApp();
    frmMain& Window() { return window_; }

  private:
    PosixFileLayer files_;
    frmMain window_;
    QtMessageBox messages_{&window_};
    QtOpenFileDialog openDialog_{&window_};
    modCommonDialog dialogs_{openDialog_, messages_};
    FormHandlers handlers_{window_, files_, messages_, dialogs_};
};

} // namespace koravel
