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
    // The frame the glyphs and rules are set in, as the writer opens it.
    uint32_t frame = kNoFrame;
    for (const PageItem& item : page.items) {
        if (frame != kNoFrame && (item.kind == ItemKind::Glyph || item.kind == ItemKind::Rule)) {
            if (item.kind == ItemKind::Glyph)
                framed.push_back({false, item.code, item.font, item.size, item.h, item.v, 0, 0, frame});
            else
                framed.push_back({true, 0, 0, 0, item.h, item.v, item.width, item.height, frame});
            continue;
        }
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
                frame = kNoFrame;
                if (item.font < page.frames.size() && !page.frames[item.font].plain()) {
                    ItemFrame f = page.frames[item.font];
                    f.open.clear();
                    frame = static_cast<uint32_t>(frames.size());
                    frames.push_back(std::move(f));
                }
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
    for (const Framed& f : framed) {
        Extent own;  // TeX points from the DVI origin, before the frame moves it
        if (f.rule) {
            own.add(f.h * ptPerDvi, (static_cast<double>(f.v) - f.height) * ptPerDvi);
            own.add((static_cast<double>(f.h) + f.width) * ptPerDvi, f.v * ptPerDvi);
        } else if (f.font < table.size()) {
            own = glyphInk(table.font(f.font), f.code, f.size * ptPerDvi, f.h * ptPerDvi, f.v * ptPerDvi);
        }
        if (own.empty()) continue;
        const ItemFrame& m = frames[f.frame];
        for (double x : {own.minX, own.maxX})
            for (double y : {own.minY, own.maxY})
                e.add(m.a * x + m.c * y + m.e + originX, m.b * x + m.d * y + m.f + originY);
    }
    return e;
}

}  // namespace morvex
