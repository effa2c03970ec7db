#include "Artwork.h"

#include "Spiral.h"
#include "SvgPath.h"
#include "Wordmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

} // namespace

RgbImage WindowPicture(Rgb swirl, double scale) {
    // The strokes are drawn through the scale, pens included, so every size
    // is rasterised from the outlines rather than resampled from 1x.
    const int width = int(std::lround(kPictureWidth * scale));
    const int height = int(std::lround(kPictureHeight * scale));
    const QTransform toPixels = QTransform::fromScale(scale, scale);
    RgbImage image(width, height, kWhite);
    Paint(image, Rasterise(WordmarkStrokes(), width, height, toPixels), kLetters);
    Paint(image, Rasterise({SpiralStroke()}, width, height, toPixels), swirl);
    return image;
}

IndexedImage WindowIcon() {
    const Coverage ink = Rasterise({SpiralStroke()}, kIconSize, kIconSize, SquareFit(kIconSize));
    IndexedImage icon{kIconSize, kIconSize, {}, ink.values};
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
