#pragma once

#include "BitmapFiles.h"
#include "Raster.h"

#include <QImage>

#include <string>

namespace koravel::assets {

inline constexpr int kPictureWidth = 150;
inline constexpr int kPictureHeight = 116;
inline constexpr int kIconSize = 32;

inline constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
inline constexpr Rgb kSwirlRed{0xB1, 0x38, 0x29};
inline constexpr Rgb kSwirlBlue{0x48, 0x66, 0xA2};
inline constexpr Rgb kSwirlBlack{0x0F, 0x0F, 0x0F};
inline constexpr Rgb kLetters{0x0B, 0x0B, 0x0B};
inline constexpr Rgb kIconInk{0xB1, 0x37, 0x28};
inline constexpr Rgb kIconPaper{0xFE, 0xFF, 0xFC};

// Swirl over the word, on white; the three window pictures differ only in
// the swirl's colour. `scale` redraws the same geometry for denser screens
// (1.5 gives 225 x 174, 2 gives 300 x 232); it must give whole pixels.
RgbImage WindowPicture(Rgb swirl, double scale = 1.0);

// The same picture in 255 colours, for 8-bit files. Each ink's coverage is
// rounded to 127ths, so the palette is the same for every drawing: 0 is
// white, 1 to 127 the swirl's colour at 1/127 to 127/127 over white, 128 to
// 254 the letters' colour likewise. The three swirls thus share every index
// and differ only in palette entries 1 to 127.
IndexedImage PalettedWindowPicture(Rgb swirl, double scale = 1.0);

// The swirl alone, `size` pixels square, opaque; palette index = ink coverage.
IndexedImage WindowIcon(int size = kIconSize);

// The red swirl alone on a transparent square of the given side.
QImage DesktopIcon(int size);

// The swirl on the window icon's paper, opaque, `size` pixels square, for
// the web app's home-screen and launcher icons. The ink's farthest point
// lies `inkRadius` sides from the centre: 15/32 fills the square as the
// window icon does; 0.4 keeps it inside the safe zone of a maskable icon,
// which launchers may crop to any shape that holds that circle.
QImage AppIcon(int size, double inkRadius);

// The same swirl as a scalable SVG document.
std::string DesktopIconSvg();

} // namespace koravel::assets
