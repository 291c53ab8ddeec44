#pragma once
// Everything one conversion run keeps between its stages. The front end owns
// one Run and hands it down; no stage keeps state of its own elsewhere.
#include <cstdint>
#include <cstdio>

#include "dvi/font_table.h"
#include "dvi/register_stack.h"
#include "dvi/registers.h"
#include "svg/svgfont.h"
#include "svg/text.h"
#include "tfm/dvitfm.h"

namespace morvex {

struct PageLoopState {
    DviRegisters regs;
    int32_t opcode = 0;
    int32_t currentPage = 0;
    int32_t currentFont = 0;
    int32_t param = 0;
    int32_t ruleHeight = 0;
    int32_t hBefore = 0;
};

struct Run {
    std::FILE* out = stdout;  // progress marks and messages
    int32_t selectedPage = 1;
    float ptPerDvi = 0.0f;       // set by dvibase
    int32_t stackCapacity = 0;   // set by dvibase
    PageLoopState loop;
    RegisterStack stack;
    FontTable fonts;
    TfmState tfm;
    TextMachine text;
    SvgFontState svgfont;
};

}  // namespace morvex
