#pragma once

namespace koravel {

// Makes Qt's accessibility layer describe the main window as the other front
// ends do: the window a frame named by its caption, each list named by the
// setting it holds, with the chosen item as its value. Call it before the
// window is created; further calls do nothing.
void InstallScreenReaderNames();

} // namespace koravel
