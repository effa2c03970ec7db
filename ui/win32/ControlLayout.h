#pragma once

#include <array>

namespace koravel::win32 {

// A rectangle in twips (1/1440 inch): 15 twips are one pixel at 96 dpi.
struct Twips {
    int left;
    int top;
    int width;
    int height;
};

// What a window class a control is, and its id. Ids start above IDOK and
// IDCANCEL, so that Enter and Escape, which the dialog keys turn into those
// ids, never reach a control's handler.
enum class ControlKind { List, Button, PathBox, Picture };

enum ControlId : int {
    idcboPatch4 = 101,
    idcboPatch3,
    idcboPatch2,
    idcmdPatch,
    idcboPatch1,
    idcmdFlash,
    idtxtFlash,
    idpicPatchBlack,
    idpicPatchRed,
    idpicPatchBlue,
};

struct ControlDesign {
    ControlId id;
    const char* name;
    ControlKind kind;
    Twips twips;
    int tabIndex;
};

// The ten controls in the order they are created.
inline constexpr std::array<ControlDesign, 10> kControls{{
    {idcboPatch4, "cboPatch4", ControlKind::List, {1920, 2520, 1695, 315}, 9},
    {idcboPatch3, "cboPatch3", ControlKind::List, {120, 3240, 3495, 315}, 8},
    {idcboPatch2, "cboPatch2", ControlKind::List, {120, 2880, 3495, 315}, 7},
    {idcmdPatch, "cmdPatch", ControlKind::Button, {120, 3720, 3495, 375}, 4},
    {idcboPatch1, "cboPatch1", ControlKind::List, {120, 2520, 1695, 315}, 3},
    {idcmdFlash, "cmdFlash", ControlKind::Button, {3000, 2040, 615, 315}, 2},
    {idtxtFlash, "txtFlash", ControlKind::PathBox, {120, 2040, 2775, 315}, 1},
    {idpicPatchBlack, "picPatchBlack", ControlKind::Picture, {720, 120, 2310, 1800}, 6},
    {idpicPatchRed, "picPatchRed", ControlKind::Picture, {720, 120, 2310, 1800}, 0},
    {idpicPatchBlue, "picPatchBlue", ControlKind::Picture, {720, 120, 2310, 1800}, 5},
}};

// The window's client area.
inline constexpr int kClientWidthTwips = 3750;
inline constexpr int kClientHeightTwips = 4215;

// Twips to pixels at a screen density: exact at 96 dpi, rounded elsewhere.
constexpr int PixelsFromTwips(int twips, unsigned dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>((scaled + 720) / 1440);
}

} // namespace koravel::win32
