#include "svg/picture_markup.h"

#include <cmath>
#include <cstdio>

#include "base/fnv.h"
#include "svg/picture_images.h"
#include "svg/png_image.h"
#include "svg/svg_number.h"

namespace morvex {

namespace {

constexpr int kRatioPlaces = 4;  // opacities, stop offsets
constexpr int kWidthPlaces = 4;
// The device's thinnest line, for a stroke of width 0: a quarter point.
constexpr double kThinnest = 0.25;
// SVG's default miter limit, left unwritten.
constexpr double kSvgMiterLimit = 4;
// The clips around one paint, at most.
constexpr size_t kMaxClipDepth = 32;
// Patterns within the cells of patterns, at most.
constexpr int kMaxCellDepth = 4;
// Bezier circle constant.
constexpr double kKappa = 0.5522847498;

using pictures::Affine;
using pictures::Path;
using pictures::PathOp;

void appendHex(std::string& out, pictures::Rgb8 c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    out += buf;
}

void appendOpacity(std::string& out, const char* name, double alpha) {
    if (alpha >= 1) return;
    out += ' ';
    out += name;
    out += "=\"";
    appendNumber(out, std::max(alpha, 0.0), kRatioPlaces);
    out += '"';
}

Path mapped(const Path& p, const Affine& m) {
    Path r = p;
    for (size_t i = 0; i + 1 < r.coords.size(); i += 2) {
        const double x = p.coords[i], y = p.coords[i + 1];
        r.coords[i] = m.a * x + m.c * y + m.e;
        r.coords[i + 1] = m.b * x + m.d * y + m.f;
    }
    return r;
}

Path rectangle(double x0, double y0, double x1, double y1) {
    Path p;
    p.ops = {PathOp::Move, PathOp::Line, PathOp::Line, PathOp::Line, PathOp::Close};
    p.coords = {x0, y0, x1, y0, x1, y1, x0, y1};
    return p;
}

Path circle(double cx, double cy, double r) {
    Path p;
    p.ops = {PathOp::Move, PathOp::Curve, PathOp::Curve, PathOp::Curve, PathOp::Curve, PathOp::Close};
    const double k = kKappa * r;
    p.coords = {cx + r, cy,     cx + r, cy + k, cx + k, cy + r, cx,     cy + r, cx - k, cy + r, cx - r, cy + k,
                cx - r, cy,     cx - r, cy - k, cx - k, cy - r, cx,     cy - r, cx + k, cy - r, cx + r, cy - k,
                cx + r, cy};
    return p;
}

bool invertible(const Affine& m) { return std::isfinite(scaleOf(m)) && scaleOf(m) > 1e-12; }

Affine inverse(const Affine& m) {
    const double det = m.a * m.d - m.b * m.c;
    Affine r;
    r.a = m.d / det;
    r.b = -m.b / det;
    r.c = -m.c / det;
    r.d = m.a / det;
    r.e = -(r.a * m.e + r.c * m.f);
    r.f = -(r.b * m.e + r.d * m.f);
    return r;
}

std::string pathElement(const Path& p, int places, const char* extra = "") {
    std::string out = "\n<path";
    out += extra;
    out += " d=\"";
    appendPathData(out, p, 0, 0, places);
    out += "\"/>";
    return out;
}

}  // namespace

PictureMarkup::PictureMarkup(const pictures::Report& report, double width, double height)
    : report(report), width(width), height(height) {}

void PictureMarkup::beginPage(bool ownDocument) {
    if (ownDocument) defined.clear();
}

std::string PictureMarkup::idFor(char kind, const std::string& definition) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "mvx-%c%016llx", kind, static_cast<unsigned long long>(fnv1a64(definition)));
    return buf;
}

