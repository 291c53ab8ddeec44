#pragma once
// Gathers the commands of each selected page into a PageModel (glyph uses,
// rules, colours, the runs of its invisible text, its preview box, its
// links and named places) and
// hands the page to a consumer at its end: the pass that collects what
// all pages need before any is written, or the one that writes them.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/page_events.h"
#include "specials/color_handler.h"
#include "specials/hypertex_handler.h"
#include "specials/preview_special.h"
#include "specials/special_dispatcher.h"
#include "svg/font_registry.h"
#include "svg/link_tracker.h"
#include "svg/page_model.h"
#include "text/text_machine.h"

namespace morvex {

class PageConsumer {
public:
    // A selected page, complete or cut short by the end of the pass. The
    // consumer may keep what it needs; the builder empties it afterwards.
    virtual void page(PageModel& page) = 0;
protected:
    ~PageConsumer() = default;
};

class PageBuilder final : public PageSink, private TextMarkup {
public:
    // What a page model holds beyond its glyphs' codes and its preview box:
    // what it draws, and the runs of its invisible text (the text state
    // machine then traces to log).
    struct Contents {
        bool items = true;
        bool text = true;
    };
    // ptPerDvi: TeX points per DVI unit, the unit of link areas.
    PageBuilder(FontRegistry& fonts, PageConsumer& consumer, std::FILE* log, Contents contents, double ptPerDvi);

    // A page the pages' end left open goes to the consumer as it is.
    void finish();

    // The specials of every page, converted or not, go to the handlers of
    // their prefixes: the colours, the preview box, the hypertex links, and
    // whatever a consumer adds.
    SpecialDispatcher& specials() { return dispatcher; }
    // The colour the colour specials have set.
    Rgb currentColor() const { return colors.current(); }
    // What a special's handler draws at this point of the page, and the
    // frame of the glyphs and rules that follow; nothing outside a page or
    // when the model holds no items.
    void addMarkup(DrawnMarkup markup);
    void setFrame(ItemFrame frame);
    // A link's area and a named place, for the link layer.
    void addLink(LinkArea link);
    void addAnchor(Anchor anchor);

    void pageBegin(int32_t count0, uint64_t position) override;
    void pageEnd() override;
    void fontSelect(int32_t font) override;
    void character(const CharEvent& c) override;
    void rule(const RuleEvent& r) override;
    void movement(int32_t h, int32_t v) override;
    void special(const SpecialEvent& special) override;
    void unselectedSpecial(const SpecialEvent& special) override;
    void plain(PlainCommand command) override;

private:
    // The font of a font number as last seen, so that a character finds
    // its font without a lookup by name.
    struct FontSlot {
        bool valid = false;
        std::string name;
        uint32_t s = 0;
        uint32_t index = 0;
    };
    // The end of the run gathered last, for the space between words.
    struct RunEnd {
        bool valid = false;
        int64_t h = 0;
        int32_t v = 0;
        uint32_t size = 0;
        uint32_t frame = kNoFrame;
    };

    void openText(int32_t page) override;
    void openSpan(int32_t) override {}
    void closeSpan() override {}
    void closeText() override {}
    void endRun(const TextRun& run) override;

    uint32_t fontIndex(const CharEvent& c);
    void deliver();

    FontRegistry& fonts;
    PageConsumer& consumer;
    std::FILE* const log;
    const bool withItems;
    const bool withText;
    TextMachine machine;

    PageModel model;
    bool pageOpen = false;
    SpecialDispatcher dispatcher;
    ColorHandler colors;
    PreviewHandler preview;
    LinkTracker links;
    HypertexHandler hypertex;
    std::array<FontSlot, 256> slots;

    // The run the machine is collecting.
    uint32_t runFirst = 0;
    int64_t runWidth = 0;
    uint32_t runSize = 0;
    RunEnd lastRun;
    uint32_t currentFrame = kNoFrame;  // the frame the glyphs are set in now
    uint32_t runFrame = kNoFrame;      // and the run's first glyph was
};

}  // namespace morvex
