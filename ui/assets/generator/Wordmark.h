#pragma once

#include "Raster.h"

#include <QRectF>

#include <vector>

namespace koravel::assets {

// The word "Dreamcast" and a small trade-mark sign, drawn as monoline
// letters so that no installed font takes part. Pixel units of the 150 x 116
// window pictures.

// The area the letters' ink fills, edge to edge.
QRectF WordmarkBox();

std::vector<Stroke> WordmarkStrokes();

} // namespace koravel::assets