// The clip's element, unless the document has it (by id: two clips of one
// path within one parent are one clip); parent is the id of the clip it is
// drawn within, empty for none.
std::string PictureMarkup::defineClip(uint32_t id, const std::string& parent) {
    if (auto known = clipIds.find(id); known != clipIds.end() && defined.count(known->second) != 0) return {};
    const pictures::ClipDef& def = report.clips.at(id);
    std::string body = " d=\"";
    appendPathData(body, def.path, -shift, -shift, 2);
    body += '"';
    if (def.evenOdd) body += " clip-rule=\"evenodd\"";
    const std::string name = idFor('c', body + parent);
    clipIds[id] = name;
    if (!defined.insert(name).second) return {};
    return "\n<clipPath id=\"" + name + "\"><path" + body + "/></clipPath>";
}

// The clips a paint lies in as nested groups, the outermost first. Past
// kMaxClipDepth the outer ones are let go: a special that nests clips
// without end would otherwise nest groups without end.
PictureMarkup::Opening PictureMarkup::clipOpening(uint32_t clip) {
    Opening o;
    std::vector<uint32_t> chain;  // innermost first
    for (uint32_t id = clip; id != 0 && chain.size() < kMaxClipDepth;) {
        auto it = report.clips.find(id);
        if (it == report.clips.end()) break;
        chain.push_back(id);
        id = it->second.parent;
    }
    std::string parent;
    for (auto id = chain.rbegin(); id != chain.rend(); ++id) {
        o.defs += defineClip(*id, parent);
        parent = clipIds[*id];
        o.open += "\n<g clip-path=\"url(#" + parent + ")\">";
        ++o.depth;
        const Extent e = pathExtent(report.clips.at(*id).path, fromPage({}));
        o.bounds = o.clipped ? intersect(o.bounds, e) : e;
        o.clipped = true;
    }
    return o;
}

DrawnMarkup PictureMarkup::paints(const std::vector<pictures::Paint>& list) {
    DrawnMarkup out;
    std::string current;  // the open group: its clip opening and its tag
    uint32_t open = 0;
    const auto close = [&] {
        for (; open > 0; --open) out.elements += "\n</g>";
        current.clear();
    };
    for (const pictures::Paint& paint : list) {
        uint32_t clip = 0;
        std::visit([&clip](const auto& p) { clip = p.clip; }, paint);
        const Opening opening = clipOpening(clip);
        std::string defs;
        Element e = element(paint, defs);
        if (e.body.empty()) continue;
        if (opening.clipped) e.ink = intersect(e.ink, opening.bounds);
        out.ink.add(e.ink);
        out.elements += opening.defs;
        out.elements += defs;
        const std::string key = opening.open + e.group;
        if (key != current || key.empty()) {
            close();
            out.elements += key;
            open = opening.depth + (e.group.empty() ? 0 : 1);
            current = key;
        }
        out.elements += e.body;
    }
    close();
    return out;
}

PictureMarkup::Element PictureMarkup::element(const pictures::Paint& paint, std::string& defs) {
    if (const auto* f = std::get_if<pictures::Fill>(&paint)) return fill(*f);
    if (const auto* s = std::get_if<pictures::Stroke>(&paint)) return stroke(*s);
    if (const auto* g = std::get_if<pictures::Gradient>(&paint)) return gradient(*g, defs);
    if (const auto* i = std::get_if<pictures::Image>(&paint)) return image(*i);
    if (const auto* m = std::get_if<pictures::ImageMask>(&paint)) return mask(*m);
    if (const auto* p = std::get_if<pictures::PatternPaint>(&paint)) return pattern(*p, defs);
    return {};
}

PictureMarkup::Element PictureMarkup::fill(const pictures::Fill& f) const {
    Element e;
    e.group = "\n<g fill=\"";
    appendHex(e.group, f.color);
    e.group += '"';
    if (f.evenOdd) e.group += " fill-rule=\"evenodd\"";
    appendOpacity(e.group, "fill-opacity", f.alpha);
    e.group += '>';
    e.body = "\n<path d=\"";
    appendPathData(e.body, f.path, -shift, -shift, 2);
    e.body += "\"/>";
    Affine move;
    move.e = move.f = -shift;
    e.ink = pathExtent(f.path, move);
    return e;
}

