#pragma once
// Runs hand-made page events through the two passes of a --paths run, as
// the run plays a DVI file's pages: a silent pass that gathers, the glyphs
// of all pages, then the pass that writes the document or the documents.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/dvi_frame.h"
#include "base/file_handle.h"
#include "support/bytes.h"
#include "support/process.h"
#include "fonts/generated_font.h"
#include "text/glyph_list.h"
#include "svg/glyph_table.h"
#include "svg/page_builder.h"
#include "svg/page_gathering.h"
#include "svg/paths_document.h"

namespace morvex::testing {

// One TeX point is 65536 DVI units here, exactly.
constexpr int32_t kPt = 65536;

// The events of one pass, in points.
struct Events {
    PageSink& sink;
    std::vector<std::unique_ptr<FontDef>> defs;  // the events point at them

    const FontDef* font(int32_t number, const std::string& name, double sizePt) {
        defs.push_back(std::make_unique<FontDef>(
            FontDef{number, 0, static_cast<uint32_t>(sizePt * kPt), static_cast<uint32_t>(sizePt * kPt), name}));
        return defs.back().get();
    }
    void bop(int32_t count0, uint64_t position = 1) { sink.pageBegin(count0, position); }
    // A set character; positions and advance in points.
    void chr(const FontDef* f, int32_t code, double h, double v, double advance = 5, bool put = false) {
        sink.character({code, f != nullptr ? f->number : 0, f, static_cast<int32_t>(h * kPt),
                        static_cast<int32_t>(v * kPt), static_cast<int32_t>(advance * kPt), put});
    }
    // A set character with its box above and below the baseline, in points.
    void boxed(const FontDef* f, int32_t code, double h, double v, double advance, double height, double depth) {
        sink.character({code, f != nullptr ? f->number : 0, f, static_cast<int32_t>(h * kPt),
                        static_cast<int32_t>(v * kPt), static_cast<int32_t>(advance * kPt), false,
                        static_cast<int32_t>(height * kPt), static_cast<int32_t>(depth * kPt)});
    }
    void word(const FontDef* f, const std::string& text, double h, double v, double advance = 5) {
        for (unsigned char c : text) {
            chr(f, c, h, v, advance);
            h += advance;
        }
    }
    void rule(double h, double v, double height, double width) {
        sink.rule({static_cast<int32_t>(h * kPt), static_cast<int32_t>(v * kPt), static_cast<int32_t>(height * kPt),
                   static_cast<int32_t>(width * kPt), false});
    }
    // A special at the origin; with length, one the file cut short.
    void special(const std::string& s) { sink.special({0, 0, s, s.size()}); }
    void special(const std::string& s, uint64_t length) { sink.special({0, 0, s, length}); }
    void unselected(const std::string& s) { sink.unselectedSpecial({0, 0, s, s.size()}); }
    // A special at (h, v) in points.
    void specialAt(const std::string& s, double h, double v) {
        sink.special({static_cast<int32_t>(h * kPt), static_cast<int32_t>(v * kPt), s, s.size()});
    }
};

using Script = std::function<void(Events&)>;

// A glyph of a generated font: its code, name and outline.
struct GlyphSpec {
    int code;
    const char* name;
    const char* d;
};

// A generated font of these glyphs, as the glyph program would read back.
inline GeneratedFont fontOf(std::vector<GlyphSpec> glyphs, double unitsPerEm = 1000) {
    GeneratedFont f;
    f.unitsPerEm = {std::to_string(unitsPerEm), unitsPerEm};
    std::sort(glyphs.begin(), glyphs.end(), [](const GlyphSpec& a, const GlyphSpec& b) { return a.code < b.code; });
    for (const GlyphSpec& g : glyphs) f.glyphs.push_back({g.code, "", g.name, {"500", 500}, g.d});
    return f;
}

struct PathsHarness {
    static DviFrame frameOf(uint32_t widthPt, uint32_t heightPt, std::vector<int32_t> pages = {1}) {
        DviFrame frame;
        frame.ptPerDvi = 1.0f / 65536.0f;
        frame.u = widthPt * kPt;
        frame.l = heightPt * kPt;
        frame.fontsComplete = true;
        frame.pageNumbers = std::move(pages);
        return frame;
    }

    DviFrame frame = frameOf(100, 200);
    std::optional<BoxKind> kind;
    std::map<std::string, GeneratedFont> outlines;
    bool cutShort = false;    // no glyphs, as after a stop in the pages
    std::string pattern;      // one document per page, named so in dir; "": one document
    std::vector<uint64_t> named = {1, 2, 3};  // the positions that may have a document
    TempDir dir;

    std::optional<std::string> title;  // the documents' title
    std::string dviName = "doc.dvi";   // names the places' ids
    OutCapture err;                    // refused links are told here

    std::string trace, out;   // of the writing pass
    bool closed = false;      // the documents were written whole

    // The document of all pages ("" with a pattern).
    std::string run(const Script& script) {
        const double ptPerDvi = std::isfinite(frame.ptPerDvi) ? frame.ptPerDvi : 0.0;
        FontRegistry registry;
        PageGathering gathering(kind == BoxKind::Min);
        {
            FileHandle quiet = discardingStream();
            PageBuilder builder(registry, gathering, quiet.get(), {kind == BoxKind::Min, false}, ptPerDvi);
            gathering.attach(builder);
            Events e{builder, {}};
            script(e);
            builder.finish();
        }
        std::optional<GlyphList> names = GlyphList::load();
        GlyphTable table(registry, cutShort ? nullptr : &outlines, names ? &*names : nullptr);
        OutCapture log, msgs;
        table.trace(registry, log.f);
        PageBox page;
        page.width = frame.u * ptPerDvi + page.originX;
        page.height = frame.l * ptPerDvi + page.originY;
        std::vector<PlacedBox> boxes = gathering.boxes(kind, table, ptPerDvi, page);
        HandedCapture svg;
        std::unique_ptr<PathsDocument> doc;
        DocumentExtras extras;
        extras.title = title;
        extras.links.idStem = idStemOf(dviName);
        extras.links.anchors = gathering.anchors();
        extras.links.err = err.f;
        if (pattern.empty())
            doc = std::make_unique<PathsDocument>(svg.handle(), "out.svg", table, registry, boxes, page, ptPerDvi,
                                                  log.f, msgs.f, std::move(extras));
        else
            doc = std::make_unique<PathsDocument>(dir.file(pattern), named, table, boxes, page, ptPerDvi, log.f,
                                                  msgs.f, std::move(extras));
        PageBuilder builder(registry, *doc, log.f, {true, true}, ptPerDvi);
        Events e{builder, {}};
        script(e);
        builder.finish();
        closed = doc->close();
        trace = log.str();
        out = msgs.str();
        return svg.str();
    }
};

}  // namespace morvex::testing
