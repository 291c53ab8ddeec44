#include "svg/link_tracker.h"

#include <iterator>

namespace morvex {

void LinkTracker::linkStarts(const HypertexLink& link) {
    endArea();
    open = true;
    lastIsOpenLink = false;
    kind = link.internal ? LinkKind::Destination : LinkKind::Address;
    target = link.target;
}

void LinkTracker::linkEnds() {
    endArea();
    open = false;
    target.clear();
}

void LinkTracker::place(std::string_view name, int32_t h, int32_t v) {
    anchors.push_back({std::string(name), std::make_pair(h * ptPerDvi, v * ptPerDvi)});
}

void LinkTracker::glyph(int32_t h, int32_t v, int32_t width, int32_t height, int32_t depth) {
    // A character without a box above or below its baseline covers nothing.
    if (!open || int64_t{height} + depth <= 0) return;
    Extent box;
    box.add(h * ptPerDvi, (static_cast<double>(v) - height) * ptPerDvi);
    box.add((static_cast<double>(h) + width) * ptPerDvi, (static_cast<double>(v) + depth) * ptPerDvi);
    cover(box, v);
}

void LinkTracker::rule(int32_t h, int32_t v, int32_t width, int32_t height) {
    if (!open || width <= 0 || height <= 0) return;
    Extent box;
    box.add(h * ptPerDvi, (static_cast<double>(v) - height) * ptPerDvi);
    box.add((static_cast<double>(h) + width) * ptPerDvi, v * ptPerDvi);
    cover(box, v);
}

// A box on another baseline with a gap between it and the line's area is
// on another line (or in another column): the area so far is one, and the
// box begins the next. A sub- or superscript still overlaps its line, and
// a glyph that only reaches below the baseline, or a rule just under the
// line, stays on it.
void LinkTracker::cover(const Extent& box, int32_t baseline) {
    if (!area.empty() && baseline != lastBaseline && (box.minY > area.maxY || box.maxY < area.minY)) endArea();
    area.add(box);
    lastBaseline = baseline;
}

void LinkTracker::endArea() {
    if (!open || area.empty()) return;
    if (spent + target.size() <= kTargetBudget) {
        spent += target.size();
        areas.push_back({area, kind, target});
        lastIsOpenLink = true;
    } else if (lastIsOpenLink) {
        areas.back().area.add(area);
    } else {
        std::fprintf(log, "\n%sa link is left out: the page's links hold more than %zu bytes of targets",
                     tracePrefix, kTargetBudget);
    }
    area = Extent{};
}

void LinkTracker::take(PageModel& page) {
    endArea();
    // Other parts of the program may have filled the slots too.
    page.links.insert(page.links.end(), std::make_move_iterator(areas.begin()), std::make_move_iterator(areas.end()));
    page.anchors.insert(page.anchors.end(), std::make_move_iterator(anchors.begin()),
                        std::make_move_iterator(anchors.end()));
    areas.clear();
    anchors.clear();
    spent = 0;
    lastIsOpenLink = false;
}

void LinkTracker::pageBegins() {
    area = Extent{};
    spent = 0;
    lastIsOpenLink = false;
    areas.clear();
    anchors.clear();
}

}  // namespace morvex
