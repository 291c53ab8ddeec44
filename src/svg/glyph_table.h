#pragma once
// What the --paths writer needs of each glyph the run uses, made once from
// the extraction: its definition's id and path data, the extent of its
// outline, and the characters it stands for in the invisible text.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/extent.h"
#include "svg/font_registry.h"
#include "fonts/generated_font.h"

namespace morvex {

class GlyphList;

struct GlyphDef {
    bool drawn = false;   // the font has an outline for the code
    std::string name;     // the glyph's name, for the trace
    std::string d;        // path data, font units, y up, escaped for an attribute
    std::optional<Extent> extent;  // of the outline, font units, y up; none when unknown
    std::string text;     // the characters of the invisible text, escaped
    bool filled = false;  // the code was among the used ones when the table was made
};

struct FontGlyphs {
    std::string name;
    std::string idPrefix;       // a glyph's id is this and its code
    std::string scale;          // " transform=\"scale(u -u)\"" from font units to ems, y down
    double unitsPerEm = 1000.0;
    std::array<GlyphDef, 256> glyphs;  // the used codes filled in
};

class GlyphTable {
public:
    // The glyphs of the registry's used codes, from outlines by font name
    // (none: a run cut short, whose glyphs draw nothing) and glyph names
    // read through names (none: the text of the codes).
    GlyphTable(const FontRegistry& registry, const std::map<std::string, GeneratedFont>* outlines,
               const GlyphList* names);

    size_t size() const { return fonts.size(); }
    // The fonts' indices in the order of their names: definitions written
    // in this order are the same whatever order the pages met the fonts in.
    const std::vector<uint32_t>& byName() const { return nameOrder; }
    const FontGlyphs& font(uint32_t index) const { return fonts[index]; }
    // The invisible text of a character, also of one without a font.
    const std::string& text(uint32_t font, uint8_t code) const;

    // "\nPaths: glyphs defined: font[code=name ...] ..." for the trace.
    void trace(const FontRegistry& registry, std::FILE* log) const;

private:
    std::vector<FontGlyphs> fonts;
    std::vector<uint32_t> nameOrder;
    std::array<std::string, 256> plainText;  // the text of a code by itself
};

}  // namespace morvex
