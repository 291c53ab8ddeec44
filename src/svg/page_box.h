#pragma once
// The box a --paths page is shown in, and its size as the tools that embed
// formulas in web pages read it.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "base/extent.h"
#include "specials/paper_special.h"
#include "specials/preview_special.h"

namespace morvex {

// --bbox: the page box of the postamble (one inch of margin at the left and
// top), the ink, the paper of a papersize special, the preview package's
// box.
enum class BoxKind { Page, Min, Paper, Preview };

std::optional<BoxKind> boxKindNamed(std::string_view name);

// A page's box in its drawing's coordinates (TeX points), and where the
// DVI origin lies in them: one inch in from the corner of the paper, or at
// (0, 0) for a box with a baseline, whose baseline is then y = 0.
struct PageBox {
    double originX = 72.27, originY = 72.27;
    double x = 0, y = 0, width = 0, height = 0;
    bool hasBaseline = false;
    double depth = 0;  // below the baseline, TeX points; 0 without one

    // The height above the baseline, or the whole height without one.
    double heightAboveBaseline() const { return hasBaseline ? height - depth : height; }
};

// A page's box with the page it belongs to.
struct PlacedBox {
    uint64_t position = 0;
    PageBox box;
};

// What a page's box may come from.
struct BoxSources {
    double ptPerDvi = 0;
    double pageWidth = 0, pageHeight = 0;  // the postamble's box, margins included
    std::optional<PaperSize> paper;         // the document's last papersize special
    std::optional<PreviewSpecial> preview;  // the page's preview box
    Extent ink;                             // the page's ink, DVI origin at (72.27, 72.27)
};

// The box of a page: the kind asked for, or without one the preview box of
// a page that has it and the page box of any other. A kind whose source the
// page lacks gives the page box.
PageBox pageBox(std::optional<BoxKind> kind, const BoxSources& sources);

// "width=Wpt, height=Hpt, depth=Dpt" and a newline, in TeX points.
void printDimensions(std::FILE* out, const PageBox& box);

}  // namespace morvex
