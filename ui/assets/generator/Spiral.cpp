#include "Spiral.h"

#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace koravel::assets {

namespace {

constexpr double kPi = std::numbers::pi;

// A circular spiral whose turns leave gaps one pen wide. With this radius and
// pitch its ink spans about 82 x 76 px: the outer end reaches furthest right,
// each later half turn sits half a pitch further in. The drawn line is then
// fitted exactly into SpiralBox().
constexpr double kCentreX = 70.0;
constexpr double kCentreY = 44.0;
constexpr double kOuterRadius = 41.0;
constexpr double kPitch = 12.0;
constexpr double kPenWidth = 6.0;

// The even winding stops here; the rest of the line tightens into a hook.
constexpr double kHookStart = 2.0 * 2.0 * kPi;
constexpr double kHookEnd = 2.75 * 2.0 * kPi;
constexpr double kHookDepth = 7.0;

constexpr double kStep = kPi / 8.0;

// Keeps antialiased edges from bleeding into the pixels around the box.
constexpr double kInset = 0.1;

struct Polar {
    double radius;
    double slope; // d radius / d angle
};

Polar RadiusAt(double angle) {
    Polar polar{kOuterRadius - kPitch * angle / (2.0 * kPi), -kPitch / (2.0 * kPi)};
    if (angle > kHookStart) {
        const double span = kHookEnd - kHookStart;
        const double u = (angle - kHookStart) / span;
        polar.radius -= kHookDepth * u * u;
        polar.slope -= 2.0 * kHookDepth * u / span;
    }
    return polar;
}

// Angles grow anticlockwise on screen, where y points down.
QPointF PointAt(double angle) {
    const double r = RadiusAt(angle).radius;
    return {kCentreX + r * std::cos(angle), kCentreY - r * std::sin(angle)};
}

QPointF TangentAt(double angle) {
    const auto [r, dr] = RadiusAt(angle);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    return {dr * c - r * s, -(dr * s + r * c)};
}

// Short cubic pieces matched in position and direction at both ends follow
// the curve far closer than a pixel.
QPainterPath Centreline() {
    QPainterPath path(PointAt(0.0));
    for (double from = 0.0; from < kHookEnd - 1e-9; from += kStep) {
        const double to = std::min(from + kStep, kHookEnd);
        const double third = (to - from) / 3.0;
        path.cubicTo(PointAt(from) + TangentAt(from) * third, PointAt(to) - TangentAt(to) * third,
                     PointAt(to));
    }
    return path;
}

} // namespace

QRectF SpiralBox() {
    return {32.0, 3.0, 82.0, 76.0};
}

Stroke SpiralStroke() {
    const QPainterPath line = Centreline();
    QPainterPathStroker pen;
    pen.setWidth(kPenWidth);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    const QRectF ink = pen.createStroke(line).boundingRect();

    // One scale for both axes keeps the turns round; the ink is centred.
    const QRectF box = SpiralBox().adjusted(kInset, kInset, -kInset, -kInset);
    const double scale = std::min(box.width() / ink.width(), box.height() / ink.height());
    QTransform fit;
    fit.translate(box.center().x(), box.center().y());
    fit.scale(scale, scale);
    fit.translate(-ink.center().x(), -ink.center().y());
    return {fit.map(line), kPenWidth * scale, Qt::FlatCap};
}

} // namespace koravel::assets
