#pragma once
// The areas of the hypertex links on a page: the boxes of the glyphs (as
// their TFM files give them) and rules set while a link is open, one area
// per line, and the places named, for the page model's link slots.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/extent.h"
#include "specials/hypertex_handler.h"
#include "svg/page_model.h"

namespace morvex {

// Each area carries its link's target: a long target over many lines
// would multiply it. A page's areas carry at most kTargetBudget bytes of
// targets; past that, a line of the link already on the page widens its
// last area, and a link not yet on it is left out.
class LinkTracker final : public HypertexListener {
public:
    static constexpr size_t kTargetBudget = size_t{16} << 20;

    // Links left out for the budget are traced to log, after tracePrefix.
    LinkTracker(double ptPerDvi, std::FILE* log, const char* tracePrefix)
        : ptPerDvi(ptPerDvi), log(log), tracePrefix(tracePrefix) {}

    void linkStarts(const HypertexLink& link) override;
    void linkEnds() override;
    void place(std::string_view name, int32_t h, int32_t v) override;

    // What a converted page sets, in DVI units: a character's box at its
    // reference point, a rule's from its bottom left corner.
    void glyph(int32_t h, int32_t v, int32_t width, int32_t height, int32_t depth);
    void rule(int32_t h, int32_t v, int32_t width, int32_t height);

    // The areas and places of the page read since the last take, into the
    // page's slots; a link still open goes on with a new area.
    void take(PageModel& page);
    // A new page: what stood before it belongs to none.
    void pageBegins();

private:
    void cover(const Extent& box, int32_t baseline);
    void endArea();

    const double ptPerDvi;
    std::FILE* const log;
    const char* const tracePrefix;
    bool open = false;
    bool lastIsOpenLink = false;  // the page's last area is the open link's
    size_t spent = 0;             // target bytes of the page's areas
    LinkKind kind = LinkKind::Address;
    std::string target;
    Extent area;  // of the line being set, TeX points
    int32_t lastBaseline = 0;  // of the box added last, DVI units
    std::vector<LinkArea> areas;
    std::vector<Anchor> anchors;
};

}  // namespace morvex
