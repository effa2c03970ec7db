#pragma once

#include <array>
#include <cstddef>

namespace koravel {

// The swirl pictures are drawn at three densities: 1x (96 dpi), 1.5x and 2x.
inline constexpr std::array<double, 3> kPictureScales{1.0, 1.5, 2.0};

// Which drawing suits a screen of this density (1 = 96 dpi): the largest that
// is not denser than the screen, so a picture is never stretched out of its box.
constexpr std::size_t PictureDrawingFor(double density) {
    return density >= 2.0 ? 2 : density >= 1.5 ? 1 : 0;
}

} // namespace koravel
