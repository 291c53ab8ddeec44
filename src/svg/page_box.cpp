#include "svg/page_box.h"

#include <algorithm>

namespace morvex {

namespace {

struct KindName {
    std::string_view name;
    BoxKind kind;
};
constexpr KindName kKindNames[] = {
    {"page", BoxKind::Page}, {"min", BoxKind::Min}, {"paper", BoxKind::Paper}, {"preview", BoxKind::Preview}};

PageBox postambleBox(const BoxSources& s) {
    PageBox box;
    box.width = s.pageWidth;
    box.height = s.pageHeight;
    return box;
}

// The ink's bounds; a page without ink is an empty box at the DVI origin.
PageBox inkBox(const BoxSources& s) {
    PageBox box;
    if (s.ink.empty()) {
        box.x = box.originX;
        box.y = box.originY;
        return box;
    }
    box.x = s.ink.minX;
    box.y = s.ink.minY;
    box.width = s.ink.maxX - s.ink.minX;
    box.height = s.ink.maxY - s.ink.minY;
    return box;
}

// The paper's top left corner lies one inch left of and above the origin.
PageBox paperBox(const PaperSize& paper) {
    PageBox box;
    box.width = paper.width;
    box.height = paper.height;
    return box;
}

// The preview box grown by its adjustments, the reference point at (0, 0).
PageBox previewBox(const PreviewSpecial& p, double ptPerDvi) {
    PageBox box;
    box.originX = box.originY = 0;
    box.x = static_cast<double>(p.left) * ptPerDvi;
    box.y = -static_cast<double>(p.pageHeight()) * ptPerDvi;
    box.width = static_cast<double>(p.pageWidth()) * ptPerDvi;
    box.height = static_cast<double>(p.pageHeight() + p.pageDepth()) * ptPerDvi;
    box.hasBaseline = true;
    box.depth = static_cast<double>(p.pageDepth()) * ptPerDvi;
    return box;
}

}  // namespace

std::optional<BoxKind> boxKindNamed(std::string_view name) {
    for (const KindName& k : kKindNames)
        if (k.name == name) return k.kind;
    return std::nullopt;
}

PageBox pageBox(std::optional<BoxKind> kind, const BoxSources& sources) {
    const BoxKind chosen = kind.value_or(sources.preview ? BoxKind::Preview : BoxKind::Page);
    switch (chosen) {
        case BoxKind::Min: return inkBox(sources);
        case BoxKind::Paper:
            if (sources.paper) return paperBox(*sources.paper);
            break;
        case BoxKind::Preview:
            if (sources.preview) return previewBox(*sources.preview, sources.ptPerDvi);
            break;
        case BoxKind::Page: break;
    }
    return postambleBox(sources);
}

void printDimensions(std::FILE* out, const PageBox& box) {
    std::fprintf(out, "width=%.6fpt, height=%.6fpt, depth=%.6fpt\n", box.width, box.heightAboveBaseline(),
                 box.depth);
}

}  // namespace morvex
