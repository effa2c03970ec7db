#include "Wordmark.h"

#include <utility>

namespace koravel::assets {

namespace {

// Letter pen and the lines the pen's centre runs along. Ink reaches half a
// pen width past each of them.
constexpr double kPen = 3.2;
constexpr double kCapLine = 84.0 + kPen / 2;
constexpr double kXLine = 90.0 + kPen / 2;
constexpr double kBaseLine = 106.0 - kPen / 2;
constexpr double kXHeight = kBaseLine - kXLine;
constexpr double kGap = 1.6; // ink-to-ink space between letters

constexpr double kSmallPen = 1.2;
constexpr double kSmallTop = 99.0 + kSmallPen / 2;
constexpr double kSmallBottom = 106.0 - kSmallPen / 2;

// Sets the letters left to right. A letter is drawn from its left pen line
// over `width` to its right pen line; the next starts a pen and a gap later.
class Writer {
  public:
    explicit Writer(double left) : x_(left + kPen / 2) {}

    // kern < 0 pulls the next letter closer, for shapes that leave open
    // space at their right (an r's arm over a round letter).
    void Letter(QPainterPath (*draw)(double x, double width), double width, double kern = 0.0) {
        strokes_.push_back({draw(x_, width), kPen, Qt::FlatCap});
        x_ += width + kPen + kGap + kern;
    }
    double X() const { return x_; }
    std::vector<Stroke> Take() { return std::move(strokes_); }

  private:
    double x_;
    std::vector<Stroke> strokes_;
};

QRectF XBowl(double left, double width) {
    return {left, kXLine, width, kXHeight};
}

QPainterPath CapitalD(double x, double width) {
    const double bowl = width * 0.62;
    QPainterPath p({x, kCapLine});
    p.lineTo(x + width - bowl, kCapLine);
    p.arcTo(QRectF(x + width - 2 * bowl, kCapLine, 2 * bowl, kBaseLine - kCapLine), 90, -180);
    p.lineTo(x, kBaseLine);
    p.closeSubpath();
    return p;
}

QPainterPath SmallR(double x, double width) {
    // The arm leaves the stem half way up and levels off at the x-height.
    QPainterPath p({x, kXLine});
    p.lineTo(x, kBaseLine);
    const QRectF shoulder(x, kXLine, 2 * width, kXHeight);
    p.arcMoveTo(shoulder, 180);
    p.arcTo(shoulder, 180, -90);
    return p;
}

QPainterPath SmallE(double x, double width) {
    const QRectF bowl = XBowl(x, width);
    QPainterPath p({x, bowl.center().y()});
    p.lineTo(x + width, bowl.center().y());
    p.arcTo(bowl, 0, 312);
    return p;
}

QPainterPath SmallA(double x, double width) {
    const double stem = x + width;
    QPainterPath p;
    p.addEllipse(XBowl(x, width - 0.6));
    p.moveTo(stem, kXLine);
    p.lineTo(stem, kBaseLine);
    return p;
}

QPainterPath SmallM(double x, double width) {
    const double arch = width / 2;
    const double shoulder = kXHeight * 0.42;
    QPainterPath p({x, kXLine});
    p.lineTo(x, kBaseLine);
    for (int i = 0; i < 2; ++i) {
        const double left = x + i * arch;
        p.moveTo(left, kXLine + shoulder);
        p.arcTo(QRectF(left, kXLine, arch, 2 * shoulder), 180, -180);
        p.lineTo(left + arch, kBaseLine);
    }
    return p;
}

QPainterPath SmallC(double x, double width) {
    const QRectF bowl = XBowl(x, width * 1.08);
    QPainterPath p;
    p.arcMoveTo(bowl, 48);
    p.arcTo(bowl, 48, 264);
    return p;
}

QPainterPath SmallS(double x, double width) {
    const double half = kXHeight / 2;
    const QRectF upper(x + 0.3, kXLine, width - 0.6, half);
    const QRectF lower(x, kXLine + half, width, half);
    QPainterPath p;
    p.arcMoveTo(upper, 25);
    p.arcTo(upper, 25, 245);
    p.arcTo(lower, 90, -250);
    return p;
}

QPainterPath SmallT(double x, double width) {
    const double stem = x + 2.2;
    const double curl = width - 2.2;
    QPainterPath p({stem, kCapLine + 2.5});
    p.lineTo(stem, kBaseLine - curl);
    p.arcTo(QRectF(stem, kBaseLine - 2 * curl, 2 * curl, 2 * curl), 180, 90);
    p.lineTo(x + width, kBaseLine);
    p.moveTo(x, kXLine);
    p.lineTo(x + width, kXLine);
    return p;
}

// The trade-mark sign, in a thin pen.
Stroke TradeMark(double x) {
    QPainterPath p({x, kSmallTop});
    p.lineTo(x + 4.0, kSmallTop);
    p.moveTo(x + 2.0, kSmallTop);
    p.lineTo(x + 2.0, kSmallBottom);
    p.moveTo(x + 5.0, kSmallBottom);
    p.lineTo(x + 5.0, kSmallTop);
    p.lineTo(x + 6.9, kSmallBottom - 2.0);
    p.lineTo(x + 8.8, kSmallTop);
    p.lineTo(x + 8.8, kSmallBottom);
    return {p, kSmallPen, Qt::FlatCap};
}

} // namespace

QRectF WordmarkBox() {
    return {3.0, 84.0, 144.0, 24.0};
}

std::vector<Stroke> WordmarkStrokes() {
    Writer w(WordmarkBox().left());
    w.Letter(CapitalD, 13.0);
    w.Letter(SmallR, 6.0, -0.8);
    w.Letter(SmallE, 10.2);
    w.Letter(SmallA, 10.2);
    w.Letter(SmallM, 16.5);
    w.Letter(SmallC, 9.5);
    w.Letter(SmallA, 10.2);
    w.Letter(SmallS, 8.0);
    w.Letter(SmallT, 6.5);
    std::vector<Stroke> strokes = w.Take();
    strokes.push_back(TradeMark(w.X() - kPen / 2));
    return strokes;
}

} // namespace koravel::assets
