#include "svg/glyph_table.h"

#include <algorithm>
#include <cstdio>

#include "base/printable.h"
#include "text/conv.h"
#include "text/glyph_list.h"
#include "svg/xml_text.h"
#include "fonts/outline_extent.h"

namespace morvex {

namespace {

// An id prefix for a font's glyphs from its name, so that distinct names
// give distinct ids (the code follows the last '-') and documents pasted
// into one HTML page share an id only for one glyph.
std::string glyphIdPrefix(const std::string& fontName) {
    std::string id = "mvx-";
    appendIdText(id, fontName);
    id += '-';
    return id;
}

// Attribute text from outside (path data read back from Ghostscript's
// output): the markup characters escaped, anything but printable ASCII a
// space.
std::string attributeText(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '&')
            s += "&amp;";
        else if (c == '<')
            s += "&lt;";
        else if (c == '"')
            s += "&quot;";
        else if (c < 0x20 || c > 0x7E)
            s += ' ';
        else
            s += static_cast<char>(c);
    }
    return s;
}

std::string escapedText(const std::u32string& chars) {
    std::string s;
    for (char32_t c : chars) {
        if (c == '&')
            s += "&amp;";
        else if (c == '<')
            s += "&lt;";
        else if (c == '>')
            s += "&gt;";
        else
            s += utf8(c);
    }
    return s;
}

// The text of a code whose glyph name stands for no character: conv's,
// with the one control character it keeps (DEL) moved to the private use
// area as conv moves the others.
std::string codeText(unsigned char code) {
    char32_t c = convCodePoint(code);
    return textCharacter(c) ? convCode(code) : utf8(0xE000 + code);
}

// The scale from font units to ems, y flipped: a use scales the em by the
// font's size.
std::string emScale(double unitsPerEm) {
    const double unit = unitsPerEm > 0 ? 1.0 / unitsPerEm : 0.001;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", unit);
    return std::string(" transform=\"scale(") + buf + " -" + buf + ")\"";
}

// A glyph's definition and text; fontName is the font's TeX name, which
// some lists key glyphs by.
void fill(GlyphDef& g, const GlyphRecord* outline, const GlyphList* names, const std::string& fontName,
          unsigned char code) {
    std::optional<std::u32string> chars;
    if (outline != nullptr) {
        g.name = outline->name;
        g.drawn = outline->name != ".notdef" && !outline->outline.empty();
        if (names != nullptr) chars = names->characters(outline->name, fontName);
    }
    if (g.drawn) {
        g.d = attributeText(outline->outline);
        g.extent = outlineExtent(outline->outline);
    }
    // A glyph the lists know to carry no text (the compound word mark) has
    // none; one they do not know, the text of its code.
    g.text = chars ? escapedText(*chars) : codeText(code);
    g.filled = true;
}

}  // namespace

GlyphTable::GlyphTable(const FontRegistry& registry, const std::map<std::string, GeneratedFont>* outlines,
                       const GlyphList* names) {
    for (size_t code = 0; code < 256; ++code) plainText[code] = codeText(static_cast<unsigned char>(code));
    for (const RegisteredFont& used : registry.fonts()) {
        FontGlyphs& font = fonts.emplace_back();
        font.name = used.name;
        font.idPrefix = glyphIdPrefix(used.name);
        const GeneratedFont* source = nullptr;
        if (outlines != nullptr)
            if (auto it = outlines->find(used.name); it != outlines->end()) source = &it->second;
        if (source != nullptr) {
            font.unitsPerEm = source->unitsPerEm.value;
            font.scale = emScale(source->unitsPerEm.value);
        }
        for (size_t code = 0; code < 256; ++code) {
            if (!used.codes[code]) continue;
            fill(font.glyphs[code], source != nullptr ? source->glyph(static_cast<int>(code)) : nullptr, names,
                 used.name, static_cast<unsigned char>(code));
        }
    }
    for (uint32_t i = 0; i < fonts.size(); ++i) nameOrder.push_back(i);
    std::sort(nameOrder.begin(), nameOrder.end(), [&](uint32_t a, uint32_t b) { return fonts[a].name < fonts[b].name; });
}

const std::string& GlyphTable::text(uint32_t font, uint8_t code) const {
    if (font >= fonts.size()) return plainText[code];
    const GlyphDef& g = fonts[font].glyphs[code];
    return g.filled ? g.text : plainText[code];
}

void GlyphTable::trace(const FontRegistry& registry, std::FILE* log) const {
    std::fputs("\nPaths: glyphs defined:", log);
    for (size_t i = 0; i < fonts.size(); ++i) {
        const auto& codes = registry.fonts()[i].codes;
        if (codes.none()) continue;
        std::fprintf(log, " %s[", printable(fonts[i].name).c_str());
        bool first = true;
        for (size_t code = 0; code < 256; ++code) {
            if (!codes[code]) continue;
            const GlyphDef& g = fonts[i].glyphs[code];
            std::fprintf(log, "%s%zu=%s", first ? "" : " ", code, g.drawn ? printable(g.name).c_str() : "(none)");
            first = false;
        }
        std::fputc(']', log);
    }
}

}  // namespace morvex
