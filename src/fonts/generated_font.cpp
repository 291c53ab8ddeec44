#include "fonts/generated_font.h"

#include <cstdlib>

namespace morvex {

namespace {

// The value of attribute name in one element's text, with the escapes the
// generated fonts use undone.
std::string attribute(const std::string& element, const std::string& name, bool& found) {
    const std::string key = " " + name + "=\"";
    size_t from = element.find(key);
    found = from != std::string::npos;
    if (!found) return "";
    from += key.size();
    size_t to = element.find('"', from);
    std::string raw = element.substr(from, to == std::string::npos ? std::string::npos : to - from);
    std::string value;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            value += raw[i];
            continue;
        }
        static const std::pair<const char*, char> kEscapes[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
        bool done = false;
        for (const auto& [text, c] : kEscapes) {
            if (raw.compare(i, std::char_traits<char>::length(text), text) == 0) {
                value += c;
                i += std::char_traits<char>::length(text) - 1;
                done = true;
                break;
            }
        }
        if (!done) value += '&';
    }
    return value;
}

double number(const std::string& s) {
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    return end == s.c_str() ? 0.0 : v;
}

}  // namespace

FontOutlines parseGeneratedFont(const std::string& text, const std::bitset<256>& codes) {
    FontOutlines font;
    bool found = false;
    size_t face = text.find("<font-face ");
    if (face != std::string::npos) {
        const std::string element = text.substr(face, text.find('>', face) - face);
        double upm = number(attribute(element, "units-per-em", found));
        if (found && upm > 0) font.unitsPerEm = upm;
    }
    size_t at = 0;
    for (size_t code = 0; code < 256; ++code) {
        if (!codes[code]) continue;
        at = text.find("<glyph ", at);
        if (at == std::string::npos) break;
        size_t end = text.find("/>", at);
        const std::string element = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end;
        GlyphOutline& g = font.glyphs[code];
        g.present = true;
        g.name = attribute(element, "glyph-name", found);
        g.advance = number(attribute(element, "horiz-adv-x", found));
        g.d = attribute(element, "d", found);
    }
    return font;
}

}  // namespace morvex
