#include "ui/qt/KoravelApp.h"

namespace koravel {

KoravelApp::KoravelApp() {
    window_.Connect(handlers_);
    handlers_.Form_Load();
}

} // namespace koravel
