#pragma once
// The state machine that writes the selected page as SVG text.
#include <cstdint>
#include <cstdio>
#include <string>

#include "dvi/registers.h"

namespace morvex {

enum TextState : uint8_t {
    SM_OUTSIDE = 0,
    SM_TEXT = 1,
    SM_SPAN = 2,
    SM_RUN = 3,
    SM_MOVED = 4,
};

struct TextRun {
    std::string codes;  // raw character codes of the pending run
    int32_t startH = 0;
    int32_t startV = 0;
};

struct TextMachine {
    TextState state = SM_OUTSIDE;
    TextRun run;
    std::string convText;
};

void dvipagetext(TextMachine& tm, float ptPerDvi, int32_t opcode, int32_t param, int32_t ruleHeight,
                 int32_t hBefore, std::FILE* svg, std::FILE* log, DviRegisters regs, std::FILE* out);

}  // namespace morvex
