#include "fonts/outline_extent.h"

#include <charconv>
#include <cmath>

namespace morvex {

namespace {

// Reads the numbers of a path's data one after the other.
class PathReader {
public:
    explicit PathReader(std::string_view data) : at(data.data()), end(data.data() + data.size()) {}

    // The next command letter, or 0 at the end; a number there instead is
    // left for the repeated operands of the command before.
    char command() {
        skipSeparators();
        if (at == end) return 0;
        const char c = *at;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            ++at;
            return c;
        }
        return ' ';
    }
    bool number(double& v) {
        skipSeparators();
        auto [next, ec] = std::from_chars(at, end, v);
        if (ec != std::errc() || next == at || !std::isfinite(v)) return false;
        at = next;
        return true;
    }

private:
    void skipSeparators() {
        while (at != end && (*at == ' ' || *at == ',' || *at == '\t' || *at == '\n' || *at == '\r')) ++at;
    }
    const char* at;
    const char* end;
};

// The values of t in (0, 1) where a curve's coordinate turns: the roots of
// the derivative a t^2 + b t + c.
template <class F>
void turningPoints(double a, double b, double c, F take) {
    constexpr double kTiny = 1e-12;
    if (std::abs(a) < kTiny) {
        if (std::abs(b) > kTiny) take(-c / b);
        return;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0) return;
    const double root = std::sqrt(disc);
    take((-b + root) / (2 * a));
    take((-b - root) / (2 * a));
}

double cubicAt(double p0, double p1, double p2, double p3, double t) {
    const double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

void addCubic(Extent& e, const double x[4], const double y[4]) {
    e.add(x[0], y[0]);
    e.add(x[3], y[3]);
    for (const double* p : {x, y}) {
        const double a = 3 * (-p[0] + 3 * p[1] - 3 * p[2] + p[3]);
        const double b = 6 * (p[0] - 2 * p[1] + p[2]);
        const double c = 3 * (p[1] - p[0]);
        turningPoints(a, b, c, [&](double t) {
            if (t > 0 && t < 1) e.add(cubicAt(x[0], x[1], x[2], x[3], t), cubicAt(y[0], y[1], y[2], y[3], t));
        });
    }
}

// A quadratic curve is the cubic with its control point two thirds of the
// way from each end.
void addQuadratic(Extent& e, double x0, double y0, double cx, double cy, double x1, double y1) {
    const double x[4] = {x0, x0 + 2 * (cx - x0) / 3, x1 + 2 * (cx - x1) / 3, x1};
    const double y[4] = {y0, y0 + 2 * (cy - y0) / 3, y1 + 2 * (cy - y1) / 3, y1};
    addCubic(e, x, y);
}

}  // namespace

std::optional<Extent> outlineExtent(std::string_view pathData) {
    PathReader in(pathData);
    Extent e;
    double cx = 0, cy = 0;          // the current point
    double startX = 0, startY = 0;  // the subpath's first point
    char op = 0;
    for (;;) {
        char c = in.command();
        if (c == 0) return e;
        if (c == ' ') {
            if (op == 0 || op == 'Z' || op == 'z') return std::nullopt;
            c = op == 'M' ? 'L' : op == 'm' ? 'l' : op;  // operands repeated
        }
        op = c;
        const bool relative = c >= 'a';
        const double ox = relative ? cx : 0, oy = relative ? cy : 0;
        double v[6];
        const auto read = [&](int n) {
            for (int i = 0; i < n; ++i)
                if (!in.number(v[i])) return false;
            return true;
        };
        switch (c) {
            case 'M': case 'm':
                if (!read(2)) return std::nullopt;
                cx = startX = ox + v[0];
                cy = startY = oy + v[1];
                break;
            case 'L': case 'l':
                if (!read(2)) return std::nullopt;
                e.add(cx, cy);
                cx = ox + v[0];
                cy = oy + v[1];
                e.add(cx, cy);
                break;
            case 'H': case 'h':
                if (!read(1)) return std::nullopt;
                e.add(cx, cy);
                cx = ox + v[0];
                e.add(cx, cy);
                break;
            case 'V': case 'v':
                if (!read(1)) return std::nullopt;
                e.add(cx, cy);
                cy = oy + v[0];
                e.add(cx, cy);
                break;
            case 'Q': case 'q':
                if (!read(4)) return std::nullopt;
                addQuadratic(e, cx, cy, ox + v[0], oy + v[1], ox + v[2], oy + v[3]);
                cx = ox + v[2];
                cy = oy + v[3];
                break;
            case 'C': case 'c': {
                if (!read(6)) return std::nullopt;
                const double x[4] = {cx, ox + v[0], ox + v[2], ox + v[4]};
                const double y[4] = {cy, oy + v[1], oy + v[3], oy + v[5]};
                addCubic(e, x, y);
                cx = x[3];
                cy = y[3];
                break;
            }
            case 'Z': case 'z':
                cx = startX;
                cy = startY;
                break;
            default:
                return std::nullopt;
        }
    }
}

}  // namespace morvex
