#pragma once

#include <QPainterPath>
#include <QTransform>

#include <cstdint>
#include <vector>

namespace koravel::assets {

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// One line of a drawing: a centre line and the width of the pen that follows it.
struct Stroke {
    QPainterPath centreline;
    qreal width;
    Qt::PenCapStyle cap = Qt::FlatCap;
};

// Antialiased coverage per pixel, 0 = untouched, 255 = fully inside; rows top-down.
struct Coverage {
    int width;
    int height;
    std::vector<std::uint8_t> values;
    std::uint8_t At(int x, int y) const { return values[std::size_t(y) * width + x]; }
};

// Rows top-down, no padding.
struct RgbImage {
    RgbImage(int w, int h, Rgb fill) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
    Rgb& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }
    const Rgb& At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
    int width;
    int height;
    std::vector<Rgb> pixels;
};

// Draws the strokes (given in drawing units, mapped by toPixels) into a coverage mask.
Coverage Rasterise(const std::vector<Stroke>& strokes, int width, int height,
                   const QTransform& toPixels = {});

// `over` laid on `under` at amount/255 opacity, rounded to nearest.
Rgb Mix(Rgb under, Rgb over, std::uint8_t amount);

// Paints a solid colour through a coverage mask of the same size.
void Paint(RgbImage& image, const Coverage& coverage, Rgb colour);

} // namespace koravel::assets
