#include "platform/modCommonDialog.h"
#include "platform/web/BrowserPickedFile.h"
#include "platform/web/WebFileLayer.h"
#include "platform/web/WebMessageBox.h"
#include "platform/web/WebOpenFileDialog.h"
#include "ui/FormHandlers.h"
#include "ui/web/frmMain.h"

#include <emscripten.h>

#include <optional>

// The program as the page runs it: the window and its services live as long as
// the page; main() builds them and loads the form, and the page's script calls
// the handlers below from the controls' events.
namespace {

struct Koravel {
    koravel::frmMain window;
    koravel::BrowserPickedFiles picked;
    koravel::WebFileLayer files{picked};
    koravel::WebMessageBox messages;
    koravel::WebOpenFileDialog dialog;
    koravel::modCommonDialog dialogs{dialog, messages};
    koravel::FormHandlers handlers{window, files, messages, dialogs};
};

std::optional<Koravel> app;

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void koravel_cmdFlash_Click() {
    app->handlers.cmdFlash_Click();
}

EMSCRIPTEN_KEEPALIVE void koravel_cmdPatch_Click() {
    app->handlers.cmdPatch_Click();
}

EMSCRIPTEN_KEEPALIVE void koravel_cboPatch1_Click() {
    app->handlers.cboPatch1_Click();
}

EMSCRIPTEN_KEEPALIVE void koravel_cboPatch4_Click() {
    app->handlers.cboPatch4_Click();
}

} // extern "C"

int main() {
    app.emplace();
    app->handlers.Form_Load();
    // The page calls the handlers long after main: returning would end the
    // program, and some loaders then refuse every later call without a word.
    emscripten_exit_with_live_runtime();
}
