#include "text/glyph_list.h"

#include <array>
#include <memory>
#include <utility>

#include "base/file_handle.h"
#include "base/kpse_program.h"
#include "text/glyph_code_points.h"

// kpathsea's macros clash with the standard headers: it comes last.
#include <kpathsea/kpathsea.h>

namespace morvex {

namespace {

// pdftex's list is some 220 KB, the others less; anything much larger is
// not a glyph list.
constexpr std::size_t kMaxListBytes = 4 << 20;

// The three lists hold some 5500 names together.
constexpr std::size_t kExpectedNames = 8192;

// The key of a font's own entry in pdftex's list.
constexpr std::string_view kFontEntryPrefix = "tfm:";

// The Adobe list gives the bare names Delta, Omega and mu to the increment,
// ohm and micro signs and keeps the Greek letters under NAME + "greek";
// TeX's fonts (cmr, cmmi, their kin) mean the letters by the bare names.
constexpr std::array<std::string_view, 3> kGreekLetterNames = {"Delta", "Omega", "mu"};
constexpr std::string_view kGreekSuffix = "greek";

// TeX's extension fonts (cmex) name each size of a delimiter or operator
// by its symbol's name and the size: parenleftbig, summationdisplay.
// Longer suffixes first, so that bigg is not read as big.
constexpr std::array<std::string_view, 6> kSizeSuffixes = {"display", "Bigg", "bigg", "text", "Big", "big"};

// The compound word mark of the T1 fonts and the taller ones of TS1
// (cwm, compwordmark, capitalcompwordmark, cwmascender): invisible, they
// only part letters that would otherwise form a ligature.
bool compoundWordMark(std::string_view name) {
    constexpr std::string_view kShort = "cwm", kLong = "compwordmark";
    return name.substr(0, kShort.size()) == kShort ||
           (name.size() >= kLong.size() && name.substr(name.size() - kLong.size()) == kLong);
}

// The zero that follows a percent sign to make the per-mille sign in T1
// fonts: no list names it, and Unicode has no character of its own for it.
constexpr std::string_view kPerThousandZero = "perthousandzero";

// A list file as kpathsea finds it: regular files only, bounded, so that a
// pipe or a device of that name cannot hold the run.
std::optional<std::string> readList(const char* name, kpse_file_format_type format) {
    std::unique_ptr<char, decltype(&free)> found(kpse_find_file(name, format, 0), &free);
    if (!found) return std::nullopt;
    OpenFailure failure;
    FileHandle f = openRegularFile(found.get(), failure);
    if (!f) return std::nullopt;
    std::string text;
    char buf[65536];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
        text.append(buf, got);
        if (text.size() > kMaxListBytes) return std::nullopt;
    }
    if (std::ferror(f.get())) return std::nullopt;
    return text;
}

// The name forms that carry their code points: uni with groups of four
// digits (no surrogates), u with four to six.
std::optional<std::u32string> codePointName(std::string_view name) {
    std::u32string chars;
    if (name.size() > 3 && name.substr(0, 3) == "uni" && (name.size() - 3) % 4 == 0) {
        for (std::size_t i = 3; i < name.size(); i += 4) {
            std::optional<char32_t> c = hexCodePoint(name.substr(i, 4));
            if (!c || surrogate(*c)) return std::nullopt;
            chars += *c;
        }
    } else if (name.size() >= 5 && name.size() <= 7 && name.front() == 'u') {
        std::optional<char32_t> c = hexCodePoint(name.substr(1));
        if (!c || !scalarValue(*c)) return std::nullopt;
        chars += *c;
    } else {
        return std::nullopt;
    }
    // What is no text stands for nothing the list would let through.
    std::u32string kept;
    for (char32_t c : chars) {
        if (!textCharacter(c)) return std::nullopt;
        if (!zeroWidthMark(c)) kept += c;
    }
    return kept;
}

}  // namespace

bool textCharacter(char32_t c) {
    if (!scalarValue(c)) return false;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
    return c != 0xFFFE && c != 0xFFFF;
}

std::optional<GlyphList> GlyphList::load() {
    setKpseProgramName();
    GlyphList list;
    list.names.reserve(kExpectedNames);
    bool any = false;
    if (std::optional<std::string> text = readList("glyphtounicode.tex", kpse_tex_format)) {
        list.addPdftexList(*text);
        any = true;
    }
    for (const char* name : {"texglyphlist.txt", "glyphlist.txt"})
        if (std::optional<std::string> text = readList(name, kpse_fontmap_format)) {
            list.addGlyphList(*text);
            any = true;
        }
    if (!any) return std::nullopt;
    return list;
}

const std::u32string* GlyphList::find(std::string_view name) const {
    auto it = names.find(name);
    return it == names.end() ? nullptr : &it->second;
}

// A name as the lists give it, with TeX's readings of the names they give
// otherwise or not at all.
std::optional<std::u32string> GlyphList::listed(std::string_view name) const {
    for (std::string_view greek : kGreekLetterNames)
        if (name == greek)
            if (const std::u32string* letter = find(std::string(name) + std::string(kGreekSuffix))) return *letter;
    if (const std::u32string* chars = find(name)) return *chars;
    for (std::string_view size : kSizeSuffixes)
        if (name.size() > size.size() && name.substr(name.size() - size.size()) == size)
            if (const std::u32string* chars = find(name.substr(0, name.size() - size.size()))) return *chars;
    if (name == kPerThousandZero) return U"0";
    return std::nullopt;
}

std::optional<std::u32string> GlyphList::component(std::string_view name) const {
    if (std::optional<std::u32string> chars = listed(name)) return chars;
    return codePointName(name);
}

std::optional<std::u32string> GlyphList::characters(std::string_view glyphName, std::string_view fontName) const {
    if (!fontName.empty()) {
        std::string key(kFontEntryPrefix);
        key.append(fontName).append("/").append(glyphName);
        if (const std::u32string* chars = find(key)) return *chars;
    }
    glyphName = glyphName.substr(0, glyphName.find('.'));
    if (compoundWordMark(glyphName)) return std::u32string();
    // Components the lists do not know stand for nothing; a name none of
    // whose components is known is unknown.
    std::optional<std::u32string> chars;
    while (!glyphName.empty()) {
        const std::size_t bar = glyphName.find('_');
        if (std::optional<std::u32string> one = component(glyphName.substr(0, bar))) {
            if (!chars) chars.emplace();
            *chars += *one;
        }
        glyphName = bar == std::string_view::npos ? std::string_view() : glyphName.substr(bar + 1);
    }
    return chars;
}

}  // namespace morvex
