#pragma once
// The seam between reading pages and writing them: the page interpreter
// decodes each command of the selected page once and hands it to a sink
// as one typed event, with the positions it needs already resolved.
#include <cstdint>
#include <string_view>

#include "base/font_def.h"

namespace morvex {

// set_char_0..set_char_127, set1 and put1.
struct CharEvent {
    int32_t code = 0;     // 0..255
    int32_t font = 0;     // the current font number
    // Its definition in the pages, valid for the call only; null when the
    // number has none.
    const FontDef* fontDef = nullptr;
    int32_t h = 0;        // h before the character, DVI units
    int32_t v = 0;
    int32_t advance = 0;  // the character's width, DVI units (also for put)
    bool put = false;     // put1: h does not move
    int32_t height = 0;   // the character's box above and below the baseline,
    int32_t depth = 0;    // DVI units, from its TFM file
};

// set_rule and put_rule; the rule's bottom left corner is at (h, v).
struct RuleEvent {
    int32_t h = 0;  // h before the rule
    int32_t v = 0;
    int32_t height = 0;
    int32_t width = 0;
    bool put = false;  // put_rule: h does not move
};

// xxx1..xxx4: a special, with the position it stands at.
struct SpecialEvent {
    int32_t h = 0;  // the position of the special, DVI units
    int32_t v = 0;
    // Its bytes as read, valid for the call only: all of them, or as many
    // as the file held when it ended first.
    std::string_view text;
    uint64_t length = 0;  // its length as the command declares it

    bool complete() const { return text.size() == length; }
};

// The commands that carry nothing a writer draws.
enum class PlainCommand { Nop, Push, Pop, FontDef };

class PageSink {
public:
    virtual ~PageSink() = default;
    // bop; position 1 is the first page of the file.
    virtual void pageBegin(int32_t count0, uint64_t position) = 0;
    virtual void pageEnd() = 0;                  // eop
    virtual void fontSelect(int32_t font) = 0;   // fnt_num_0..63, fnt1
    virtual void character(const CharEvent& c) = 0;
    virtual void rule(const RuleEvent& r) = 0;
    // right, w, x, down, y, z: the position after the move.
    virtual void movement(int32_t h, int32_t v) = 0;
    virtual void special(const SpecialEvent& special) = 0;
    // A special of a page that is not selected: what a writer carries from
    // page to page (a colour stack) may depend on it.
    virtual void unselectedSpecial(const SpecialEvent&) {}
    virtual void plain(PlainCommand command) = 0;
};

}  // namespace morvex
