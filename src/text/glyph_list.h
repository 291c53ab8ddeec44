#pragma once
// The Unicode characters a glyph name stands for, by the glyph lists of the
// TeX installation and the Adobe rules that go with them: a suffix after a
// period is dropped, components joined by underscores stand for their
// characters in order, and names of the forms uniXXXX... and uXXXX[XX]
// carry their code points.
//
// Three lists, in this order of precedence (a name keeps the characters of
// the first list that gives it any): pdftex's glyphtounicode.tex, which
// writes TeX's ligatures as their letters and old-style and small-capital
// glyphs as the plain characters, and holds entries for single fonts
// ("tfm:cmmi10/phi"); texglyphlist.txt, TeX's additions to the Adobe list;
// glyphlist.txt, the Adobe list itself.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace morvex {

class GlyphList {
public:
    // A list of glyphlist.txt's form alone (see addGlyphList).
    static GlyphList parse(std::string_view text);
    // The three lists as kpathsea finds them; nullopt when none of them is
    // found or can be read.
    static std::optional<GlyphList> load();

    // Adds the "\pdfglyphtounicode{NAME}{XXXX XXXX ...}" lines of pdftex's
    // form (UTF-16 units, so a pair of surrogates is one character) for the
    // names the list lacks. Every other line is skipped.
    void addPdftexList(std::string_view text);
    // Adds the "NAME;XXXX[ XXXX...][,XXXX...]" lines of glyphlist.txt's form
    // for the names the list lacks; of the alternatives after commas the
    // first one that is text is taken, also in place of characters the list
    // gives that are none of them. Comments, blank lines and lines that do
    // not fit are skipped.
    void addGlyphList(std::string_view text);

    // The characters of a glyph of the font named fontName (its TFM name;
    // empty for none). Empty when the glyph is known to carry no text (the
    // compound word mark); nullopt when no list or rule knows the name.
    std::optional<std::u32string> characters(std::string_view glyphName, std::string_view fontName = {}) const;

    std::size_t size() const { return names.size(); }

private:
    void add(std::string_view name, const std::u32string& chars);
    const std::u32string* find(std::string_view name) const;
    std::optional<std::u32string> component(std::string_view name) const;
    std::optional<std::u32string> listed(std::string_view name) const;

    // Looked up by string_view, without a copy of the name.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, std::u32string, NameHash, std::equal_to<>> names;
};

// True for a code point that may stand in the text of an XML document and
// is no control character: a selectable character of the page.
bool textCharacter(char32_t c);

}  // namespace morvex
