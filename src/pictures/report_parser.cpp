// The picture program's records, each checked whole before it counts.
#include <algorithm>

#include "pictures/report.h"
#include "pictures/report_fields.h"

namespace morvex::pictures {

namespace {

// Bounds on what one record may ask for: far beyond a page's pictures.
constexpr size_t kMaxTextBytes = 65536;
constexpr size_t kMaxImageBytes = 16u << 20;
constexpr int64_t kMaxImageSide = 1 << 20;
constexpr int64_t kMaxDashes = 1024;

class Parser {
public:
    Parser(size_t chunkCount) { report.chunks.resize(chunkCount); }

    void line(std::string_view text);
    Report take() { return std::move(report); }

private:
    bool record(char tag, Fields& f);
    bool chunkBegin(Fields& f);
    bool chunkEnd(Fields& f);
    bool chunkError(Fields& f);
    bool fill(Fields& f);
    bool stroke(Fields& f);
    bool clip(Fields& f);
    bool gradient(Fields& f);
    bool image(Fields& f);
    bool mask(Fields& f);
    bool cellBegin(Fields& f);
    bool cellEnd(Fields& f);
    bool patternPaint(Fields& f);
    bool link(Fields& f);
    bool destination(Fields& f);
    bool fatal(Fields& f);

    bool knownClip(uint32_t id) const { return id == 0 || report.clips.count(id) != 0; }
    ChunkReport* chunk() { return open ? &report.chunks[*open] : nullptr; }
    // A paint goes to the pattern cell being reported, else to the chunk.
    bool paint(Paint p);

