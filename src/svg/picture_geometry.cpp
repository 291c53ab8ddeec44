#include "svg/picture_geometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "svg/svg_number.h"

namespace morvex {

namespace {

constexpr int kMaxPlaces = 6;
constexpr int kLinearPlaces = 6;  // a matrix's a b c d
constexpr int kOffsetPlaces = 3;  // its e f, TeX points

// Appends v without a leading zero, with a separator only where the
// number before would run on into it.
void appendCoord(std::string& out, double v, int places) {
    std::string n = svgNumber(v, places);
    if (n.rfind("0.", 0) == 0) n.erase(0, 1);
    if (n.rfind("-0.", 0) == 0) n.erase(1, 1);
    if (out.empty() || n.front() == '-') {
        out += n;
        return;
    }
    // The number the text ends with, if it does.
    size_t start = out.size();
    while (start > 0 && ((out[start - 1] >= '0' && out[start - 1] <= '9') || out[start - 1] == '.')) --start;
    const bool endsInNumber = start < out.size();
    const bool hasPoint = out.find('.', start) != std::string::npos;
    if (endsInNumber && (n.front() != '.' || !hasPoint)) out += ' ';
    out += n;
}

}  // namespace

pictures::Affine multiply(const pictures::Affine& m, const pictures::Affine& n) {
    // n after m: (x, y) -> n(m(x, y))
    pictures::Affine r;
    r.a = n.a * m.a + n.c * m.b;
    r.b = n.b * m.a + n.d * m.b;
    r.c = n.a * m.c + n.c * m.d;
    r.d = n.b * m.c + n.d * m.d;
    r.e = n.a * m.e + n.c * m.f + n.e;
    r.f = n.b * m.e + n.d * m.f + n.f;
    return r;
}

pictures::Affine fromPage(const pictures::Affine& m) {
    pictures::Affine r = m;
    r.e -= kPictureOrigin;
    r.f -= kPictureOrigin;
    return r;
}

double scaleOf(const pictures::Affine& m) { return std::sqrt(std::fabs(m.a * m.d - m.b * m.c)); }

double largestScaleOf(const pictures::Affine& m) {
    // The square root of the largest eigenvalue of M^T M.
    const double p = m.a * m.a + m.b * m.b, q = m.a * m.c + m.b * m.d, r = m.c * m.c + m.d * m.d;
    const double mean = (p + r) / 2, spread = std::sqrt((p - r) * (p - r) / 4 + q * q);
    return std::sqrt(mean + spread);
}

namespace {

// 1 / sin(half the angle) between a segment coming in along (ux, uy) and
// one going out along (vx, vy): the miter's length in half widths.
double miterRatio(double ux, double uy, double vx, double vy) {
    const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    if (lu == 0 || lv == 0) return 1;
    const double cosAngle = -(ux * vx + uy * vy) / (lu * lv);
    const double sinHalf = std::sqrt(std::max(0.0, (1 - cosAngle) / 2));
    return sinHalf > 0 ? 1 / sinHalf : 1e300;
}

}  // namespace

double strokeReach(const pictures::Stroke& s) {
    double reach = s.cap == 2 ? std::sqrt(2.0) : 1;
    if (s.join != 0) return reach;
    const std::vector<double>& c = s.path.coords;
    // The direction the path last went in, and the first of its subpath.
    double inX = 0, inY = 0, firstX = 0, firstY = 0, startX = 0, startY = 0, x = 0, y = 0;
    bool haveIn = false, haveFirst = false;
    const auto join = [&](double outX, double outY) {
        if (haveIn) {
            const double ratio = miterRatio(inX, inY, outX, outY);
            if (ratio <= s.miterLimit) reach = std::max(reach, ratio);
        }
    };
    size_t at = 0;
    for (pictures::PathOp op : s.path.ops) {
        const size_t n = op == pictures::PathOp::Curve ? 6 : op == pictures::PathOp::Close ? 0 : 2;
        if (at + n > c.size()) break;
        if (op == pictures::PathOp::Move) {
            x = startX = c[at], y = startY = c[at + 1];
            haveIn = haveFirst = false;
        } else {
            double ax, ay, bx, by, ex, ey;  // out of the point, into the end, the end
            if (op == pictures::PathOp::Close) {
                ex = startX, ey = startY;
                ax = bx = ex - x, ay = by = ey - y;
            } else if (op == pictures::PathOp::Line) {
                ex = c[at], ey = c[at + 1];
                ax = bx = ex - x, ay = by = ey - y;
            } else {
                ex = c[at + 4], ey = c[at + 5];
                ax = c[at] - x, ay = c[at + 1] - y;
                bx = ex - c[at + 2], by = ey - c[at + 3];
            }
            // A segment of no length turns nothing.
            if (ax != 0 || ay != 0 || bx != 0 || by != 0) {
                join(ax, ay);
                if (!haveFirst) firstX = ax, firstY = ay, haveFirst = true;
                inX = bx, inY = by, haveIn = true;
            }
            x = ex, y = ey;
            if (op == pictures::PathOp::Close && haveFirst) join(firstX, firstY);
        }
        at += n;
    }
    return reach;
}

int placesFor(const pictures::Affine& m) {
    const double s = scaleOf(m);
    if (!(s > 0) || !std::isfinite(s)) return kMaxPlaces;
    return std::clamp(static_cast<int>(std::ceil(2 + std::log10(s) - 1e-9)), 0, kMaxPlaces);
}

void appendPathData(std::string& out, const pictures::Path& path, double dx, double dy, int places) {
    const double unit = std::pow(10.0, places);
    const auto q = [unit](double v) { return std::isfinite(v) ? std::llround(v * unit) : 0LL; };
    long long cx = 0, cy = 0, sx = 0, sy = 0;
    bool started = false;
    std::string d;
    size_t at = 0;
    const auto point = [&](long long& x, long long& y) {
        x = q(path.coords[at] + dx);
        y = q(path.coords[at + 1] + dy);
        at += 2;
    };
    for (pictures::PathOp op : path.ops) {
        long long x = 0, y = 0;
        switch (op) {
        case pictures::PathOp::Move:
            if (at + 2 > path.coords.size()) return;
            point(x, y);
            d += started ? 'm' : 'M';
            appendCoord(d, started ? (x - cx) / unit : x / unit, places);
            appendCoord(d, started ? (y - cy) / unit : y / unit, places);
            started = true;
            cx = sx = x, cy = sy = y;
            break;
        case pictures::PathOp::Line:
            if (at + 2 > path.coords.size() || !started) return;
            point(x, y);
            d += 'l';
            appendCoord(d, (x - cx) / unit, places);
            appendCoord(d, (y - cy) / unit, places);
            cx = x, cy = y;
            break;
        case pictures::PathOp::Curve:
            if (at + 6 > path.coords.size() || !started) return;
            d += 'c';
            for (int k = 0; k < 3; ++k) {
                point(x, y);
                appendCoord(d, (x - cx) / unit, places);
                appendCoord(d, (y - cy) / unit, places);
            }
            cx = x, cy = y;
            break;
        case pictures::PathOp::Close:
            if (!started) return;
            d += 'z';
            cx = sx, cy = sy;
            break;
        }
    }
    out += d;
}

void appendMatrix(std::string& out, const pictures::Affine& m) {
    out += "matrix(";
    const double v[6] = {m.a, m.b, m.c, m.d, m.e, m.f};
    for (int i = 0; i < 6; ++i) {
        appendNumber(out, v[i], i < 4 ? kLinearPlaces : kOffsetPlaces);
        out += i < 5 ? ' ' : ')';
    }
}

Extent pathExtent(const pictures::Path& path, const pictures::Affine& m) {
    Extent e;
    for (size_t i = 0; i + 1 < path.coords.size(); i += 2) {
        const double x = path.coords[i], y = path.coords[i + 1];
        e.add(m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f);
    }
    return e;
}

Extent grow(const Extent& e, double by) {
    if (e.empty()) return e;
    Extent g;
    g.add(e.minX - by, e.minY - by);
    g.add(e.maxX + by, e.maxY + by);
    return g;
}

Extent intersect(const Extent& a, const Extent& b) {
    Extent r;
    if (a.empty() || b.empty()) return r;
    const double x0 = std::max(a.minX, b.minX), y0 = std::max(a.minY, b.minY);
    const double x1 = std::min(a.maxX, b.maxX), y1 = std::min(a.maxY, b.maxY);
    if (x0 <= x1 && y0 <= y1) {
        r.add(x0, y0);
        r.add(x1, y1);
    }
    return r;
}

}  // namespace morvex
