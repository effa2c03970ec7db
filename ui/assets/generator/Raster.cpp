#include "Raster.h"

#include <QImage>
#include <QPainter>
#include <QPen>

namespace koravel::assets {

Coverage Rasterise(const std::vector<Stroke>& strokes, int width, int height,
                   const QTransform& toPixels) {
    // Qt's rasteriser gives exact coverage in the alpha channel; colours are
    // mixed afterwards so that a fully covered pixel is exactly the ink colour.
    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(toPixels);
        for (const Stroke& stroke : strokes) {
            QPen pen(Qt::black, stroke.width, Qt::SolidLine, stroke.cap, Qt::RoundJoin);
            painter.strokePath(stroke.centreline, pen);
        }
    }
    Coverage coverage{width, height, {}};
    coverage.values.reserve(std::size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < width; ++x)
            coverage.values.push_back(std::uint8_t(qAlpha(row[x])));
    }
    return coverage;
}

Rgb Mix(Rgb under, Rgb over, std::uint8_t amount) {
    auto channel = [amount](int a, int b) {
        return std::uint8_t((a * (255 - amount) + b * amount + 127) / 255);
    };
    return {channel(under.r, over.r), channel(under.g, over.g), channel(under.b, over.b)};
}

void Paint(RgbImage& image, const Coverage& coverage, Rgb colour) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (std::uint8_t amount = coverage.At(x, y))
                image.At(x, y) = Mix(image.At(x, y), colour, amount);
}

} // namespace koravel::assets
