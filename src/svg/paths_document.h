#pragma once
// The self-contained SVG document of --paths: every glyph drawn as a path
// (one definition per glyph, a use per character at its own position),
// every rule as a rectangle, colours from the colour specials, and the
// page's text as invisible, selectable text, so that any browser draws the
// page exactly and finds and copies its words.
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "base/dvi_frame.h"
#include "base/file_handle.h"
#include "base/page_events.h"
#include "svg/generated_font.h"

namespace morvex {

class PathsDocument final : public PageSink {
public:
    PathsDocument(FileHandle svg, std::FILE* log, std::FILE* out);

    // The XML declaration.
    void head();
    // The root element: the page box of the default document, one box per
    // page that carries selectedPage, stacked top to bottom.
    void prologue(const DviFrame& frame, int32_t selectedPage);
    // The glyph definitions the pages used, and the closing tag.
    void end(const std::map<std::string, FontOutlines>& outlines);
    // Closes the document; false when a write or the close failed.
    bool close();

    void pageBegin(int32_t count0) override;
    void pageEnd() override;
    void fontSelect(int32_t font) override;
    void character(const CharEvent& c) override;
    void rule(const RuleEvent& r) override;
    void movement(int32_t h, int32_t v) override;
    void special(std::string_view text, uint64_t length) override;
    void plain(PlainCommand command) override;

private:
    FileHandle svg;
    std::FILE* const log;
    std::FILE* const out;
};

}  // namespace morvex
