#include "fonts/generated_font.h"

#include <algorithm>
#include <cstdlib>

#include "base/printable.h"

namespace morvex {

namespace {

// The attribute escapes the program writes, and no others.
constexpr std::pair<std::string_view, char> kEscapes[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};

// Reads one line of the font from its start, field by field.
class Reader {
public:
    explicit Reader(std::string_view line) : rest(line) {}

    bool literal(std::string_view text) {
        if (rest.substr(0, text.size()) != text) return false;
        rest.remove_prefix(text.size());
        return true;
    }
    bool done() const { return rest.empty(); }

    // Attribute text up to its closing quote, unescaped: only the program's
    // escapes, no raw markup character, no character XML forbids, UTF-8
    // only.
    std::optional<std::string> text() {
        const size_t end = rest.find('"');
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view raw = rest.substr(0, end);
        rest.remove_prefix(end);
        std::string value;
        for (size_t i = 0; i < raw.size();) {
            const auto c = static_cast<unsigned char>(raw[i]);
            if (c == '<' || c == '>' || c < 0x20) return std::nullopt;
            if (c != '&') {
                value += static_cast<char>(c);
                ++i;
                continue;
            }
            bool known = false;
            for (const auto& [escape, plain] : kEscapes) {
                if (raw.substr(i, escape.size()) != escape) continue;
                value += plain;
                i += escape.size();
                known = true;
                break;
            }
            if (!known) return std::nullopt;
        }
        if (!validUtf8(value)) return std::nullopt;
        return value;
    }

    // Characters of one class up to the closing quote.
    std::optional<std::string> word(bool (*allowed)(char)) {
        const size_t end = rest.find('"');
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view w = rest.substr(0, end);
        if (!std::all_of(w.begin(), w.end(), allowed)) return std::nullopt;
        rest.remove_prefix(end);
        return std::string(w);
    }

    // A number as PostScript's cvs writes an integer or a real.
    std::optional<FontNumber> number() {
        std::optional<std::string> w = word(numberChar);
        if (!w || !numberSyntax(*w)) return std::nullopt;
        return FontNumber{*w, std::strtod(w->c_str(), nullptr)};
    }

private:
    static bool numberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'; }

    static bool numberSyntax(std::string_view s) {
        size_t i = 0, digits = 0;
        if (i < s.size() && s[i] == '-') ++i;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++digits;
        if (i < s.size() && s[i] == '.')
            for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++digits;
        if (digits == 0) return false;
        if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
            ++i;
            if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
            size_t exponent = 0;
            for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++exponent;
            if (exponent == 0) return false;
        }
        return i == s.size();
    }

    static bool validUtf8(std::string_view s) {
        for (size_t i = 0; i < s.size();) {
            const auto c = static_cast<unsigned char>(s[i]);
            const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
            if (n == 0 || i + n > s.size()) return false;
            for (size_t k = 1; k < n; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
            i += n;
        }
        return true;
    }

    std::string_view rest;
};

bool glyphNameChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '_' ||
           c == '-';
}

bool pathChar(char c) {
    return (c >= '0' && c <= '9') || c == 'M' || c == 'L' || c == 'C' || c == 'Z' || c == ' ' || c == '.' ||
           c == '-' || c == '+' || c == 'e' || c == 'E';
}

bool readHead(std::string_view line, GeneratedFont& font) {
    Reader r(line);
    std::optional<std::string> id;
    std::optional<FontNumber> advance;
    if (!r.literal("<font id=\"") || !(id = r.text()) || !r.literal("\" horiz-adv-x=\"") ||
        !(advance = r.number()) || !r.literal("\">") || !r.done())
        return false;
    font.id = *id;
    font.defaultAdvance = *advance;
    return true;
}

bool readFace(std::string_view line, GeneratedFont& font) {
    Reader r(line);
    std::optional<std::string> family;
    std::optional<FontNumber> upm, ascent, descent;
    if (!r.literal("<font-face font-family=\"") || !(family = r.text()) || !r.literal("\" units-per-em=\"") ||
        !(upm = r.number()) || !r.literal("\" ascent=\"") || !(ascent = r.number()) ||
        !r.literal("\" descent=\"") || !(descent = r.number()) || !r.literal("\"/>") || !r.done())
        return false;
    font.family = *family;
    font.unitsPerEm = *upm;
    font.ascent = *ascent;
    font.descent = *descent;
    return true;
}

std::optional<GlyphRecord> readGlyph(std::string_view line, int code) {
    Reader r(line);
    GlyphRecord g;
    g.code = code;
    std::optional<std::string> text, name, outline;
    std::optional<FontNumber> advance;
    if (!r.literal("<glyph unicode=\"") || !(text = r.text()) || !r.literal("\" glyph-name=\"") ||
        !(name = r.word(glyphNameChar)) || !r.literal("\" horiz-adv-x=\"") || !(advance = r.number()) ||
        !r.literal("\" d=\"") || !(outline = r.word(pathChar)) || !r.literal("\"/>") || !r.done())
        return std::nullopt;
    g.text = *text;
    g.name = *name;
    g.advance = *advance;
    g.outline = *outline;
    return g;
}

// The lines of a text whose every line ends with a newline.
std::optional<std::vector<std::string_view>> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        result.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return result;
}

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        bool escaped = false;
        for (const auto& [escape, plain] : kEscapes)
            if (c == plain) {
                out += escape;
                escaped = true;
            }
        if (!escaped) out += c;
    }
}

}  // namespace

