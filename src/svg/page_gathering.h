#pragma once
// The pass over the pages before any is written: what every page must
// know before it is drawn. It keeps, for each selected page, its place and
// preview box and, when the boxes are the ink's, where its ink may lie; of
// the whole file the last papersize special and the places its pages name. Other consumers (what the
// pictures and links of all pages need) ride along on the same pass.
#include <cstdint>
#include <optional>
#include <vector>

#include "specials/paper_special.h"
#include "svg/page_box.h"
#include "svg/link_layer.h"
#include "svg/page_builder.h"
#include "svg/page_ink.h"

namespace morvex {

struct GatheredPage {
    int32_t count0 = 0;
    uint64_t position = 0;
    std::optional<PreviewSpecial> preview;
    std::optional<PageInk> ink;  // kept only when the boxes are the ink's
};

class PageGathering final : public PageConsumer {
public:
    explicit PageGathering(bool keepInk) : keepInk(keepInk) {}

    // Another consumer of the same pass, told of every page after this
    // one; what it reads of the specials it adds to the builder's.
    void add(PageConsumer& other) { others.push_back(&other); }
    // Reads the specials it needs from the pages the builder is given.
    void attach(PageBuilder& builder) { builder.specials().add(PaperSizeHandler::kPrefix, paperSize); }

    void page(PageModel& page) override;

    const std::vector<GatheredPage>& pages() const { return gathered; }
    // The ink of the page at position measured again after the pass (with
    // its pictures); nothing when the boxes are not the ink's.
    void setInk(uint64_t position, const PageInk& ink);
    // The box of each page gathered, of the kind asked for (or its own),
    // its ink measured by the glyphs of table; page is the postamble's box.
    std::vector<PlacedBox> boxes(std::optional<BoxKind> kind, const GlyphTable& table, double ptPerDvi,
                                 const PageBox& page) const;
    const std::optional<PaperSize>& paper() const { return paperSize.paper(); }
    // The places the pages name, for links between them.
    const AnchorIndex& anchors() const { return named; }
    // A place a page names that the pass could not see (one the pictures'
    // run reports), at the page of that position.
    void addAnchor(const std::string& name, uint64_t position) { named.add(name, position); }

private:
    const bool keepInk;
    std::vector<GatheredPage> gathered;
    PaperSizeHandler paperSize;
    AnchorIndex named;
    std::vector<PageConsumer*> others;
};

}  // namespace morvex