PictureMarkup::Element PictureMarkup::stroke(const pictures::Stroke& s) const {
    Element e;
    Affine m = s.matrix;
    m.e -= shift;
    m.f -= shift;
    if (!invertible(m) || s.path.empty()) return e;
    const double scale = scaleOf(m);
    const double width = s.width > 0 ? s.width : kThinnest / scale;
    e.group = "\n<g fill=\"none\" stroke=\"";
    appendHex(e.group, s.color);
    e.group += "\" stroke-width=\"";
    appendNumber(e.group, width, std::max(kWidthPlaces, placesFor(m) + 1));
    e.group += '"';
    if (s.cap == 1) e.group += " stroke-linecap=\"round\"";
    if (s.cap == 2) e.group += " stroke-linecap=\"square\"";
    if (s.join == 1) e.group += " stroke-linejoin=\"round\"";
    if (s.join == 2) e.group += " stroke-linejoin=\"bevel\"";
    if (s.join == 0 && s.miterLimit != kSvgMiterLimit) {
        e.group += " stroke-miterlimit=\"";
        appendNumber(e.group, std::max(s.miterLimit, 1.0), kRatioPlaces);
        e.group += '"';
    }
    bool anyDash = false;
    for (double d : s.dashes) anyDash = anyDash || d > 0;
    if (anyDash) {
        e.group += " stroke-dasharray=\"";
        for (size_t i = 0; i < s.dashes.size(); ++i) {
            if (i > 0) e.group += ' ';
            appendNumber(e.group, std::max(s.dashes[i], 0.0), kWidthPlaces);
        }
        e.group += '"';
        if (s.dashOffset != 0) {
            e.group += " stroke-dashoffset=\"";
            appendNumber(e.group, s.dashOffset, kWidthPlaces);
            e.group += '"';
        }
    }
    appendOpacity(e.group, "stroke-opacity", s.alpha);
    e.group += " transform=\"";
    appendMatrix(e.group, m);
    e.group += "\">";
    e.body = "\n<path d=\"";
    appendPathData(e.body, s.path, 0, 0, placesFor(m));
    e.body += "\"/>";
    e.ink = grow(pathExtent(s.path, m), width / 2 * largestScaleOf(m) * strokeReach(s));
    return e;
}

