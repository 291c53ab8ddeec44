#include "pictures/report_fields.h"

#include <cmath>

namespace morvex::pictures {

namespace {

// What a page needs and a double holds exactly: far beyond any page.
constexpr int64_t kNumberLimit = 999'999'999'999'999;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool Affine::identity(double tolerance) const {
    return std::fabs(a - 1) <= tolerance && std::fabs(b) <= tolerance && std::fabs(c) <= tolerance &&
           std::fabs(d - 1) <= tolerance && std::fabs(e) <= tolerance * 1000 && std::fabs(f) <= tolerance * 1000;
}

bool Fields::next(std::string_view& field) {
    if (rest.empty()) return false;
    size_t space = rest.find(' ');
    field = rest.substr(0, space);
    if (field.empty()) return false;  // two spaces, or one at an end
    if (space == std::string_view::npos) {
        rest = {};
    } else {
        rest.remove_prefix(space + 1);
        if (rest.empty()) return false;  // a space at the end
    }
    return true;
}

bool Fields::word(std::string_view expected) {
    std::string_view f;
    return next(f) && f == expected;
}

bool Fields::integer(int64_t& value, int64_t low, int64_t high) {
    std::string_view f;
    if (!next(f)) return false;
    bool negative = !f.empty() && f.front() == '-';
    if (negative) f.remove_prefix(1);
    if (f.empty() || f.size() > 15) return false;
    int64_t v = 0;
    for (char c : f) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v < low || v > high) return false;
    value = v;
    return true;
}

bool Fields::index(size_t& value, size_t limit) {
    int64_t v = 0;
    if (limit == 0 || !integer(v, 0, static_cast<int64_t>(limit) - 1)) return false;
    value = static_cast<size_t>(v);
    return true;
}

bool Fields::id(uint32_t& value) {
    int64_t v = 0;
    if (!integer(v, 0, 0xFFFFFFFFLL)) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

bool Fields::milli(double& value) {
    int64_t v = 0;
    if (!integer(v, -kNumberLimit, kNumberLimit)) return false;
    value = static_cast<double>(v) / 1000;
    return true;
}

bool Fields::micro(double& value) {
    int64_t v = 0;
    if (!integer(v, -kNumberLimit, kNumberLimit)) return false;
    value = static_cast<double>(v) / 1000000;
    return true;
}

bool Fields::unit(double& value) {
    int64_t v = 0;
    if (!integer(v, 0, 1000000)) return false;
    value = static_cast<double>(v) / 1000000;
    return true;
}

bool Fields::flag(bool& value) {
    int64_t v = 0;
    if (!integer(v, 0, 1)) return false;
    value = v == 1;
    return true;
}

bool Fields::color(Rgb8& value) {
    std::string_view f;
    if (!next(f) || f.size() != 6) return false;
    uint8_t c[3];
    for (int i = 0; i < 3; ++i) {
        int hi = hexDigit(f[2 * i]), lo = hexDigit(f[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        c[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    value = Rgb8{c[0], c[1], c[2]};
    return true;
}

bool Fields::hex(std::string& bytes, size_t maxBytes) {
    std::string_view f;
    if (!next(f) || f.size() < 2 || f.front() != '<' || f.back() != '>') return false;
    f = f.substr(1, f.size() - 2);
    if (f.size() % 2 != 0 || f.size() / 2 > maxBytes) return false;
    std::string out;
    out.reserve(f.size() / 2);
    for (size_t i = 0; i < f.size(); i += 2) {
        int hi = hexDigit(f[i]), lo = hexDigit(f[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    bytes = std::move(out);
    return true;
}

bool Fields::matrix(Affine& value, bool lengths) {
    Affine m;
    double* linear[] = {&m.a, &m.b, &m.c, &m.d};
    for (double* x : linear)
        if (!(lengths ? milli(*x) : micro(*x))) return false;
    if (!milli(m.e) || !milli(m.f)) return false;
    value = m;
    return true;
}

bool Fields::path(Path& value) {
    Path p;
    std::string_view op;
    while (next(op)) {
        int n = 0;
        if (op == "E") {
            value = std::move(p);
            return true;
        } else if (op == "M") {
            p.ops.push_back(PathOp::Move), n = 2;
        } else if (op == "L") {
            p.ops.push_back(PathOp::Line), n = 2;
        } else if (op == "C") {
            p.ops.push_back(PathOp::Curve), n = 6;
        } else if (op == "Z") {
            p.ops.push_back(PathOp::Close);
        } else {
            return false;
        }
        // A path begins with a move, as PostScript's always do.
        if (p.ops.front() != PathOp::Move) return false;
        for (int i = 0; i < n; ++i) {
            double x = 0;
            if (!milli(x)) return false;
            p.coords.push_back(x);
        }
    }
    return false;
}

}  // namespace morvex::pictures
