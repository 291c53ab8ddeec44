#include "svg/page_gathering.h"

namespace morvex {

void PageGathering::page(PageModel& page) {
    GatheredPage& g = gathered.emplace_back();
    g.count0 = page.count0;
    g.position = page.position;
    g.preview = page.preview;
    if (keepInk) g.ink.emplace(page);
    for (const Anchor& anchor : page.anchors) named.add(anchor.name, page.position);
    for (PageConsumer* other : others) other->page(page);
}

void PageGathering::setInk(uint64_t position, const PageInk& ink) {
    for (GatheredPage& g : gathered)
        if (g.position == position && g.ink) g.ink = ink;
}

std::vector<PlacedBox> PageGathering::boxes(std::optional<BoxKind> kind, const GlyphTable& table, double ptPerDvi,
                                            const PageBox& page) const {
    std::vector<PlacedBox> placed;
    for (const GatheredPage& g : gathered) {
        BoxSources sources;
        sources.ptPerDvi = ptPerDvi;
        sources.pageWidth = page.width;
        sources.pageHeight = page.height;
        sources.paper = paperSize.paper();
        sources.preview = g.preview;
        if (g.ink) sources.ink = g.ink->extent(table, ptPerDvi, page.originX, page.originY);
        placed.push_back({g.position, pageBox(kind, sources)});
    }
    return placed;
}

}  // namespace morvex
