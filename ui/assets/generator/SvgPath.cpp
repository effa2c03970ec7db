#include "SvgPath.h"

#include <cmath>
#include <cstdio>

namespace koravel::assets {

namespace {

// Fixed decimals with trailing zeros dropped; printf, not streams, so the
// text never depends on a locale.
std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", std::round(v * 100.0) / 100.0);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

void Point(std::string& out, const QPainterPath::Element& e) {
    out += Number(e.x);
    out += ' ';
    out += Number(e.y);
}

} // namespace

std::string SvgPathData(const QPainterPath& path) {
    std::string out;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (!out.empty())
            out += ' ';
        if (e.isMoveTo()) {
            out += "M ";
            Point(out, e);
        } else if (e.isLineTo()) {
            out += "L ";
            Point(out, e);
        } else if (e.isCurveTo()) {
            // A curve is stored as its first control point followed by two
            // CurveToDataElements.
            out += "C ";
            Point(out, e);
            for (int k = 1; k <= 2; ++k) {
                out += ' ';
                Point(out, path.elementAt(i + k));
            }
            i += 2;
        }
    }
    return out;
}

} // namespace koravel::assets
