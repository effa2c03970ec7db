#pragma once

#include <QByteArray>

#include <functional>

namespace koravel {

// The Qt platform to ask for, for the session the program starts in, or an
// empty array to leave the choice to Qt. `variable` reads the environment;
// `platformArgument` is whether the command line names a platform itself.
QByteArray PreferredPlatform(const std::function<QByteArray(const char*)>& variable,
                             bool platformArgument);

// The Qt platform theme to ask for, or an empty array to leave it to Qt.
// `themeArgument` is whether the command line names a theme itself.
QByteArray PreferredPlatformTheme(const std::function<QByteArray(const char*)>& variable,
                                  bool themeArgument);

// Whether, on Qt's Wayland platform, the desktop's compositor frames the
// window itself (server-side decorations, as KDE's KWin does): its frame then
// offers what the window allows, with no maximize for a window of one size.
// Elsewhere Qt would draw a frame that offers maximize whatever the window
// asks, so the window draws its own caption bar instead.
bool CompositorFramesWindows(const std::function<QByteArray(const char*)>& variable);

// Applies both choices to this process, before QApplication exists.
void ChooseDesktopPlatform(int argc, char* argv[]);

} // namespace koravel
