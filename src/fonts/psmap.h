#pragma once
// Lookup of a TeX font in the font map.
#include <cstdio>
#include <optional>
#include <string>

namespace morvex {

// What the font map says of one TeX font.
struct MapEntry {
    std::string fntDvi;  // the TeX font name (first token)
    std::string fntPs;   // the PostScript font name (second token)
    std::string fntPfb;  // the Type 1 file, without its "<"; empty when the line names none
    // How the line re-encodes and transforms the font; all empty for a font
    // drawn through its own encoding.
    std::string encFile;  // the encoding file, without its "<" or "<["
    std::string slant;    // the number before SlantFont, as written
    std::string extend;   // the number before ExtendFont, as written

    bool reencoded() const { return !encFile.empty() || !slant.empty() || !extend.empty(); }
};

// Searches the map stream from its start for the line of fontName and
// traces the line and its tokens. Lines may be of any length; a last line
// without its newline counts.
std::optional<MapEntry> psmap(std::FILE* map, const std::string& fontName, std::FILE* log);

// The first two tokens of a mapping line: up to the first space, then up to
// the next space. A line without a space is all first token; a second token
// not followed by a space runs to the end of the line.
void psmapTokens(const std::string& line, std::string& fntDvi, std::string& fntPs);

// The font file named on a line by the token rules of the map: the last
// "<" token whose first full stop is followed by "pfb", without its "<";
// empty when there is none. A quote left open runs to the end of the line.
std::string psmapPfb(const std::string& line);

// The encoding file, slant and extend of a line: the last "<" or "<["
// token naming a ".enc" file, and the numbers before SlantFont and
// ExtendFont inside its quoted text. A number is kept only when it is a
// plain decimal (a sign, digits, one point).
void psmapReencoding(const std::string& line, MapEntry& entry);

}  // namespace morvex
