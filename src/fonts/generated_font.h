#pragma once
// The glyphs of a generated SVG font read back: what a document that draws
// its glyphs as paths needs of them.
#include <array>
#include <bitset>
#include <string>

namespace morvex {

struct GlyphOutline {
    bool present = false;
    std::string name;      // the glyph's name in the font (its encoding's name for the code)
    double advance = 0.0;  // font units
    std::string d;         // the outline as path data, font units, y up
};

struct FontOutlines {
    double unitsPerEm = 1000.0;
    std::array<GlyphOutline, 256> glyphs;  // by character code
};

// Reads the glyph elements of a generated font, which stand one per line in
// ascending order of the codes it was made for.
FontOutlines parseGeneratedFont(const std::string& text, const std::bitset<256>& codes);

}  // namespace morvex
