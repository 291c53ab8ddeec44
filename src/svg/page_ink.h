#pragma once
// Where a page's ink may lie, kept small enough for every page of a run:
// for each glyph at each size the bounds of the places it is set at, and
// the bounds of the rules and markup. With the glyphs' outlines known it
// gives the page's true ink extent.
#include <cstdint>
#include <vector>

#include "base/extent.h"
#include "svg/glyph_table.h"
#include "svg/page_model.h"

namespace morvex {

class PageInk {
public:
    explicit PageInk(const PageModel& page);

    // The ink in the page's drawing coordinates: TeX points, the DVI
    // origin at (originX, originY), y down. Empty for a page without ink.
    Extent extent(const GlyphTable& glyphs, double ptPerDvi, double originX, double originY) const;

private:
    // The places one glyph at one size is set at, DVI units.
    struct Spread {
        uint32_t font = 0;
        uint32_t size = 0;
        uint8_t code = 0;
        int32_t minH = 0, maxH = 0, minV = 0, maxV = 0;
    };
    // A glyph or rule set in a frame of the pictures: moved by its matrix.
    struct Framed {
        bool rule = false;
        uint8_t code = 0;
        uint32_t font = 0, size = 0;  // glyph
        int32_t h = 0, v = 0;         // DVI units
        int32_t width = 0, height = 0;  // rule
        uint32_t frame = 0;           // index into frames
    };
    std::vector<Spread> glyphs;
    Extent rules;   // DVI units
    Extent markup;  // TeX points from the DVI origin
    std::vector<Framed> framed;
    std::vector<ItemFrame> frames;  // their matrices (the open markup dropped)
};

// The extent of one glyph's ink set with its reference point at (x, y) in
// TeX points: its outline scaled to sizePt, y flipped. Empty for a glyph
// that draws nothing; its reference point alone when its outline is
// unknown.
Extent glyphInk(const FontGlyphs& font, uint8_t code, double sizePt, double x, double y);

}  // namespace morvex
