#include "svg/page_ink.h"

#include <algorithm>
#include <unordered_map>

namespace morvex {

namespace {

uint64_t spreadKey(uint32_t font, uint8_t code) { return (uint64_t{font} << 8) | code; }

}  // namespace

PageInk::PageInk(const PageModel& page) {
    // One spread per glyph and size; a glyph is rarely set at two sizes.
    std::unordered_map<uint64_t, size_t> first;
    for (const PageItem& item : page.items) {
        switch (item.kind) {
            case ItemKind::Glyph: {
                auto [it, added] = first.try_emplace(spreadKey(item.font, item.code), glyphs.size());
                size_t at = it->second;
                if (!added)
                    while (at < glyphs.size() && !(glyphs[at].font == item.font && glyphs[at].code == item.code &&
                                                   glyphs[at].size == item.size))
                        ++at;
                if (added || at == glyphs.size()) {
                    glyphs.push_back({item.font, item.size, item.code, item.h, item.h, item.v, item.v});
                    break;
                }
                Spread& s = glyphs[at];
                s.minH = std::min(s.minH, item.h);
                s.maxH = std::max(s.maxH, item.h);
                s.minV = std::min(s.minV, item.v);
                s.maxV = std::max(s.maxV, item.v);
                break;
            }
            case ItemKind::Rule:
                rules.add(item.h, static_cast<double>(item.v) - item.height);
                rules.add(static_cast<double>(item.h) + item.width, item.v);
                break;
            case ItemKind::Markup:
                if (item.font < page.markup.size()) markup.add(page.markup[item.font].ink);
                break;
            case ItemKind::Frame:
                break;
        }
    }
}

Extent glyphInk(const FontGlyphs& font, uint8_t code, double sizePt, double x, double y) {
    Extent e;
    const GlyphDef& g = font.glyphs[code];
    if (!g.drawn) return e;
    if (!g.extent) {
        e.add(x, y);
        return e;
    }
    if (g.extent->empty()) return e;
    const double k = font.unitsPerEm > 0 ? sizePt / font.unitsPerEm : 0;
    e.add(x + k * g.extent->minX, y - k * g.extent->maxY);
    e.add(x + k * g.extent->maxX, y - k * g.extent->minY);
    return e;
}

Extent PageInk::extent(const GlyphTable& table, double ptPerDvi, double originX, double originY) const {
    Extent e;
    for (const Spread& s : glyphs) {
        if (s.font >= table.size()) continue;
        const FontGlyphs& font = table.font(s.font);
        const double size = s.size * ptPerDvi;
        e.add(glyphInk(font, s.code, size, s.minH * ptPerDvi + originX, s.minV * ptPerDvi + originY));
        e.add(glyphInk(font, s.code, size, s.maxH * ptPerDvi + originX, s.maxV * ptPerDvi + originY));
    }
    if (!rules.empty()) {
        e.add(rules.minX * ptPerDvi + originX, rules.minY * ptPerDvi + originY);
        e.add(rules.maxX * ptPerDvi + originX, rules.maxY * ptPerDvi + originY);
    }
    if (!markup.empty()) {
        e.add(markup.minX + originX, markup.minY + originY);
        e.add(markup.maxX + originX, markup.maxY + originY);
    }
    return e;
}

}  // namespace morvex
