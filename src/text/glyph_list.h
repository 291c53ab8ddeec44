#pragma once
// The Unicode characters a glyph name stands for, by the Adobe glyph list
// (glyphlist.txt of the TeX installation) and the rules that go with it:
// a suffix after a period is dropped, components joined by underscores
// stand for their characters in order, and names of the forms uniXXXX...
// and uXXXX[XX] carry their code points.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace morvex {

class GlyphList {
public:
    // Reads "name;XXXX[ XXXX...]" lines; comments, blank lines and lines
    // that do not fit are skipped.
    static GlyphList parse(std::string_view text);
    // glyphlist.txt as kpathsea finds it among the font map files; nullopt
    // when it is not found or cannot be read.
    static std::optional<GlyphList> load();

    // The characters of the name; empty when it stands for none.
    std::u32string characters(std::string_view glyphName) const;

    std::size_t size() const { return names.size(); }

private:
    std::u32string component(std::string_view name) const;
    std::unordered_map<std::string, std::u32string> names;
};

// True for a code point that may stand in the text of an XML document and
// is no control character: a selectable character of the page.
bool textCharacter(char32_t c);

}  // namespace morvex
