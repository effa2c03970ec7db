#pragma once

#include "Raster.h"

#include <QRectF>

namespace koravel::assets {

// The console's swirl, in pixel units of the 150 x 116 window pictures.
// Every other size (icons, SVG) is this geometry scaled.

// The area the swirl's ink fills, edge to edge.
QRectF SpiralBox();

// One thick line wound inwards, anticlockwise, from its outer end at the right.
Stroke SpiralStroke();

} // namespace koravel::assets
