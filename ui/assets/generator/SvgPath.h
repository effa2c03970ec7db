#pragma once

#include <QPainterPath>

#include <string>

namespace koravel::assets {

// The path as SVG path data ("M x y L x y C ..."), coordinates to 1/100.
std::string SvgPathData(const QPainterPath& path);

} // namespace koravel::assets