PictureMarkup::Element PictureMarkup::gradient(const pictures::Gradient& g, std::string& defs) {
    Element e;
    Affine m = g.matrix;
    m.e -= shift;
    m.f -= shift;
    const size_t need = g.radial ? 6 : 4;
    if (!invertible(m) || g.coords.size() < need || g.stops.empty()) return e;
    std::string def = g.radial ? "<radialGradient" : "<linearGradient";
    def += " gradientUnits=\"userSpaceOnUse\" gradientTransform=\"";
    appendMatrix(def, m);
    def += '"';
    static const char* const kAxial[] = {"x1", "y1", "x2", "y2"};
    // SVG's focal circle is PostScript's first, its circle the second.
    static const char* const kRadial[] = {"fx", "fy", "fr", "cx", "cy", "r"};
    for (size_t i = 0; i < need; ++i) {
        def += ' ';
        def += g.radial ? kRadial[i] : kAxial[i];
        def += "=\"";
        appendNumber(def, g.coords[i], 4);
        def += '"';
    }
    def += '>';
    for (const pictures::GradientStop& s : g.stops) {
        def += "<stop offset=\"";
        appendNumber(def, s.offset, kRatioPlaces);
        def += "\" stop-color=\"";
        appendHex(def, s.color);
        def += "\"/>";
    }
    def += g.radial ? "</radialGradient>" : "</linearGradient>";
    const std::string id = idFor('g', def);
    if (defined.insert(id).second) defs += "\n" + def.insert(def.find(' '), " id=\"" + id + "\"");

    // The area painted: the page (a clip cuts it down), or, where the
    // shading does not extend, its own shape in its space.
    const Path page = rectangle(-shift, -shift, width - shift, height - shift);
    Path area = page;
    if (!g.radial && (!g.extendStart || !g.extendEnd)) {
        const Affine back = inverse(m);
        const Extent inSpace = pathExtent(page, back);
        const double far = 2 * std::hypot(inSpace.maxX - inSpace.minX, inSpace.maxY - inSpace.minY) + 1;
        const double x0 = g.coords[0], y0 = g.coords[1], x1 = g.coords[2], y1 = g.coords[3];
        const double len = std::hypot(x1 - x0, y1 - y0);
        if (len > 0) {
            const double ux = (x1 - x0) / len, uy = (y1 - y0) / len;
            const double s0 = g.extendStart ? -far : 0, s1 = g.extendEnd ? len + far : len;
            Path strip;
            strip.ops = {PathOp::Move, PathOp::Line, PathOp::Line, PathOp::Line, PathOp::Close};
            strip.coords = {x0 + ux * s0 - uy * far, y0 + uy * s0 + ux * far, x0 + ux * s1 - uy * far,
                            y0 + uy * s1 + ux * far, x0 + ux * s1 + uy * far, y0 + uy * s1 - ux * far,
                            x0 + ux * s0 + uy * far, y0 + uy * s0 - ux * far};
            area = mapped(strip, m);
        }
    } else if (g.radial && !g.extendEnd) {
        area = mapped(circle(g.coords[3], g.coords[4], g.coords[5]), m);
    }
    e.group = "\n<g fill=\"url(#" + id + ")\"";
    appendOpacity(e.group, "fill-opacity", g.alpha);
    e.group += '>';
    e.body = pathElement(area, 2);
    e.ink = intersect(pathExtent(area, {}), pathExtent(page, {}));
    return e;
}

PictureMarkup::Element PictureMarkup::image(const pictures::Image& i) const {
    Element e;
    std::vector<uint8_t> pixels;
    PngColor color = PngColor::Gray;
    if (!imagePixels(i, pixels, color)) return e;
    const std::string data =
        pngDataUri(static_cast<uint32_t>(i.width), static_cast<uint32_t>(i.height), color, pixels);
    Affine m = i.matrix;
    m.e -= shift;
    m.f -= shift;
    if (data.empty() || !invertible(m)) return e;
    if (i.alpha < 1) {
        e.group = "\n<g";
        appendOpacity(e.group, "opacity", i.alpha);
        e.group += '>';
    }
    e.body = "\n<image width=\"1\" height=\"1\" preserveAspectRatio=\"none\"";
    if (!i.interpolate) e.body += " style=\"image-rendering:pixelated\"";
    e.body += " transform=\"";
    appendMatrix(e.body, m);
    e.body += "\" xlink:href=\"" + data + "\"/>";
    e.ink = pathExtent(rectangle(0, 0, 1, 1), m);
    return e;
}

PictureMarkup::Element PictureMarkup::mask(const pictures::ImageMask& k) const {
    Element e;
    std::vector<uint8_t> pixels;
    if (!maskPixels(k, pixels)) return e;
    const std::string data =
        pngDataUri(static_cast<uint32_t>(k.width), static_cast<uint32_t>(k.height), PngColor::Rgba, pixels);
    Affine m = k.matrix;
    m.e -= shift;
    m.f -= shift;
    if (data.empty() || !invertible(m)) return e;
    if (k.alpha < 1) {
        e.group = "\n<g";
        appendOpacity(e.group, "opacity", k.alpha);
        e.group += '>';
    }
    e.body = "\n<image width=\"1\" height=\"1\" preserveAspectRatio=\"none\" transform=\"";
    appendMatrix(e.body, m);
    e.body += "\" xlink:href=\"" + data + "\"/>";
    e.ink = pathExtent(rectangle(0, 0, 1, 1), m);
    return e;
}

