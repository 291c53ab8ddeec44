#pragma once
// Lookup of a TeX font in the font map.
#include <cstdio>
#include <string>

namespace morvex {

struct SvgFontState;

// Searches the map stream from its start for the line of fontName.
bool psmap(SvgFontState& st, std::FILE* map, const std::string& fontName, std::FILE* log);

}  // namespace morvex
