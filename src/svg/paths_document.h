#pragma once
// The self-contained SVG document of --paths: every glyph drawn as a path
// (one definition per glyph, a use per character at its own position),
// every rule as a rectangle, colours from the colour specials, and the
// page's text as invisible, selectable text, so that any browser draws the
// page exactly and finds and copies its words.
//
// The pages are written as they come. Their invisible text waits in a
// temporary file until the fonts are known: its characters are those the
// glyph names denote, and the glyph names come from the same extraction
// as the outlines, after the pages. It follows the pages, then the glyph
// definitions close the document.
#include <array>
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/dvi_frame.h"
#include "base/file_handle.h"
#include "base/page_events.h"
#include "specials/color_handler.h"
#include "specials/special_dispatcher.h"
#include "fonts/generated_font.h"
#include "text/text_machine.h"

namespace morvex {

class GlyphList;

class PathsDocument final : public PageSink, private TextMarkup {
public:
    PathsDocument(FileHandle svg, std::FILE* log, std::FILE* out);

    // The XML declaration and the generator comment.
    void head();
    // The root element: the page box of the default document, one box per
    // page that carries selectedPage, stacked top to bottom.
    void prologue(const DviFrame& frame, int32_t selectedPage);
    // The invisible text, the glyph definitions the pages used, and the
    // closing tag.
    // names: the glyph list, none when it was not found.
    void end(const std::map<std::string, GeneratedFont>& glyphs, const GlyphList* names);
    // Closes the document, ending it first if end was not reached (a run
    // cut short): its glyphs then have empty definitions and its text the
    // characters of the codes. False when a write or the close failed.
    bool close();

    TextState state() const { return machine.state(); }

    void pageBegin(int32_t count0) override;
    void pageEnd() override;
    void fontSelect(int32_t font) override;
    void character(const CharEvent& c) override;
    void rule(const RuleEvent& r) override;
    void movement(int32_t h, int32_t v) override;
    void special(const SpecialEvent& special) override;
    void unselectedSpecial(const SpecialEvent& special) override;
    void plain(PlainCommand command) override;

private:
    // A font of the pages by its name: its glyphs are defined once, under
    // ids made from the name, whatever sizes the pages use it at.
    struct UsedFont {
        std::string name;
        std::string id;  // the id prefix of its glyphs
        std::bitset<256> codes;
    };
    // The font of a font number as last seen, so that a character finds
    // its font without a lookup by name.
    struct FontSlot {
        bool valid = false;
        std::string name;
        uint32_t s = 0;
        uint32_t index = 0;
        std::string transform;  // "\" transform=\"matrix(S 0 0 S "
    };
    // The end of the run written last on the page, for the space that
    // separates words in the invisible text.
    struct RunEnd {
        bool valid = false;
        int64_t h = 0;
        int32_t v = 0;
        uint32_t size = 0;
    };

    void openText(int32_t page) override;
    void openSpan(int32_t font) override;
    void closeSpan() override;
    void closeText() override;
    void endRun(const TextRun& run) override;

    void openRoot(double width, double height);
    void closePage();
    void finish(const std::map<std::string, GeneratedFont>* outlines, const GlyphList* names);
    void writeText(const std::map<std::string, GeneratedFont>* outlines, const GlyphList* names);
    void writeDefs(const std::map<std::string, GeneratedFont>* outlines);
    uint32_t fontIndex(const CharEvent& c);
    void useFill();
    // A DVI coordinate in TeX points from the page box's corner, one inch in.
    double onPage(double dvi) const { return dvi * ptPerDvi + 72.27; }

    FileHandle svg;
    std::FILE* const log;
    std::FILE* const out;
    FileHandle textFile;  // the invisible text until end; none when it could not be made
    TextMachine machine{*this, log};

    double ptPerDvi = 0.0;
    double pageHeight = 72.27;  // TeX points, margin included
    bool rootOpen = false;
    bool finished = false;

    bool pageOpen = false;
    int32_t pageNumber = 0;
    uint64_t pageIndex = 0;  // pages begun
    double pageTop = 0.0;    // the page's offset in the document, TeX points
    uint64_t pageUses = 0, pageRules = 0;

    SpecialDispatcher specials;
    ColorHandler colors{log, "Paths: "};
    bool fillOpen = false;
    Rgb openFill;

    std::vector<UsedFont> fonts;
    std::map<std::string, uint32_t> fontByName;
    std::array<FontSlot, 256> slots;

    // The run the machine is collecting, one reference a character.
    std::string runText;
    int64_t runWidth = 0;
    uint32_t runSize = 0;
    RunEnd lastRun;

    std::string line;  // the element being written
};

}  // namespace morvex
