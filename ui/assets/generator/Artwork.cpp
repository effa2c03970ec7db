#include "Artwork.h"

#include "Spiral.h"
#include "SvgPath.h"
#include "Wordmark.h"

#include <QPainterPathStroker>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace koravel::assets {

namespace {

// Maps the swirl's box onto a square of `size` pixels, centred, leaving a
// margin of 1/32 of the side so the ink never touches the border.
QTransform SquareFit(double size) {
    const QRectF box = SpiralBox();
    const double margin = size / 32.0;
    const double scale = (size - 2 * margin) / std::max(box.width(), box.height());
    QTransform t;
    t.translate(size / 2, size / 2);
    t.scale(scale, scale);
    t.translate(-box.center().x(), -box.center().y());
    return t;
}

// Maps the swirl onto a square of `size` pixels so that its outline's
// farthest point from the box's centre lies `radius` pixels from the square's.
QTransform CircleFit(double size, double radius) {
    const Stroke swirl = SpiralStroke();
    QPainterPathStroker stroker;
    stroker.setWidth(swirl.width);
    stroker.setCapStyle(swirl.cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    const QPointF centre = SpiralBox().center();
    double farthest = 0;
    for (const QPolygonF& polygon : stroker.createStroke(swirl.centreline).toFillPolygons())
        for (const QPointF& point : polygon)
            farthest = std::max(farthest, std::hypot(point.x() - centre.x(), point.y() - centre.y()));
    QTransform t;
    t.translate(size / 2, size / 2);
    t.scale(radius / farthest, radius / farthest);
    t.translate(-centre.x(), -centre.y());
    return t;
}

struct Inks {
    Coverage letters;
    Coverage swirl;
};

// The strokes are drawn through the scale, pens included, so every size is
// rasterised from the outlines rather than resampled from 1x.
Inks DrawInks(double scale) {
    const int width = int(std::lround(kPictureWidth * scale));
    const int height = int(std::lround(kPictureHeight * scale));
    const QTransform toPixels = QTransform::fromScale(scale, scale);
    return {Rasterise(WordmarkStrokes(), width, height, toPixels),
            Rasterise({SpiralStroke()}, width, height, toPixels)};
}

constexpr int kSteps = 127; // coverage levels per ink above none

// Nearest step, so 254 and 255 both give the pure ink and 0 and 1 white.
int Step(std::uint8_t coverage) {
    return (coverage * kSteps + 127) / 255;
}

std::uint8_t StepAmount(int step) {
    return std::uint8_t((step * 255 + kSteps / 2) / kSteps);
}

} // namespace

RgbImage WindowPicture(Rgb swirl, double scale) {
    const Inks inks = DrawInks(scale);
    RgbImage image(inks.swirl.width, inks.swirl.height, kWhite);
    Paint(image, inks.letters, kLetters);
    Paint(image, inks.swirl, swirl);
    return image;
}

IndexedImage PalettedWindowPicture(Rgb swirl, double scale) {
    const Inks inks = DrawInks(scale);
    IndexedImage image{inks.swirl.width, inks.swirl.height, {}, 1 + 2 * kSteps, {}};
    image.palette[0] = kWhite;
    for (int step = 1; step <= kSteps; ++step) {
        image.palette[std::size_t(step)] = Mix(kWhite, swirl, StepAmount(step));
        image.palette[std::size_t(kSteps + step)] = Mix(kWhite, kLetters, StepAmount(step));
    }
    image.indices.reserve(inks.swirl.values.size());
    for (std::size_t i = 0; i < inks.swirl.values.size(); ++i) {
        const std::uint8_t s = inks.swirl.values[i];
        const std::uint8_t l = inks.letters.values[i];
        // The palette has no mixes of the two inks; the layout keeps them apart.
        if (s && l)
            throw std::logic_error("swirl and letters share a pixel");
        const int letterStep = Step(l);
        image.indices.push_back(std::uint8_t(s ? Step(s) : letterStep ? kSteps + letterStep : 0));
    }
    return image;
}

IndexedImage WindowIcon(int size) {
    const Coverage ink = Rasterise({SpiralStroke()}, size, size, SquareFit(size));
    IndexedImage icon{size, size, {}, 256, ink.values};
    for (int i = 0; i < 256; ++i)
        icon.palette[i] = Mix(kIconPaper, kIconInk, std::uint8_t(i));
    return icon;
}

QImage DesktopIcon(int size) {
    const Coverage ink = Rasterise({SpiralStroke()}, size, size, SquareFit(size));
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, qRgba(kSwirlRed.r, kSwirlRed.g, kSwirlRed.b, ink.At(x, y)));
    return image;
}

QImage AppIcon(int size, double inkRadius) {
    const Coverage ink = Rasterise({SpiralStroke()}, size, size, CircleFit(size, inkRadius * size));
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Rgb c = Mix(kIconPaper, kIconInk, ink.At(x, y));
            image.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    return image;
}

std::string DesktopIconSvg() {
    // Drawn in window-picture pixels; the view box is a square around the swirl.
    const QRectF box = SpiralBox();
    const double side = std::max(box.width(), box.height()) * 32.0 / 30.0;
    const QPointF origin = box.center() - QPointF(side / 2, side / 2);
    const Stroke swirl = SpiralStroke();
    char header[256];
    std::snprintf(header, sizeof header,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                  "viewBox=\"%.2f %.2f %.2f %.2f\">\n",
                  origin.x(), origin.y(), side, side);
    char pen[160];
    std::snprintf(pen, sizeof pen,
                  "  <path fill=\"none\" stroke=\"#%02X%02X%02X\" stroke-width=\"%.2f\" "
                  "stroke-linecap=\"butt\" stroke-linejoin=\"round\"\n        d=\"",
                  kSwirlRed.r, kSwirlRed.g, kSwirlRed.b, swirl.width);
    return std::string(header) + pen + SvgPathData(swirl.centreline) + "\"/>\n</svg>\n";
}

} // namespace koravel::assets
