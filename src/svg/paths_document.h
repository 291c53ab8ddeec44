#pragma once
// The self-contained SVG documents of --paths, written from page models:
// every glyph drawn as a path (one definition per glyph, a use per
// character at its own position), every rule as a rectangle, colours from
// the colour specials, the page's text as invisible, selectable text, so
// that any browser draws the page exactly and finds and copies its words,
// and over all the page's links.
//
// The glyphs of all pages are known before the first page is written.
// The pages go either one below the other into one document, or each into
// a document of its own.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/file_handle.h"
#include "svg/glyph_table.h"
#include "svg/link_layer.h"
#include "svg/page_box.h"
#include "svg/page_builder.h"
#include "svg/page_model.h"

namespace morvex {

// What a run adds to its documents beyond their pages.
struct DocumentExtras {
    std::optional<std::string> title;  // each document's <title>
    LinkSettings links;                // its pattern is the document's own
};

class PathsDocument final : public PageConsumer {
public:
    // The pages go into svg, one below the other, in boxes (one per page
    // to come, in their order; none: one empty page box, fallback).
    PathsDocument(FileHandle svg, std::string path, const GlyphTable& glyphs, const FontRegistry& fonts,
                  std::vector<PlacedBox> boxes, PageBox fallback, double ptPerDvi, std::FILE* log, std::FILE* out,
                  DocumentExtras extras = {});
    // Each page goes into a document of its own, named by pattern's %p;
    // only the pages at positions named (those whose names were checked
    // against the run's other files).
    PathsDocument(std::string pattern, std::vector<uint64_t> named, const GlyphTable& glyphs,
                  std::vector<PlacedBox> boxes, PageBox fallback, double ptPerDvi, std::FILE* log, std::FILE* out,
                  DocumentExtras extras = {});

    // Writes the page, then its dimensions on standard output.
    void page(PageModel& page) override;

    // Ends the document of all pages. False when a document could not be
    // made or written; failedPath and failedToCreate then say which and
    // how, and the message has been printed.
    bool close();
    const std::string& failedPath() const { return failure; }
    bool failedToCreate() const { return createFailed; }

private:
    struct Origin {
        double x = 0, y = 0;
    };

    void head(std::FILE* f);
    void root(std::FILE* f, const PageBox& box, double width, double height);
    void defs(std::FILE* f, const std::vector<std::bitset<256>>& codes);
    void drawPage(std::FILE* f, const PageModel& page, const PageBox& box, Origin shift);
    class Groups;
    void drawItems(const PageModel& page, Origin at);
    void drawUse(const PageItem& item, Origin at, double sizePt);
    void drawRule(const PageItem& item, Origin at);
    void drawMarkup(const DrawnMarkup& markup, Origin at);
    void openFrame(const ItemFrame& frame, Origin at);
    void closeFrame();
    void drawText(const PageModel& page, Origin at);
    void flushLine(std::FILE* f);
    PageBox boxOf(const PageModel& page);
    void fail(const std::string& path, bool creating);
    // False when the page has no document: not named, or a failure.
    bool writeOwnDocument(const PageModel& page, const PageBox& box);

    FileHandle stack;         // the one document, when the pages stack
    std::string stackPath;
    std::string pattern;      // the documents' names, when each page has its own
    std::vector<uint64_t> named;  // the positions that may have one, ascending
    const GlyphTable& glyphs;
    std::vector<PlacedBox> boxes;
    size_t nextBox = 0;
    PageBox fallback;
    const double ptPerDvi;
    std::FILE* const log;
    std::FILE* const out;
    DocumentExtras extras;
    LinkLayer links{extras.links, log};

    bool single = false;      // the stack holds one page, drawn as in its own document
    double stackTop = 0;      // where the next stacked page goes, TeX points
    std::string failure;
    bool createFailed = false;
    std::string line;         // markup waiting to be written
    uint32_t frameDepth = 0;  // the groups of the frame open on the page
};

}  // namespace morvex
