#pragma once
// Generation of the SVG fonts file: the used codes of each font, its line in
// the font map, the glyphs extracted by Ghostscript, and the assembled file.
#include <cstdio>
#include <string>

#include "dvi/font_table.h"

namespace morvex {

struct SvgFontState {
    std::string psPath;
    std::string encPath;
    std::string mapPath;
    std::string symbols;
    std::string fnt_dvi;
    std::string fnt_ps;
    std::string fnt_pfb;
};

int svgfontbuild(SvgFontState& st, const std::string& configDir, const std::string& fontsPath,
                 const std::string& encodingName, const FontTable& fonts, std::FILE* log, std::FILE* out);

}  // namespace morvex
