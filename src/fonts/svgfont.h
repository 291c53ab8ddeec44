#pragma once
// The SVG fonts file of the default document: the glyphs of the page's
// fonts made, then one generated font per font name written from its glyph
// records.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/font_def.h"
#include "base/result.h"
#include "fonts/generated_font.h"
#include "fonts/page_glyphs.h"

namespace morvex {

// Writes the fonts file at fontsPath: the glyphs of each distinct font name
// of fonts, in ascending font number. Stops at the first font without
// glyphs (kGlyphsMissing) and when the file cannot be opened or written
// (kGlyphsNoFontsFile).
Result svgfontwrite(const std::string& fontsPath, const std::vector<FontUse>& fonts,
                    const std::map<std::string, GeneratedFont>& glyphs, std::FILE* out);

// The glyphs of the fonts (pageGlyphs), then the fonts file (svgfontwrite).
Result svgfontbuild(const GlyphSettings& settings, const std::string& fontsPath, const std::vector<FontUse>& fonts,
                    std::FILE* log, std::FILE* out);

}  // namespace morvex
