#pragma once
#include <cstdint>
#include <cstdio>

#include "dvi/font_table.h"
#include "tfm/dvitfm.h"

namespace morvex {

// Reads the rest of a fnt_def1 record (after its opcode), fills slot k and
// loads the font's metrics. onSelectedPage tells whether the current page is
// the selected one. Returns 0, or the nonzero result of dvitfmload.
int dvipagefontdef(FontTable& fonts, TfmState& tfm, bool onSelectedPage, std::FILE* dvi,
                   std::FILE* log, std::FILE* out);

// Advance of code ch of font f in DVI units; 0 where no width is known.
int32_t dvipagecharwidth(const FontTable& fonts, const TfmState& tfm, int32_t f, int32_t ch);

void dvipagemarkused(FontTable& fonts, int32_t f, int32_t ch);

void dvipagefontfree(FontTable& fonts, std::FILE* log);

}  // namespace morvex