const GlyphRecord* GeneratedFont::glyph(int code) const {
    auto it = std::lower_bound(glyphs.begin(), glyphs.end(), code,
                               [](const GlyphRecord& g, int c) { return g.code < c; });
    return it != glyphs.end() && it->code == code ? &*it : nullptr;
}

std::optional<GeneratedFont> parseGeneratedFont(std::string_view text, const std::bitset<256>& codes) {
    std::optional<std::vector<std::string_view>> all = lines(text);
    if (!all || all->size() != codes.count() + 3 || all->back() != "</font>") return std::nullopt;
    GeneratedFont font;
    if (!readHead((*all)[0], font) || !readFace((*all)[1], font)) return std::nullopt;
    size_t line = 2;
    for (int code = 0; code < 256; ++code) {
        if (!codes[static_cast<size_t>(code)]) continue;
        std::optional<GlyphRecord> g = readGlyph((*all)[line++], code);
        if (!g) return std::nullopt;
        font.glyphs.push_back(std::move(*g));
    }
    return font;
}

std::string generatedFontText(const GeneratedFont& font) {
    std::string s = "<font id=\"";
    appendEscaped(s, font.id);
    s += "\" horiz-adv-x=\"" + font.defaultAdvance.text + "\">\n<font-face font-family=\"";
    appendEscaped(s, font.family);
    s += "\" units-per-em=\"" + font.unitsPerEm.text + "\" ascent=\"" + font.ascent.text + "\" descent=\"" +
         font.descent.text + "\"/>\n";
    for (const GlyphRecord& g : font.glyphs) {
        s += "<glyph unicode=\"";
        appendEscaped(s, g.text);
        s += "\" glyph-name=\"" + g.name + "\" horiz-adv-x=\"" + g.advance.text + "\" d=\"" + g.outline + "\"/>\n";
    }
    return s + "</font>\n";
}

GeneratedFont fontForCodes(const GeneratedFont& font, const std::bitset<256>& codes) {
    GeneratedFont part = font;
    part.glyphs.clear();
    part.defaultAdvance = FontNumber{};
    for (const GlyphRecord& g : font.glyphs) {
        if (g.code < 0 || g.code > 255 || !codes[static_cast<size_t>(g.code)]) continue;
        if (g.advance.value > part.defaultAdvance.value) part.defaultAdvance = g.advance;
        part.glyphs.push_back(g);
    }
    return part;
}

std::string notdefTrace(const GeneratedFont& font, const EncodingVector& names) {
    std::string trace;
    for (const GlyphRecord& g : font.glyphs) {
        const std::string& wanted = names[static_cast<size_t>(g.code) & 0xFF];
        if (wanted == ".notdef" || g.name != ".notdef") continue;
        trace += "\nnotdef: code " + std::to_string(g.code) + " names /" + printable(wanted) +
                 ", which the font does not have\n";
    }
    return trace;
}

}  // namespace morvex
