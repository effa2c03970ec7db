#include "platform/modCommonDialog.h"
#include "platform/web/BrowserPickedFile.h"
#include "platform/web/PickerTypes.h"
#include "platform/web/WebFileLayer.h"
#include "platform/web/WebMessageBox.h"
#include "platform/web/WebOpenFileDialog.h"
#include "ui/FormHandlers.h"
#include "ui/web/frmMain.h"

#include <emscripten.h>

#include <optional>
#include <string>

// The program as the page runs it: the window and its services live as long as
// the page; main() builds them, and the page's script calls the handlers below
// from the controls' events. The form as Form_Load leaves it is part of the
// page: the build runs koravel_render once and writes down what it drew.
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

// Draws the window's lists and loads the form into an empty document.
EMSCRIPTEN_KEEPALIVE void koravel_render() {
    app->window.DrawLists();
    app->handlers.Form_Load();
}

// What Select asks of the browser's picker, in the two forms
// koravelOpenPicker takes: the build writes them into the page, which opens
// the picker itself for a click on Select that comes before the program runs.
EMSCRIPTEN_KEEPALIVE const char* koravel_select_picker_types() {
    static const std::string types =
        koravel::PickerTypesText(koravel::ParseFilterText(koravel::FormHandlers::SelectFilter()));
    return types.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* koravel_select_picker_accept() {
    static const std::string accept =
        koravel::PickerAccept(koravel::ParseFilterText(koravel::FormHandlers::SelectFilter()));
    return accept.c_str();
}

EMSCRIPTEN_KEEPALIVE void koravel_cmdFlash_Click() {
    app->handlers.cmdFlash_Click();
}

// One file dropped on the page, which took it in the drop as it opens the
// picker in the click on Select.
EMSCRIPTEN_KEEPALIVE void koravel_Form_OLEDragDrop() {
    app->handlers.Form_OLEDragDrop(koravel::TakeDroppedFile());
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
    // The page calls the handlers long after main: returning would end the
    // program, and some loaders then refuse every later call without a word.
    emscripten_exit_with_live_runtime();
}
