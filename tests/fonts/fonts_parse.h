#pragma once
// Readers for the tests of the SVG fonts: the generated font markup, TFM
// widths through tftopl, and the codes each font sets on a page through
// dvitype.
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "support/process.h"

namespace morvex::testing {

inline std::string xmlUnescape(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size();) {
        static const std::pair<const char*, char> kEntities[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        bool done = false;
        for (const auto& [ent, ch] : kEntities) {
            std::string e = ent;
            if (s.compare(i, e.size(), e) == 0) {
                r += ch;
                i += e.size();
                done = true;
                break;
            }
        }
        if (!done) r += s[i++];
    }
    return r;
}

// The value of attribute name in one element's text, unescaped; found
// tells whether it is there.
inline std::string attribute(const std::string& element, const std::string& name, bool* found = nullptr) {
    const std::string key = " " + name + "=\"";
    size_t p = element.find(key);
    if (found != nullptr) *found = p != std::string::npos;
    if (p == std::string::npos) return "";
    size_t from = p + key.size();
    size_t to = element.find('"', from);
    return xmlUnescape(element.substr(from, to - from));
}

struct SvgGlyph {
    std::string unicode;  // unescaped
    std::string name;
    double advance = 0;
    bool hasAdvance = false;
    std::string d;
};

struct SvgFont {
    std::string id;
    std::string family;
    double unitsPerEm = 0;
    std::vector<SvgGlyph> glyphs;
};

// The font elements of a text, in order.
inline std::vector<SvgFont> parseSvgFonts(const std::string& text) {
    std::vector<SvgFont> fonts;
    for (size_t p = text.find("<font "); p != std::string::npos; p = text.find("<font ", p + 1)) {
        size_t end = text.find("</font>", p);
        std::string body = text.substr(p, end == std::string::npos ? std::string::npos : end - p);
        SvgFont f;
        f.id = attribute(body.substr(0, body.find('>')), "id");
        size_t face = body.find("<font-face ");
        if (face != std::string::npos) {
            std::string el = body.substr(face, body.find('>', face) - face);
            f.family = attribute(el, "font-family");
            f.unitsPerEm = std::strtod(attribute(el, "units-per-em").c_str(), nullptr);
        }
        for (size_t g = body.find("<glyph "); g != std::string::npos; g = body.find("<glyph ", g + 1)) {
            std::string el = body.substr(g, body.find("/>", g) - g);
            SvgGlyph glyph;
            glyph.unicode = attribute(el, "unicode");
            glyph.name = attribute(el, "glyph-name");
            glyph.advance = std::strtod(attribute(el, "horiz-adv-x", &glyph.hasAdvance).c_str(), nullptr);
            glyph.d = attribute(el, "d");
            f.glyphs.push_back(glyph);
        }
        fonts.push_back(f);
    }
    return fonts;
}

// Character widths of the TFM file at path as multiples of its design size
// (tftopl gives them so when the design units are 1), by code.
inline std::map<int, double> tfmFileWidths(const std::string& path) {
    auto pl = runProcess({"tftopl", "-charcode-format=octal", path}, "/");
    std::map<int, double> widths;
    static const std::regex kChar(R"(\(CHARACTER O ([0-7]+))");
    static const std::regex kWd(R"(\(CHARWD R (-?[0-9.]+)\))");
    int current = -1;
    size_t start = 0;
    while (start < pl.out.size()) {
        size_t nl = pl.out.find('\n', start);
        std::string line = pl.out.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        start = nl == std::string::npos ? pl.out.size() : nl + 1;
        std::smatch m;
        if (std::regex_search(line, m, kChar)) {
            current = static_cast<int>(std::strtol(m[1].str().c_str(), nullptr, 8));
            widths[current] = 0.0;
        } else if (current >= 0 && std::regex_search(line, m, kWd)) {
            widths[current] = std::strtod(m[1].str().c_str(), nullptr);
        }
    }
    if (pl.out.find("(DESIGNUNITS R 1.0)") == std::string::npos &&
        pl.out.find("(DESIGNUNITS") != std::string::npos)
        widths.clear();  // other design units: not handled here
    return widths;
}

// The same for the TFM file of a font, found through kpathsea.
inline std::map<int, double> tfmWidths(const std::string& fontName) {
    auto where = runProcess({"kpsewhich", fontName + ".tfm"}, "/");
    return tfmFileWidths(where.out.substr(0, where.out.find('\n')));
}

// The characters that the pages numbered page set or put, in order, each
// with the name of its font, as dvitype lists them.
inline std::vector<std::pair<std::string, int>> dvitypePageChars(const std::string& dviPath, int page) {
    auto r = runProcess({"dvitype", "-output-level=4", dviPath}, "/");
    std::vector<std::pair<std::string, int>> chars;
    static const std::regex kPage(R"(beginning of page (-?[0-9]+))");
    static const std::regex kFont(R"(current font is (\S+))");
    static const std::regex kChar(R"(^[0-9]+: (setchar|set1 |put1 )([0-9]+))");
    int current = 0;
    std::string font;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t nl = r.out.find('\n', start);
        std::string line = r.out.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        start = nl == std::string::npos ? r.out.size() : nl + 1;
        std::smatch m;
        if (std::regex_search(line, m, kPage)) {
            current = std::atoi(m[1].str().c_str());
            font.clear();
        } else if (std::regex_search(line, m, kFont)) {
            font = m[1].str();
        } else if (current == page && std::regex_search(line, m, kChar)) {
            chars.emplace_back(font, std::atoi(m[2].str().c_str()));
        }
    }
    return chars;
}

// The codes that each font (by name) sets or puts on the pages numbered
// page, as dvitype lists them.
inline std::map<std::string, std::set<int>> dvitypeCodesByFont(const std::string& dviPath, int page) {
    std::map<std::string, std::set<int>> byFont;
    for (const auto& [font, code] : dvitypePageChars(dviPath, page)) byFont[font].insert(code);
    return byFont;
}

}  // namespace morvex::testing
