#include "ui/qt/DesktopPlatform.h"

#include <QtGlobal>

#include <cstring>

namespace koravel {

QByteArray PreferredPlatform(const std::function<QByteArray(const char*)>& variable,
                             bool platformArgument) {
    // A user's own choice stands.
    if (platformArgument || !variable("QT_QPA_PLATFORM").isEmpty()) {
        return {};
    }
    // A Wayland session that also runs an X server for older programs
    // (XWayland): through X, the desktop draws the window's frame itself and
    // honours its one size, with a close box only, and the window can centre
    // itself. On Wayland, Qt draws the frame, with maximize and minimize
    // boxes whatever the window asks for, and the compositor places it.
    if (!variable("WAYLAND_DISPLAY").isEmpty() && !variable("DISPLAY").isEmpty()) {
        return QByteArrayLiteral("xcb;wayland"); // Wayland should X not answer
    }
    return {};
}

void ChooseDesktopPlatform(int argc, char* argv[]) {
    bool platformArgument = false;
    for (int i = 1; i < argc; ++i) {
        platformArgument = platformArgument || std::strcmp(argv[i], "-platform") == 0 ||
                           std::strcmp(argv[i], "--platform") == 0;
    }
    const QByteArray platform =
        PreferredPlatform([](const char* name) { return qgetenv(name); }, platformArgument);
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
}

} // namespace koravel
