#include "ui/qt/DesktopPlatform.h"

#include <QList>
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

namespace {

bool DesktopIs(const std::function<QByteArray(const char*)>& variable, const char* name) {
    for (const QByteArray& desktop : variable("XDG_CURRENT_DESKTOP").split(':')) {
        if (desktop.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

bool CompositorFramesWindows(const std::function<QByteArray(const char*)>& variable) {
    // Plasma's KWin draws the frames of Wayland windows that leave it to the
    // compositor; GNOME's Mutter and Weston draw none.
    return DesktopIs(variable, "KDE");
}

QByteArray PreferredPlatformTheme(const std::function<QByteArray(const char*)>& variable,
                                  bool themeArgument) {
    if (themeArgument || !variable("QT_QPA_PLATFORMTHEME").isEmpty()) {
        return {};
    }
    // GNOME's own open dialog comes through the desktop portal; Qt's portal
    // theme asks for it and leaves everything else to the theme Qt would
    // have taken. Where the theme is not installed, Qt takes its usual one.
    // KDE's dialog comes with Plasma's own theme, which Qt takes by itself.
    return DesktopIs(variable, "GNOME") ? QByteArrayLiteral("xdgdesktopportal") : QByteArray();
}

namespace {

bool HasArgument(int argc, char* argv[], const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0 ||
            (argv[i][0] == '-' && std::strcmp(argv[i] + 1, name) == 0)) {
            return true;
        }
    }
    return false;
}

} // namespace

void ChooseDesktopPlatform(int argc, char* argv[]) {
    const auto variable = [](const char* name) { return qgetenv(name); };
    const QByteArray platform = PreferredPlatform(variable, HasArgument(argc, argv, "-platform"));
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
    const QByteArray theme =
        PreferredPlatformTheme(variable, HasArgument(argc, argv, "-platformtheme"));
    if (!theme.isEmpty()) {
        qputenv("QT_QPA_PLATFORMTHEME", theme);
    }
}

} // namespace koravel