// A tiling cell as a pattern; its records are in its own space.
// An uncoloured cell (paint type 2) paints in tint, the colour it is
// tiled with.
std::string PictureMarkup::defineCell(uint32_t id, pictures::Rgb8 tint) {
    auto it = report.cells.find(id);
    if (it == report.cells.end()) return {};
    const pictures::Cell& cell = it->second;
    const bool uncoloured = cell.paintType == 2;
    if (auto known = cellIds.find(id); !uncoloured && known != cellIds.end() && defined.count(known->second) != 0)
        return known->second;
    Affine m = cell.matrix;
    m.e -= shift;
    m.f -= shift;
    if (!invertible(m) || cell.xStep == 0 || cell.yStep == 0) return {};
    const double saved = shift;
    shift = 0;
    std::string def = "<pattern patternUnits=\"userSpaceOnUse\" x=\"";
    appendNumber(def, cell.box[0], 4);
    def += "\" y=\"";
    appendNumber(def, cell.box[1], 4);
    def += "\" width=\"";
    appendNumber(def, std::fabs(cell.xStep), 4);
    def += "\" height=\"";
    appendNumber(def, std::fabs(cell.yStep), 4);
    def += "\" patternTransform=\"";
    appendMatrix(def, m);
    def += "\">";
    std::string inner;
    for (const pictures::Paint& p : cell.paints) {
        pictures::Paint flat = p;
        std::visit(
            [&](auto& q) {
                q.clip = 0;
                if constexpr (requires { q.color; })
                    if (uncoloured) q.color = tint;
            },
            flat);
        Element e = element(flat, inner);
        inner += e.group + e.body + (e.group.empty() ? "" : "\n</g>");
    }
    shift = saved;
    def += inner + "</pattern>";
    const std::string name = idFor('p', def);
    cellIds[id] = name;
    if (!defined.insert(name).second) return name;
    cellDefs = "\n" + def.insert(def.find(' '), " id=\"" + name + "\"");
    return name;
}

PictureMarkup::Element PictureMarkup::pattern(const pictures::PatternPaint& p, std::string& defs) {
    Element e;
    // A cell painting with a cell painting with a cell...: a few levels.
    if (cellDepth >= kMaxCellDepth) return e;
    cellDefs.clear();
    ++cellDepth;
    const std::string id = defineCell(p.cell, p.color);
    --cellDepth;
    if (id.empty()) return e;
    defs += cellDefs;
    const Path page = rectangle(-shift, -shift, width - shift, height - shift);
    e.group = "\n<g fill=\"url(#" + id + ")\"";
    appendOpacity(e.group, "fill-opacity", p.alpha);
    e.group += '>';
    e.body = pathElement(page, 2);
    e.ink = pathExtent(page, {});
    return e;
}

ItemFrame PictureMarkup::frame(const pictures::EndState& end, std::string& defs) {
    ItemFrame f;
    // The page's transformation in the DVI origin's space.
    Affine toPage;
    toPage.e = toPage.f = kPictureOrigin;
    const Affine t = fromPage(multiply(toPage, end.transform));
    if (!end.transform.identity()) {
        f.a = t.a, f.b = t.b, f.c = t.c, f.d = t.d, f.e = t.e, f.f = t.f;
    }
    const Opening o = clipOpening(end.clip);
    defs += o.defs;
    f.open = o.open;
    f.depth = o.depth;
    if (end.invisible || end.alpha < 1) {
        f.open += "\n<g";
        appendOpacity(f.open, "opacity", end.invisible ? 0 : end.alpha);
        f.open += '>';
        ++f.depth;
    }
    return f;
}

}  // namespace morvex
