#pragma once

// What a screen reader is told of each control of the main window, the same in
// every front end: X(control, name, description). An empty name leaves the
// control's own caption as its name (the two buttons). The texts are plain
// ASCII string literals, so a front end that needs wide text widens them by
// concatenation (L"" name).
#define KORAVEL_CONTROL_TEXTS(X)                                                                   \
    X(cboPatch1, "Region", "The console's region")                                                 \
    X(cboPatch4, "Swirl colour", "The colour of the swirl the console shows at start-up")          \
    X(cboPatch2, "Broadcast standard", "The television standard the console sends")                \
    X(cboPatch3, "Language", "The console's language")                                             \
    X(txtFlash, "Flash image path", "The flash image file that Patch writes the settings into")    \
    X(cmdFlash, "", "Choose a flash image and show its settings")                                  \
    X(cmdPatch, "", "Write the chosen settings into both copies in the flash image")               \
    X(picPatchRed, "Swirl preview", "Red swirl: the console starts with the red swirl")            \
    X(picPatchBlue, "Swirl preview", "Blue swirl: the console starts with the blue swirl")         \
    X(picPatchBlack, "Swirl preview", "Black swirl: the console starts with the black swirl")

namespace koravel {

struct ControlText {
    const char* name; // empty: the control's caption
    const char* description;
};

#define KORAVEL_CONTROL_TEXT_CONSTANT(control, name, description)                                  \
    inline constexpr ControlText control##Text{name, description};
KORAVEL_CONTROL_TEXTS(KORAVEL_CONTROL_TEXT_CONSTANT)
#undef KORAVEL_CONTROL_TEXT_CONSTANT

} // namespace koravel
