#pragma once
// What the preamble and postamble of a DVI file tell the writers.
#include <cstdint>
#include <vector>

#include "base/font_def.h"

namespace morvex {

struct DviFrame {
    float ptPerDvi = 0.0f;      // points per DVI unit
    uint32_t mag = 1000;        // the preamble's magnification, for dvips's DVImag
    uint32_t l = 0;             // height plus depth of the tallest page
    uint32_t u = 0;             // width of the widest page
    int32_t stackCapacity = 0;  // the postamble's maximum stack depth
    // The postamble's fonts by ascending number, one per number (a later
    // definition replaces an earlier one).
    std::vector<FontDef> fonts;
    // False when the postamble's font definitions could not all be read.
    bool fontsComplete = false;
    // The \count0 of every page of the chain, first page first.
    std::vector<int32_t> pageNumbers;
};

}  // namespace morvex
