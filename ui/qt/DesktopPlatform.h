#pragma once

#include <QByteArray>

#include <functional>

namespace koravel {

// The Qt platform to ask for, for the session the program starts in, or an
// empty array to leave the choice to Qt. `variable` reads the environment;
// `platformArgument` is whether the command line names a platform itself.
QByteArray PreferredPlatform(const std::function<QByteArray(const char*)>& variable,
                             bool platformArgument);

// Applies PreferredPlatform to this process, before QApplication exists.
void ChooseDesktopPlatform(int argc, char* argv[]);

} // namespace koravel
