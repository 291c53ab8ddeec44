#include "svg/page_builder.h"

#include <cmath>


namespace morvex {

namespace {

// A gap wider than this many ems between two runs on a line, or a drop of
// more than a line's share of one, is a word space in the invisible text.
constexpr double kWordGapEm = 0.15;
constexpr double kLineDropEm = 0.8;

}  // namespace

PageBuilder::PageBuilder(FontRegistry& fonts, PageConsumer& consumer, std::FILE* log, Contents contents,
                         double ptPerDvi)
    : fonts(fonts),
      consumer(consumer),
      log(log),
      withItems(contents.items),
      withText(contents.text),
      machine(*this, log),
      colors(log, "Paths: "),
      links(ptPerDvi, log, "Paths: "),
      hypertex(links, log, "Paths: ") {
    dispatcher.add(ColorHandler::kPrefix, colors);
    dispatcher.add(PreviewHandler::kPrefix, preview);
    dispatcher.add(HypertexHandler::kPrefix, hypertex);
    dispatcher.add(HypertexHandler::kUpperPrefix, hypertex);
}

void PageBuilder::deliver() {
    if (!pageOpen) return;
    if (withText) machine.closePage();
    pageOpen = false;
    model.preview = preview.take();
    links.take(model);
    consumer.page(model);
    model.clear();
}

void PageBuilder::finish() { deliver(); }

void PageBuilder::pageBegin(int32_t count0, uint64_t position) {
    deliver();
    pageOpen = true;
    model.clear();
    model.count0 = count0;
    model.position = position;
    preview.take();  // what stood between the pages belongs to none
    currentFrame = kNoFrame;
    links.pageBegins();
    if (withText) machine.pageBegin(count0);
}

void PageBuilder::pageEnd() {
    if (withText) machine.pageEnd();
    model.complete = pageOpen;
    deliver();
}

void PageBuilder::fontSelect(int32_t font) {
    if (withText) machine.fontSelect(font);
}

void PageBuilder::movement(int32_t, int32_t) {
    if (withText) machine.movement();
}

void PageBuilder::plain(PlainCommand) {
    if (withText) machine.other();
}

void PageBuilder::special(const SpecialEvent& special) {
    if (withText) machine.other();
    dispatcher.dispatch(special, true);
}

void PageBuilder::unselectedSpecial(const SpecialEvent& special) { dispatcher.dispatch(special, false); }

void PageBuilder::addMarkup(DrawnMarkup markup) {
    if (!pageOpen || !withItems || (markup.elements.empty() && markup.ink.empty())) return;
    PageItem item;
    item.kind = ItemKind::Markup;
    item.font = static_cast<uint32_t>(model.markup.size());
    model.markup.push_back(std::move(markup));
    model.items.push_back(item);
}

void PageBuilder::setFrame(ItemFrame frame) {
    if (!pageOpen || !withItems) return;
    // A run of text does not go on into another frame.
    if (withText) machine.movement();
    PageItem item;
    item.kind = ItemKind::Frame;
    item.font = static_cast<uint32_t>(model.frames.size());
    currentFrame = frame.plain() ? kNoFrame : item.font;
    model.frames.push_back(std::move(frame));
    model.items.push_back(item);
}

void PageBuilder::addLink(LinkArea link) {
    if (pageOpen) model.links.push_back(std::move(link));
}

void PageBuilder::addAnchor(Anchor anchor) {
    if (pageOpen) model.anchors.push_back(std::move(anchor));
}

uint32_t PageBuilder::fontIndex(const CharEvent& c) {
    FontSlot& slot = slots[static_cast<size_t>(c.font) & 0xFF];
    const FontDef& def = *c.fontDef;
    if (slot.valid && slot.s == def.s && slot.name == def.name) return slot.index;
    slot.valid = true;
    slot.name = def.name;
    slot.s = def.s;
    slot.index = fonts.index(def);
    return slot.index;
}

void PageBuilder::character(const CharEvent& c) {
    if (withText) machine.character(c.code, c.h, c.v);
    if (!pageOpen) return;
    const uint8_t code = static_cast<uint8_t>(c.code & 0xFF);
    const uint32_t font = c.fontDef != nullptr ? fontIndex(c) : kNoFont;
    if (withText && machine.state() == SM_RUN) {
        if (model.chars.size() == runFirst) {
            runSize = c.fontDef != nullptr ? c.fontDef->s : 0;
            runFrame = currentFrame;
        }
        model.chars.push_back({font, code});
        runWidth += c.advance;
    }
    if (font == kNoFont) return;
    links.glyph(c.h, c.v, c.advance, c.height, c.depth);
    fonts.markUsed(font, code);
    if (!withItems) return;
    PageItem item;
    item.kind = ItemKind::Glyph;
    item.code = code;
    item.fill = colors.current();
    item.font = font;
    item.size = c.fontDef->s;
    item.h = c.h;
    item.v = c.v;
    model.items.push_back(item);
}

void PageBuilder::rule(const RuleEvent& r) {
    if (withText) machine.rule(r.width);
    if (pageOpen) links.rule(r.h, r.v, r.width, r.height);
    if (!pageOpen || !withItems || r.height <= 0 || r.width <= 0) return;
    PageItem item;
    item.kind = ItemKind::Rule;
    item.fill = colors.current();
    item.h = r.h;
    item.v = r.v;
    item.width = r.width;
    item.height = r.height;
    model.items.push_back(item);
}

void PageBuilder::openText(int32_t) {
    lastRun = RunEnd{};
    runFirst = static_cast<uint32_t>(model.chars.size());
    runWidth = 0;
    runSize = 0;
}

// A run ends: a gap of more than a thin space, or a new line, separates it
// from the run before by a space.
void PageBuilder::endRun(const TextRun& run) {
    TextSpan span;
    span.h = run.startH;
    span.v = run.startV;
    span.width = runWidth;
    span.size = runSize;
    span.first = runFirst;
    span.frame = runFrame;
    span.count = static_cast<uint32_t>(model.chars.size()) - runFirst;
    if (lastRun.valid) {
        const double em = lastRun.size > 0 ? lastRun.size : 1.0;
        const double gap = static_cast<double>(run.startH) - static_cast<double>(lastRun.h);
        const double drop = std::abs(static_cast<double>(run.startV) - lastRun.v);
        span.spaceBefore = drop > kLineDropEm * em || gap > kWordGapEm * em || gap < -em || lastRun.frame != runFrame;
    }
    if (pageOpen) model.spans.push_back(span);
    lastRun = {true, static_cast<int64_t>(run.startH) + runWidth, run.startV, runSize, runFrame};
    runFirst = static_cast<uint32_t>(model.chars.size());
    runWidth = 0;
    runSize = 0;
}

}  // namespace morvex
