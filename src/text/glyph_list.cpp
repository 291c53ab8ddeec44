#include "text/glyph_list.h"

#include <memory>
#include <vector>

#include "base/file_handle.h"
#include "base/kpse_program.h"

// kpathsea's macros clash with the standard headers: it comes last.
#include <kpathsea/kpathsea.h>

namespace morvex {

namespace {

// The list holds some 4500 short lines; anything much larger is not it.
constexpr std::size_t kMaxListBytes = 4 << 20;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Uppercase hexadecimal digits only, as both the list and the name forms
// write them.
std::optional<char32_t> hexValue(std::string_view digits) {
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    char32_t v = 0;
    for (char c : digits) {
        int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<char32_t>(d);
    }
    return v;
}

bool scalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

}  // namespace

bool textCharacter(char32_t c) {
    if (!scalarValue(c)) return false;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
    return c != 0xFFFE && c != 0xFFFF;
}

GlyphList GlyphList::parse(std::string_view text) {
    GlyphList list;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        size_t semi = line.find(';');
        if (semi == 0 || semi == std::string_view::npos) continue;
        std::string_view name = line.substr(0, semi);
        std::string_view values = line.substr(semi + 1);
        std::u32string chars;
        bool good = true;
        while (!values.empty() && good) {
            size_t space = values.find(' ');
            std::string_view one = values.substr(0, space);
            std::optional<char32_t> c = one.size() == 4 ? hexValue(one) : std::nullopt;
            if (c && scalarValue(*c))
                chars += *c;
            else
                good = false;
            values = space == std::string_view::npos ? std::string_view() : values.substr(space + 1);
        }
        if (good && !chars.empty()) list.names.emplace(std::string(name), std::move(chars));
    }
    return list;
}

std::optional<GlyphList> GlyphList::load() {
    setKpseProgramName();
    std::unique_ptr<char, decltype(&free)> found(kpse_find_file("glyphlist.txt", kpse_fontmap_format, 0), &free);
    if (!found) return std::nullopt;
    std::optional<std::string> text = readWholeFile(found.get(), kMaxListBytes);
    if (!text) return std::nullopt;
    return parse(*text);
}

std::u32string GlyphList::component(std::string_view name) const {
    if (auto it = names.find(std::string(name)); it != names.end()) return it->second;
    // uni followed by one or more groups of four digits, none a surrogate.
    if (name.size() > 3 && name.substr(0, 3) == "uni" && (name.size() - 3) % 4 == 0) {
        std::u32string chars;
        for (size_t i = 3; i < name.size(); i += 4) {
            std::optional<char32_t> c = hexValue(name.substr(i, 4));
            if (!c || (*c >= 0xD800 && *c <= 0xDFFF)) return {};
            chars += *c;
        }
        return chars;
    }
    // u followed by four to six digits.
    if (name.size() >= 5 && name.size() <= 7 && name.front() == 'u') {
        std::optional<char32_t> c = hexValue(name.substr(1));
        if (c && scalarValue(*c)) return std::u32string(1, *c);
    }
    return {};
}

std::u32string GlyphList::characters(std::string_view glyphName) const {
    glyphName = glyphName.substr(0, glyphName.find('.'));
    std::u32string chars;
    while (!glyphName.empty()) {
        size_t bar = glyphName.find('_');
        chars += component(glyphName.substr(0, bar));
        glyphName = bar == std::string_view::npos ? std::string_view() : glyphName.substr(bar + 1);
    }
    return chars;
}

}  // namespace morvex
