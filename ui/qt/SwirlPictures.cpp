#include "ui/qt/SwirlPictures.h"

#include "ui/PictureDrawings.h"
#include "ui/qt/BuiltInPicture.h"

#include <QIconEngine>
#include <QPainter>

#include <array>
#include <utility>

namespace koravel {
namespace {

QString BaseName(PictureBox picture) {
    switch (picture) {
    case PictureBox::picPatchRed:
        return QStringLiteral(":/assets/swirl_red");
    case PictureBox::picPatchBlue:
        return QStringLiteral(":/assets/swirl_blue");
    case PictureBox::picPatchBlack:
        return QStringLiteral(":/assets/swirl_black");
    }
    return QStringLiteral(":/assets/swirl_red");
}

// Whether the running Qt asks an icon engine's scaledPixmap for the size in
// device pixels (Qt 6.4) or in logical pixels, to be drawn at the scale it
// passes along (Qt 6.8). Found out once, from an engine that only notes the
// size it is asked for.
bool ScaledPixmapTakesDevicePixels() {
    static const bool devicePixels = [] {
        class SizeProbe final : public QIconEngine {
          public:
            explicit SizeProbe(QSize* asked) : asked_(asked) {}
            void paint(QPainter*, const QRect&, QIcon::Mode, QIcon::State) override {}
            QPixmap pixmap(const QSize&, QIcon::Mode, QIcon::State) override { return {}; }
            QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal) override {
                *asked_ = size;
                return {};
            }
            QIconEngine* clone() const override { return new SizeProbe(asked_); }

          private:
            QSize* asked_;
        };
        QSize asked;
        QIcon(new SizeProbe(&asked)).pixmap(QSize(1, 1), 2.0);
        return asked == QSize(2, 2);
    }();
    return devicePixels;
}

// The window icon's drawings for one screen scale, smallest first, each handed
// out at its own pixel size. Qt gives X the icon as pixmap(size) at the device
// pixel ratio for each available size, so the sizes offered are the drawings'
// sizes in logical pixels (Qt's own pixmap engine offers the pixel sizes, which
// are then scaled once more).
class WindowIconEngine final : public QIconEngine {
  public:
    WindowIconEngine(QList<QPixmap> drawings, qreal scale)
        : drawings_(std::move(drawings)), scale_(scale) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        painter->drawPixmap(rect, Drawing(rect.size() * painter->device()->devicePixelRatioF()));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override { return Drawing(size); }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
        return Drawing(ScaledPixmapTakesDevicePixels() ? size : (QSizeF(size) * scale).toSize());
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        return drawings_.isEmpty() ? QSize() : drawings_.last().size().boundedTo(size);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const QPixmap& drawing : drawings_) {
            sizes.append((QSizeF(drawing.size()) / scale_).toSize());
        }
        return sizes;
    }
    QIconEngine* clone() const override { return new WindowIconEngine(drawings_, scale_); }

  private:
    // The drawing of that many pixels, else the next larger one scaled down,
    // else the largest: never larger than asked.
    QPixmap Drawing(QSize pixels) const {
        for (const QPixmap& drawing : drawings_) {
            if (drawing.width() >= pixels.width()) {
                return drawing.size() == pixels
                           ? drawing
                           : drawing.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            }
        }
        return drawings_.isEmpty() ? QPixmap() : drawings_.last();
    }

    QList<QPixmap> drawings_;
    qreal scale_;
};

} // namespace

qreal PictureScale(qreal devicePixelRatio) {
    return kPictureScales[PictureDrawingFor(devicePixelRatio)];
}

QPixmap SwirlPicture(PictureBox picture, qreal devicePixelRatio) {
    static const std::array<QString, 3> suffixes{
        QStringLiteral(".bmp"), QStringLiteral("@1.5x.bmp"), QStringLiteral("@2x.bmp")};
    const std::size_t drawing = PictureDrawingFor(devicePixelRatio);
    QPixmap pixmap = BuiltInPicture(BaseName(picture) + suffixes[drawing]);
    pixmap.setDevicePixelRatio(kPictureScales[drawing]); // shown at 150 x 116 logical pixels
    return pixmap;
}

QIcon KoravelIcon(qreal devicePixelRatio) {
    // What a window manager draws from the window's own icon: title bars (16
    // pixels at 96 dpi) and task lists (32), so those two sizes at the
    // pictures' scale for this screen. Menus, docks and switchers show the
    // installed themed icons, matched to the window through its class.
    const qreal scale = PictureScale(devicePixelRatio);
    QList<QPixmap> drawings;
    for (int size : {16, 32}) {
        const int pixels = qRound(size * scale);
        drawings.append(BuiltInPicture(
            pixels == 32 ? QStringLiteral(":/assets/swirl_icon.bmp")
                         : QStringLiteral(":/assets/swirl_icon_%1.bmp").arg(pixels)));
    }
    return QIcon(new WindowIconEngine(std::move(drawings), scale));
}

} // namespace koravel
