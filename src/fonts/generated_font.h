#pragma once
// What config/tarnevik.ps writes for one font, read into records and
// written again from them: the one reader of the generated fonts, so that
// the fonts file, the glyph cache, the --paths document and the trace see
// the same glyphs, and nothing but well-formed glyph markup is written.
//
//   <font id="NAME" horiz-adv-x="W">
//   <font-face font-family="NAME" units-per-em="U" ascent="A" descent="D"/>
//   <glyph unicode="TEXT" glyph-name="NAME" horiz-adv-x="X" d="PATH"/>   one per code, ascending
//   </font>
#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fonts/encoding_file.h"

namespace morvex {

// A number as the program writes it, kept as written so that it is written
// again byte for byte.
struct FontNumber {
    std::string text = "0";
    double value = 0.0;
};

struct GlyphRecord {
    int code = 0;
    std::string text;     // the document text of the code, unescaped
    std::string name;     // the glyph's name in the font (.notdef when the font lacks it)
    FontNumber advance;   // font units
    std::string outline;  // path data, font units, y up
};

struct GeneratedFont {
    std::string id;             // the font's name
    FontNumber defaultAdvance;  // the widest glyph's advance, 0 when none is wider
    std::string family;
    FontNumber unitsPerEm, ascent, descent;
    std::vector<GlyphRecord> glyphs;  // ascending codes

    // The glyph of a code; null when the font has none for it.
    const GlyphRecord* glyph(int code) const;
};

// Reads a generated font made for the codes (one glyph each, in ascending
// order); none when the text is not exactly such a font.
std::optional<GeneratedFont> parseGeneratedFont(std::string_view text, const std::bitset<256>& codes);

// The font as the program writes it.
std::string generatedFontText(const GeneratedFont& font);

// The font of the codes wanted, made from one with more: the glyphs of
// those codes, and the default advance the program gives them (the first
// widest, 0 when none is wider).
GeneratedFont fontForCodes(const GeneratedFont& font, const std::bitset<256>& codes);

// The trace lines of the codes whose name in a re-encoding is a glyph the
// font lacks, so that the program drew .notdef.
std::string notdefTrace(const GeneratedFont& font, const EncodingVector& names);

}  // namespace morvex
