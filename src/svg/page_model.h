#pragma once
// One page as the --paths writer draws it, gathered whole before anything
// of it is written, so that its box may depend on what it holds. Memory is
// that of one page: a model is emptied when its page is written.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/extent.h"
#include "specials/color_special.h"
#include "specials/preview_special.h"

namespace morvex {

// What a page draws, in the order of its commands.
enum class ItemKind : uint8_t {
    Glyph,   // a character of a font: a use of the glyph's definition
    Rule,    // a filled rectangle
    Markup,  // drawn elements made elsewhere (paths, clips, images, transformations)
    Frame,   // the glyphs and rules after it are set under PageModel::frames[font]
};

struct PageItem {
    ItemKind kind = ItemKind::Glyph;
    uint8_t code = 0;   // Glyph: the character code
    Rgb fill;           // the colour in force
    uint32_t font = 0;  // Glyph: the run's index of the font; Markup: index into PageModel::markup
    uint32_t size = 0;  // Glyph: the font's scaled size, DVI units
    int32_t h = 0;      // Glyph: the reference point; Rule: the bottom left corner; DVI units
    int32_t v = 0;
    int32_t width = 0;  // Rule, DVI units
    int32_t height = 0;
};

// Markup drawn by another part of the program, in TeX points with the DVI
// origin at (0, 0) and y down, with the extent of its ink in the same
// units.
struct DrawnMarkup {
    std::string elements;
    Extent ink;
};

// The transformation, clip and visibility the page's PostScript leaves
// for the DVI's glyphs and rules that follow (TikZ node text, a rotated
// box). A frame that changes nothing ends the one before.
struct ItemFrame {
    // (x, y) -> (a x + c y + e, b x + d y + f), TeX points from the DVI
    // origin, y down.
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    std::string open;    // markup that opens its clip and opacity groups, in the same units
    uint32_t depth = 0;  // the groups open opens

    bool plain() const { return open.empty() && a == 1 && b == 0 && c == 0 && d == 1 && e == 0 && f == 0; }
    bool operator==(const ItemFrame&) const = default;
};

// What a link leads to: a place in the document by its name, or an
// address as the document gives it.
enum class LinkKind : uint8_t {
    Destination,  // a named place (hyperref's \ref, a hypertex "#name")
    Address,      // a URI or a relative file name
};

// A link's area (TeX points from the DVI origin, y down) and its target,
// as given (not yet escaped, not yet checked), for the link layer over the
// page. A link broken across lines has one area per line.
struct LinkArea {
    Extent area;
    LinkKind kind = LinkKind::Address;
    std::string target;
};

// A named place links may lead to, at (x, y) in TeX points from the DVI
// origin, y down; where is unset when the document names the place
// without saying where it is.
struct Anchor {
    std::string name;
    std::optional<std::pair<double, double>> where;
};

// The font of a character set while no font was defined for its number.
constexpr uint32_t kNoFont = 0xFFFFFFFFu;
// A run of text set outside any frame.
constexpr uint32_t kNoFrame = 0xFFFFFFFFu;

// A character of the invisible text.
struct TextChar {
    uint32_t font = 0;
    uint8_t code = 0;
};

// A run of the invisible text: its characters are chars[first, first +
// count) of the page.
struct TextSpan {
    int32_t h = 0, v = 0;     // the run's start, DVI units
    int64_t width = 0;        // the sum of its advances, DVI units
    uint32_t size = 0;        // its first font's size, DVI units
    bool spaceBefore = false;  // a word space or a new line before it
    uint32_t first = 0, count = 0;
    uint32_t frame = kNoFrame;  // the frame its glyphs are set in, if any
};

struct PageModel {
    int32_t count0 = 0;
    uint64_t position = 0;  // 1 for the first page of the file
    bool complete = false;  // its eop was read
    std::vector<PageItem> items;
    std::vector<DrawnMarkup> markup;
    std::vector<ItemFrame> frames;
    std::vector<LinkArea> links;
    std::vector<Anchor> anchors;
    std::vector<TextChar> chars;
    std::vector<TextSpan> spans;
    std::optional<PreviewSpecial> preview;  // the first preview box on the page

    void clear() {
        items.clear();
        markup.clear();
        frames.clear();
        links.clear();
        anchors.clear();
        chars.clear();
        spans.clear();
        preview.reset();
        complete = false;
    }
};

}  // namespace morvex
