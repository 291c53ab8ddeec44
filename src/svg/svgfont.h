#pragma once
// Generation of the SVG fonts file: the used codes of each font, its line in
// the font map, the glyphs extracted by Ghostscript, and the assembled file.
#include <cstdio>
#include <string>

#include "dvi/font_table.h"

namespace morvex {

struct SvgFontState {
    std::string psPath;   // absolute: Ghostscript runs in workDir
    std::string encPath;  // absolute, as psPath
    std::string mapPath;
    std::string symbols;
    std::string fnt_dvi;
    std::string fnt_ps;
    std::string fnt_pfb;
    // Private directory of the generated SVG fonts for the length of one
    // svgfontbuild; empty outside it.
    std::string workDir;
};

// Writes the SVG fonts file for the fonts of the table that have used
// flags. Returns 0 when written, 2 when the map cannot be opened, 3 when a
// font has no line in the map, 4 when the fonts file cannot be opened, 5
// when a generated SVG font is missing.
int svgfontbuild(SvgFontState& st, const std::string& configDir, const std::string& fontsPath,
                 const std::string& encodingName, const FontTable& fonts, std::FILE* log, std::FILE* out);

// Assembles the fonts file from the generated SVG fonts in workDir, one per
// distinct font name, in ascending font number. Returns 0, 4 or 5.
int svgfontwrite(const std::string& fontsPath, const FontTable& fonts, const std::string& workDir,
                 std::FILE* out);

}  // namespace morvex
