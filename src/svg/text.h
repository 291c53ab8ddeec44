#pragma once
// The state machine that writes the selected page as SVG text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "dvi/registers.h"

namespace morvex {

enum TextState : uint8_t {
    SM_OUTSIDE = 0,  // no text element open
    SM_TEXT = 1,     // the page's text element open, no font span
    SM_SPAN = 2,     // a font span open, no character since it opened
    SM_RUN = 3,      // a font span open and a run pending
    SM_MOVED = 4,    // a font span open, the last run written at a movement
};

// Most codes one run holds; a further character writes the run and starts
// a new one at its own position.
inline constexpr std::size_t kRunCapacity = 4095;

struct TextRun {
    std::string codes;  // raw character codes of the pending run, zero codes included
    int32_t startH = 0;  // h before the run's first character, DVI units
    int32_t startV = 0;  // v at the run's first character
};

struct TextMachine {
    TextState state = SM_OUTSIDE;
    TextRun run;
    std::string convText;  // the converted text of the run written last
};

// Handles one interpreted command of the selected page: writes the markup
// of its transition to svg, its trace to log, and conv's warnings to out.
void dvipagetext(TextMachine& tm, float ptPerDvi, int32_t opcode, int32_t param, int32_t ruleHeight,
                 int32_t hBefore, std::FILE* svg, std::FILE* log, DviRegisters regs, std::FILE* out);

}  // namespace morvex
