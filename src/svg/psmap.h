#pragma once
// Lookup of a TeX font in the font map.
#include <cstdio>
#include <string>

namespace morvex {

struct SvgFontState;

// Searches the map stream from its start for the line of fontName. When
// found, sets fnt_dvi, fnt_ps and fnt_pfb (cleared first, so a line without
// a font file leaves it empty), traces the line and its tokens and returns
// true. Lines may be of any length; a last line without its newline counts.
bool psmap(SvgFontState& st, std::FILE* map, const std::string& fontName, std::FILE* log);

// The first two tokens of a mapping line: up to the first space, then up to
// the next space. A line without a space is all first token; a second token
// not followed by a space runs to the end of the line.
void psmaptokens(const std::string& line, std::string& fntDvi, std::string& fntPs);

// The font file named on a line by the token rules of the map: the last
// "<" token whose first full stop is followed by "pfb", without its "<";
// empty when there is none. A quote left open runs to the end of the line.
std::string psmappfb(const std::string& line);

}  // namespace morvex
