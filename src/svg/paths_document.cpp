#include "svg/paths_document.h"

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cmath>

#include "base/version.h"
#include "svg/page_name.h"
#include "svg/svg_number.h"
#include "svg/xml_text.h"

namespace morvex {

namespace {

// Coordinates are TeX points: three decimals are far below a device pixel.
constexpr int kPlaces = 3;
// Sizes and places in ems get more; so do boxes, measured against the ink.
constexpr int kSizePlaces = 4;
constexpr int kEmPlaces = 4;
// The size of text whose font is unknown.
constexpr double kPlainTextSize = 10.0;
constexpr int kBoxPlaces = 6;
// A frame's linear part: its error is multiplied by the page's size.
constexpr int kMatrixPlaces = 6;
// SVG's pt is 1/72 in, TeX's 1/72.27 in.
constexpr double kPtPerTexPt = 72.0 / 72.27;

std::string number(double v, int places) { return svgNumber(v, places); }

void appendHexColor(std::string& out, Rgb c) {
    static const char kHex[] = "0123456789abcdef";
    out += '#';
    for (uint8_t b : {c.r, c.g, c.b}) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
}

// The codes each font's glyphs are used with on a page.
std::vector<std::bitset<256>> codesOf(const PageModel& page, size_t fonts) {
    std::vector<std::bitset<256>> codes(fonts);
    for (const PageItem& item : page.items)
        if (item.kind == ItemKind::Glyph && item.font < fonts) codes[item.font].set(item.code);
    return codes;
}

}  // namespace

PathsDocument::PathsDocument(FileHandle svg, std::string path, const GlyphTable& glyphs, const FontRegistry& fonts,
                             std::vector<PlacedBox> placed, PageBox fallback, double ptPerDvi, std::FILE* log,
                             std::FILE* out, DocumentExtras documentExtras)
    : stack(std::move(svg)),
      stackPath(std::move(path)),
      glyphs(glyphs),
      boxes(std::move(placed)),
      fallback(fallback),
      ptPerDvi(ptPerDvi),
      log(log),
      out(out),
      extras(std::move(documentExtras)) {
    extras.links.pattern.clear();
    std::FILE* f = stack.get();
    head(f);
    single = boxes.size() <= 1;
    if (single) {
        const PageBox& box = boxes.empty() ? fallback : boxes.front().box;
        root(f, box, box.width, box.height);
    } else {
        double width = 0, height = 0;
        for (const PlacedBox& p : boxes) {
            width = std::max(width, p.box.width);
            height += p.box.height;
        }
        PageBox all;
        all.width = width;
        all.height = height;
        root(f, all, width, height);
    }
    std::vector<std::bitset<256>> codes;
    for (const RegisteredFont& font : fonts.fonts()) codes.push_back(font.codes);
    codes.resize(glyphs.size());
    defs(f, codes);
}

PathsDocument::PathsDocument(std::string pattern, std::vector<uint64_t> named, const GlyphTable& glyphs,
                             std::vector<PlacedBox> placed, PageBox fallback, double ptPerDvi, std::FILE* log,
                             std::FILE* out, DocumentExtras documentExtras)
    : pattern(std::move(pattern)),
      named(std::move(named)),
      glyphs(glyphs),
      boxes(std::move(placed)),
      fallback(fallback),
      ptPerDvi(ptPerDvi),
      log(log),
      out(out),
      extras(std::move(documentExtras)) {
    extras.links.pattern = this->pattern;
}

void PathsDocument::head(std::FILE* f) {
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    std::fprintf(f, "\n<!-- Generator: MORVEX version %s, glyphs as paths -->", kMorvexVersion);
}

// The user unit is the TeX point; width and height say the same size in
// PostScript points (1/72 in), the unit of SVG. A box with a baseline sits
// on the baseline of the text around it in HTML.
void PathsDocument::root(std::FILE* f, const PageBox& box, double width, double height) {
    line = "\n<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
           "version=\"1.1\"\n     width=\"";
    appendNumber(line, width * kPtPerTexPt, kBoxPlaces);
    line += "pt\" height=\"";
    appendNumber(line, height * kPtPerTexPt, kBoxPlaces);
    line += "pt\" viewBox=\"";
    for (double v : {box.x, box.y, width, height}) {
        appendNumber(line, v, kBoxPlaces);
        line += ' ';
    }
    line.back() = '"';
    if (box.hasBaseline) {
        line += " style=\"vertical-align:-";
        appendNumber(line, box.depth * kPtPerTexPt, kBoxPlaces);
        line += "pt\"";
    }
    line += '>';
    if (extras.title) {
        line += "\n<title>";
        appendXmlText(line, *extras.title, BadBytes::Replaced);
        line += "</title>";
    }
    flushLine(f);
}

// Each glyph the pages use, once, in units of the em with y down, so that a
// use scales it by the font's size. A glyph the fonts do not have is an
// empty group: its uses draw nothing.
void PathsDocument::defs(std::FILE* f, const std::vector<std::bitset<256>>& codes) {
    bool any = false;
    for (uint32_t i : glyphs.byName()) {
        if (i >= codes.size() || codes[i].none()) continue;
        const FontGlyphs& font = glyphs.font(static_cast<uint32_t>(i));
        if (!any) line += "\n<defs>";
        any = true;
        for (size_t code = 0; code < 256; ++code) {
            if (!codes[i][code]) continue;
            const GlyphDef& g = font.glyphs[code];
            line += g.drawn ? "\n<path id=\"" : "\n<g id=\"";
            line += font.idPrefix;
            line += std::to_string(code);
            line += '"';
            if (g.drawn) {
                line += font.scale;
                line += " d=\"";
                line += g.d;
                line += '"';
            }
            line += "/>";
        }
    }
    if (any) line += "\n</defs>";
    flushLine(f);
}

void PathsDocument::flushLine(std::FILE* f) {
    std::fwrite(line.data(), 1, line.size(), f);
    line.clear();
}

// The page's glyphs and rules in its colours, then its text, then its
// links over all; shift moves
// the page's box to its place in the document.
void PathsDocument::drawPage(std::FILE* f, const PageModel& page, const PageBox& box, Origin shift) {
    if (shift.x == 0 && shift.y == 0) {
        line += "\n<g>";
    } else {
        line += "\n<g transform=\"translate(";
        appendNumber(line, shift.x, kBoxPlaces);
        line += ' ';
        appendNumber(line, shift.y, kBoxPlaces);
        line += ")\">";
    }
    const Origin at{box.originX, box.originY};
    drawItems(page, at);
    drawText(page, at);
    links.write(line, page, at.x, at.y);
    line += "\n</g>";
    flushLine(f);
}

// The groups that give what they hold its fill and, for glyphs, the size
// of their font; each opened only once something is drawn in it.
class PathsDocument::Groups {
public:
    explicit Groups(std::string& line) : line(line) {}
    void fill(Rgb want) {
        if (fillOpen && color == want) return;
        close();
        line += "\n<g fill=\"";
        appendHexColor(line, want);
        line += "\">";
        fillOpen = true;
        color = want;
    }
    // scale is the size in TeX points as written.
    void scale(const std::string& size) {
        if (scaleOpen && scaled == size) return;
        closeScale();
        line += "\n<g transform=\"scale(";
        line += size;
        line += ")\">";
        scaleOpen = true;
        scaled = size;
    }
    void closeScale() {
        if (scaleOpen) line += "\n</g>";
        scaleOpen = false;
    }
    void close() {
        closeScale();
        if (fillOpen) line += "\n</g>";
        fillOpen = false;
    }

private:
    std::string& line;
    bool fillOpen = false, scaleOpen = false;
    Rgb color;
    std::string scaled;
};

void PathsDocument::drawItems(const PageModel& page, Origin at) {
    Groups groups(line);
    uint64_t uses = 0, rules = 0;
    // The font and size met last: the start of a use and the size.
    uint32_t lastFont = kNoFont, lastSize = 0;
    std::string usePrefix, size;
    double sizePt = 1;
    // The frame the glyphs and rules are set in, opened when one comes.
    const ItemFrame* frame = nullptr;
    for (const PageItem& item : page.items) {
        if (item.kind == ItemKind::Markup || item.kind == ItemKind::Frame) {
            groups.close();
            // A picture's paint is in page space, outside the glyphs' frame.
            closeFrame();
            if (item.kind == ItemKind::Frame) frame = item.font < page.frames.size() ? &page.frames[item.font] : nullptr;
            if (item.kind == ItemKind::Markup && item.font < page.markup.size()) drawMarkup(page.markup[item.font], at);
            continue;
        }
        if (item.kind == ItemKind::Glyph && item.font >= glyphs.size()) continue;
        if (frame != nullptr && frameDepth == 0 && !frame->plain()) {
            groups.close();
            openFrame(*frame, at);
        }
        groups.fill(item.fill);
        if (item.kind == ItemKind::Rule) {
            groups.closeScale();
            drawRule(item, at);
            ++rules;
            continue;
        }
        if (item.font != lastFont || item.size != lastSize) {
            lastFont = item.font;
            lastSize = item.size;
            usePrefix = "\n<use xlink:href=\"#" + glyphs.font(item.font).idPrefix;
            size = number(item.size * ptPerDvi, kSizePlaces);
            sizePt = std::round(item.size * ptPerDvi * 1e4) / 1e4;
        }
        // Positions in the font's ems, inside the group scaled to its size.
        groups.scale(size);
        line += usePrefix;
        drawUse(item, at, sizePt);
        ++uses;
    }
    groups.close();
    closeFrame();
    std::fprintf(log, "\nPaths: page %d at position %llu: %llu glyphs, %llu rules", page.count0,
                 static_cast<unsigned long long>(page.position), static_cast<unsigned long long>(uses),
                 static_cast<unsigned long long>(rules));
}

// The rest of a glyph's use: its code and its place in ems of its size,
// written in one piece (it is written for every character).
void PathsDocument::drawUse(const PageItem& item, Origin at, double sizePt) {
    static constexpr std::string_view kX = "\" x=\"", kY = "\" y=\"", kEnd = "\"/>";
    char buf[3 + 2 * kNumberRoom + 16];
    char* end = std::to_chars(buf, buf + 3, item.code).ptr;
    end = std::copy(kX.begin(), kX.end(), end);
    end = writeNumber(end, sizePt > 0 ? (item.h * ptPerDvi + at.x) / sizePt : 0, kEmPlaces);
    end = std::copy(kY.begin(), kY.end(), end);
    end = writeNumber(end, sizePt > 0 ? (item.v * ptPerDvi + at.y) / sizePt : 0, kEmPlaces);
    end = std::copy(kEnd.begin(), kEnd.end(), end);
    line.append(buf, end);
}

// The rule's bottom left corner is at (h, v) and it rises from there.
void PathsDocument::drawRule(const PageItem& item, Origin at) {
    line += "\n<rect x=\"";
    appendNumber(line, item.h * ptPerDvi + at.x, kPlaces);
    line += "\" y=\"";
    appendNumber(line, (static_cast<double>(item.v) - item.height) * ptPerDvi + at.y, kPlaces);
    line += "\" width=\"";
    appendNumber(line, item.width * ptPerDvi, kPlaces);
    line += "\" height=\"";
    appendNumber(line, item.height * ptPerDvi, kPlaces);
    line += "\"/>";
}

// The frame's clip and opacity groups are in TeX points from the DVI
// origin; its transformation then applies to what is drawn at the page's
// own places (the origin at at).
void PathsDocument::openFrame(const ItemFrame& frame, Origin at) {
    if (frame.plain()) return;
    line += "\n<g transform=\"translate(";
    appendNumber(line, at.x, kPlaces);
    line += ' ';
    appendNumber(line, at.y, kPlaces);
    line += ")\">";
    line += frame.open;
    line += "\n<g transform=\"matrix(";
    const double m[6] = {frame.a, frame.b, frame.c, frame.d, frame.e - frame.a * at.x - frame.c * at.y,
                         frame.f - frame.b * at.x - frame.d * at.y};
    for (int i = 0; i < 6; ++i) {
        appendNumber(line, m[i], i < 4 ? kMatrixPlaces : kPlaces);
        line += i < 5 ? ' ' : ')';
    }
    line += "\">";
    frameDepth = frame.depth + 2;
}

void PathsDocument::closeFrame() {
    for (; frameDepth > 0; --frameDepth) line += "\n</g>";
}

// Markup is drawn in TeX points from the DVI origin.
void PathsDocument::drawMarkup(const DrawnMarkup& markup, Origin at) {
    line += "\n<g transform=\"translate(";
    appendNumber(line, at.x, kPlaces);
    line += ' ';
    appendNumber(line, at.y, kPlaces);
    line += ")\">";
    line += markup.elements;
    line += "\n</g>";
}

// One element a run at the run's position, stretched to the run's width so
// that a selection covers the glyphs it copies; a space between runs where
// words or lines part. Nothing else stands between the elements: any other
// white space would be text too.
void PathsDocument::drawText(const PageModel& page, Origin at) {
    if (page.spans.empty()) return;
    // The size of the first run for all, unless a run says another.
    const auto sizeOf = [&](const TextSpan& span) {
        return number(span.size > 0 ? span.size * ptPerDvi : kPlainTextSize, kPlaces);
    };
    const std::string common = sizeOf(page.spans.front());
    line += "\n<text fill=\"transparent\" xml:space=\"preserve\" font-size=\"" + common + "\">";
    for (const TextSpan& span : page.spans) {
        if (span.spaceBefore) line += ' ';
        // A run set in a frame starts where the frame puts it, as long as
        // it is drawn (text does not turn with its glyphs).
        double x = span.h * ptPerDvi, y = span.v * ptPerDvi, stretch = 1;
        if (span.frame < page.frames.size()) {
            const ItemFrame& f = page.frames[span.frame];
            const double fx = f.a * x + f.c * y + f.e;
            y = f.b * x + f.d * y + f.f;
            x = fx;
            stretch = std::hypot(f.a, f.b);
        }
        line += "<tspan\n x=\"";
        appendNumber(line, x + at.x, kPlaces);
        line += "\" y=\"";
        appendNumber(line, y + at.y, kPlaces);
        if (const std::string size = sizeOf(span); size != common) line += "\" font-size=\"" + size;
        if (span.width > 0) {
            line += "\" textLength=\"";
            appendNumber(line, static_cast<double>(span.width) * ptPerDvi * stretch, kPlaces);
            line += "\" lengthAdjust=\"spacingAndGlyphs";
        }
        line += "\">";
        const size_t end = std::min<size_t>(page.chars.size(), size_t{span.first} + span.count);
        for (size_t i = span.first; i < end; ++i) line += glyphs.text(page.chars[i].font, page.chars[i].code);
        line += "</tspan>";
    }
    line += "</text>";
}

// The box gathered for the page; a page the gathering did not see (it
// cannot happen with one file read twice) gets the fallback.
PageBox PathsDocument::boxOf(const PageModel& page) {
    if (nextBox < boxes.size() && boxes[nextBox].position == page.position) return boxes[nextBox++].box;
    return fallback;
}

void PathsDocument::fail(const std::string& path, bool creating) {
    failure = path;
    createFailed = creating;
    if (creating)
        std::fprintf(out, "\nCan not open %s as output file; no later page was written.\n", path.c_str());
    else
        std::fprintf(out, "\nCan not write %s: the SVG document is incomplete.\n", path.c_str());
}

bool PathsDocument::writeOwnDocument(const PageModel& page, const PageBox& box) {
    // A page the chain of pages does not list (a file that hides pages
    // from it): its name was never checked, and it might be another file's.
    if (!std::binary_search(named.begin(), named.end(), page.position)) {
        std::fprintf(out, "\nThe page at position %llu is not in the file's chain of pages; it was not written.\n",
                     static_cast<unsigned long long>(page.position));
        return false;
    }
    const std::string path = pageFileName(pattern, static_cast<uint32_t>(page.position));
    FileHandle f = openFile(path.c_str(), "wb");
    if (!f) {
        fail(path, true);
        return false;
    }
    head(f.get());
    root(f.get(), box, box.width, box.height);
    defs(f.get(), codesOf(page, glyphs.size()));
    drawPage(f.get(), page, box, {});
    std::fputs("\n</svg>\n", f.get());
    if (!closeChecked(f)) fail(path, false);
    return failure.empty();
}

void PathsDocument::page(PageModel& page) {
    if (!failure.empty()) return;
    const PageBox box = boxOf(page);
    if (!stack) {
        if (!writeOwnDocument(page, box)) return;
    } else if (single) {
        drawPage(stack.get(), page, box, {});
    } else {
        drawPage(stack.get(), page, box, {-box.x, stackTop - box.y});
        stackTop += box.height;
    }
    if (!failure.empty()) return;
    std::fputc('\n', out);
    printDimensions(out, box);
}

bool PathsDocument::close() {
    if (!stack) return failure.empty();
    std::fputs("\n</svg>\n", stack.get());
    if (!closeChecked(stack) && failure.empty()) fail(stackPath, false);
    return failure.empty();
}

}  // namespace morvex