    Report report;
    std::optional<size_t> open;      // the chunk that began and has not ended
    std::vector<Cell> cellsOpen;     // cells being reported, innermost last
};

void Parser::line(std::string_view text) {
    if (text.empty() || (text.size() > 1 && (text[1] != ' ' || text.size() == 2))) {
        ++report.rejectedLines;
        return;
    }
    Fields f(text.size() > 2 ? text.substr(2) : std::string_view());
    if (!record(text[0], f)) ++report.rejectedLines;
}

bool Parser::record(char tag, Fields& f) {
    switch (tag) {
    case 'J':
        return f.word("1") && f.done() && (report.ready = true);
    case 'Z':
        if (!f.done()) return false;
        report.finished = true;
        open.reset();
        return true;
    case 'Q':
        return fatal(f);
    case 'S':
        return chunkBegin(f);
    case 'e':
        return chunkEnd(f);
    case 'E':
        return chunkError(f);
    case 'f':
        return fill(f);
    case 's':
        return stroke(f);
    case 'c':
        return clip(f);
    case 'g':
        return gradient(f);
    case 'i':
        return image(f);
    case 'm':
        return mask(f);
    case 't':
        return cellBegin(f);
    case 'T':
        return cellEnd(f);
    case 'p':
        return patternPaint(f);
    case 'w': {
        std::string text;
        if (!chunk() || !f.hex(text, kMaxTextBytes) || !f.done()) return false;
        chunk()->warnings.push_back(std::move(text));
        return true;
    }
    case 'A':
        return link(f);
    case 'D':
        return destination(f);
    case 'I': {
        std::string title;
        if (!chunk() || !f.hex(title, kMaxTextBytes) || !f.done()) return false;
        report.title = std::move(title);
        return true;
    }
    default:
        return false;
    }
}

bool Parser::chunkBegin(Fields& f) {
    size_t n = 0;
    if (!f.index(n, report.chunks.size()) || !f.done()) return false;
    if (report.lastBegun && n <= *report.lastBegun) return false;  // chunks run in order, once
    cellsOpen.clear();
    open = n;
    report.lastBegun = n;
    report.chunks[n].begun = true;
    return true;
}

bool Parser::chunkEnd(Fields& f) {
    size_t n = 0;
    EndState s;
    if (!f.index(n, report.chunks.size()) || !open || n != *open) return false;
    if (!f.matrix(s.transform, false) || !f.id(s.clip) || !f.flag(s.invisible) || !f.color(s.color) ||
        !f.unit(s.alpha) || !f.done() || !knownClip(s.clip))
        return false;
    report.chunks[n].end = s;
    open.reset();
    cellsOpen.clear();
    return true;
}

bool Parser::chunkError(Fields& f) {
    size_t n = 0;
    ChunkError e;
    if (!f.index(n, report.chunks.size()) || !open || n != *open) return false;
    if (!f.hex(e.name, kMaxTextBytes) || !f.hex(e.command, kMaxTextBytes) || !f.done()) return false;
    report.chunks[n].errors.push_back(std::move(e));
    return true;
}

bool Parser::fatal(Fields& f) {
    ChunkError e;
    if (!f.hex(e.name, kMaxTextBytes) || !f.hex(e.command, kMaxTextBytes) || !f.done()) return false;
    report.fatal = std::move(e);
    return true;
}

bool Parser::paint(Paint p) {
    if (!cellsOpen.empty()) {
        cellsOpen.back().paints.push_back(std::move(p));
    } else {
        chunk()->paints.push_back(std::move(p));
    }
    return true;
}

bool Parser::fill(Fields& f) {
    Fill x;
    if (!chunk() || !f.id(x.clip) || !f.flag(x.evenOdd) || !f.color(x.color) || !f.unit(x.alpha) ||
        !f.path(x.path) || !f.done() || !knownClip(x.clip))
        return false;
    return paint(std::move(x));
}

bool Parser::stroke(Fields& f) {
    Stroke x;
    int64_t cap = 0, join = 0, dashes = 0;
    if (!chunk() || !f.id(x.clip) || !f.color(x.color) || !f.unit(x.alpha) || !f.milli(x.width) ||
        !f.integer(cap, 0, 2) || !f.integer(join, 0, 2) || !f.micro(x.miterLimit) || !f.milli(x.dashOffset) ||
        !f.integer(dashes, 0, kMaxDashes) || !knownClip(x.clip) || x.width < 0)
        return false;
    x.cap = static_cast<int>(cap);
    x.join = static_cast<int>(join);
    for (int64_t i = 0; i < dashes; ++i) {
        double d = 0;
        if (!f.milli(d) || d < 0) return false;
        x.dashes.push_back(d);
    }
    if (!f.matrix(x.matrix, false) || !f.path(x.path) || !f.done()) return false;
    return paint(std::move(x));
}

bool Parser::clip(Fields& f) {
    ClipDef c;
    if (!chunk() || !f.id(c.id) || !f.id(c.parent) || !f.flag(c.evenOdd) || !f.path(c.path) || !f.done())
        return false;
    if (c.id == 0 || report.clips.count(c.id) != 0 || !knownClip(c.parent)) return false;
    report.clips[c.id] = std::move(c);
    return true;
}

bool Parser::gradient(Fields& f) {
    Gradient g;
    int64_t type = 0;
    if (!chunk() || !f.id(g.clip) || !f.unit(g.alpha) || !f.integer(type, 2, 3) || !f.flag(g.extendStart) ||
        !f.flag(g.extendEnd) || !f.matrix(g.matrix, false) || !knownClip(g.clip))
        return false;
    g.radial = type == 3;
    g.coords.resize(g.radial ? 6 : 4);
    for (double& x : g.coords)
        if (!f.milli(x)) return false;
    for (;;) {
        Fields probe = f;
        if (probe.word("E")) {
            f = probe;
            break;
        }
        GradientStop s;
        if (!f.unit(s.offset) || !f.color(s.color)) return false;
        if (!g.stops.empty() && s.offset < g.stops.back().offset) return false;
        g.stops.push_back(s);
    }
    if (g.stops.empty() || !f.done()) return false;
    return paint(std::move(g));
}

// Bytes of one plane of samples: rows padded to whole bytes.
size_t planeBytes(int64_t width, int64_t height, int64_t bits, int64_t components) {
    return static_cast<size_t>((width * bits * components + 7) / 8 * height);
}

bool Parser::image(Fields& f) {
    Image x;
    int64_t w = 0, h = 0, bits = 0, planes = 0;
    std::string_view kind;
    if (!chunk() || !f.id(x.clip) || !f.unit(x.alpha) || !f.matrix(x.matrix, true) || !f.integer(w, 1, kMaxImageSide) ||
        !f.integer(h, 1, kMaxImageSide) || !f.integer(bits, 1, 16) || !f.next(kind) || kind.size() != 1 ||
        !knownClip(x.clip))
        return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 12 && bits != 16) return false;
    x.width = static_cast<int>(w), x.height = static_cast<int>(h), x.bits = static_cast<int>(bits);
    x.kind = kind[0];
    int64_t components = x.kind == 'g' || x.kind == 'x' ? 1 : x.kind == 'r' ? 3 : x.kind == 'k' ? 4 : 0;
    if (components == 0) return false;
    if (x.kind == 'x') {
        if (bits > 8 || !f.hex(x.palette, 3u << 8) || x.palette.size() != 3u << bits) return false;
    } else {
        x.decode.resize(static_cast<size_t>(2 * components));
        for (double& d : x.decode)
            if (!f.micro(d)) return false;
    }
    if (!f.flag(x.interpolate) || !f.integer(planes, 1, 4) || (planes != 1 && planes != components)) return false;
    const size_t bytes = planeBytes(w, h, bits, planes == 1 ? components : 1);
    if (bytes > kMaxImageBytes) return false;
    for (int64_t i = 0; i < planes; ++i) {
        std::string data;
        if (!f.hex(data, bytes) || data.size() != bytes) return false;
        x.planes.push_back(std::move(data));
    }
    if (!f.word("E") || !f.done()) return false;
    return paint(std::move(x));
}

bool Parser::mask(Fields& f) {
    ImageMask x;
    int64_t w = 0, h = 0, bit = 0;
    if (!chunk() || !f.id(x.clip) || !f.unit(x.alpha) || !f.color(x.color) || !f.matrix(x.matrix, true) ||
        !f.integer(w, 1, kMaxImageSide) || !f.integer(h, 1, kMaxImageSide) || !f.integer(bit, 0, 1) ||
        !knownClip(x.clip))
        return false;
    const size_t bytes = planeBytes(w, h, 1, 1);
    if (bytes > kMaxImageBytes || !f.hex(x.bits, bytes) || x.bits.size() != bytes || !f.word("E") || !f.done())
        return false;
    x.width = static_cast<int>(w), x.height = static_cast<int>(h), x.paintBit = static_cast<int>(bit);
    return paint(std::move(x));
}

bool Parser::cellBegin(Fields& f) {
    Cell c;
    int64_t type = 0;
    if (!chunk() || !f.id(c.id) || !f.integer(type, 1, 2)) return false;
    for (double& x : c.box)
        if (!f.milli(x)) return false;
    if (!f.milli(c.xStep) || !f.milli(c.yStep) || !f.matrix(c.matrix, false) || !f.done()) return false;
    if (c.id == 0 || report.cells.count(c.id) != 0) return false;
    for (const Cell& o : cellsOpen)
        if (o.id == c.id) return false;
    c.paintType = static_cast<int>(type);
    cellsOpen.push_back(std::move(c));
    return true;
}

bool Parser::cellEnd(Fields& f) {
    uint32_t id = 0;
    if (!chunk() || !f.id(id) || !f.done() || cellsOpen.empty() || cellsOpen.back().id != id) return false;
    report.cells[id] = std::move(cellsOpen.back());
    cellsOpen.pop_back();
    return true;
}

bool Parser::patternPaint(Fields& f) {
    PatternPaint x;
    if (!chunk() || !f.id(x.clip) || !f.unit(x.alpha) || !f.id(x.cell) || !f.color(x.color) || !f.done() ||
        !knownClip(x.clip))
        return false;
    // Only a finished cell: one cannot paint itself.
    if (report.cells.count(x.cell) == 0) return false;
    return paint(x);
}

bool Parser::link(Fields& f) {
    Link l;
    std::string_view kind;
    if (!chunk() || !f.milli(l.x0) || !f.milli(l.y0) || !f.milli(l.x1) || !f.milli(l.y1) || !f.next(kind)) return false;
    if (kind == "-") {
        l.kind = '-';
    } else if (kind == "D" || kind == "U") {
        l.kind = kind[0];
        if (!f.hex(l.target, kMaxTextBytes)) return false;
    } else {
        return false;
    }
    if (!f.done()) return false;
    chunk()->links.push_back(std::move(l));
    return true;
}

bool Parser::destination(Fields& f) {
    Destination d;
    if (!chunk() || !f.hex(d.name, kMaxTextBytes) || !f.flag(d.placed)) return false;
    if (d.placed && (!f.milli(d.x) || !f.milli(d.y))) return false;
    if (!f.done()) return false;
    chunk()->destinations.push_back(std::move(d));
    return true;
}

}  // namespace

Report parseReport(std::string_view output, std::string_view nonce, size_t chunkCount) {
    Parser parser(chunkCount);
    if (nonce.empty()) return parser.take();
    // A record is whole with its newline: what follows the last one (a run
    // ended midway) is not read.
    size_t at = 0;
    for (size_t end; (end = output.find('\n', at)) != std::string_view::npos;) {
        std::string_view text = output.substr(at, end - at);
        at = end + 1;
        if (text.size() > nonce.size() && text.substr(0, nonce.size()) == nonce && text[nonce.size()] == ' ')
            parser.line(text.substr(nonce.size() + 1));
    }
    return parser.take();
}

}  // namespace morvex::pictures
