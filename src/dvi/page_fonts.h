#pragma once
// The fonts defined inside the pages, by DVI font number, with the codes
// the selected page uses of each.
#include <array>
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/font_def.h"
#include "tfm/dvitfm.h"

namespace morvex {

struct PageFont {
    FontDef def;
    float ratio = 0.0f;  // s / d in single precision
    // Present only for fonts whose characters may appear on the selected
    // page.
    std::unique_ptr<std::bitset<256>> used;
};

using FontTable = std::array<std::unique_ptr<PageFont>, 256>;

// Reads the rest of a fnt_def1 record (after its opcode), fills slot k and
// loads the font's metrics. onSelectedPage tells whether the current page is
// the selected one. Returns 0, or the nonzero result of dvitfmload.
int dvipagefontdef(FontTable& fonts, TfmState& tfm, bool onSelectedPage, std::FILE* dvi, std::FILE* log,
                   std::FILE* out);

// Advance of code ch of font f in DVI units; 0 where no width is known.
int32_t dvipagecharwidth(const FontTable& fonts, const TfmState& tfm, int32_t f, int32_t ch);

// Height and depth of code ch of font f in DVI units, as its advance is
// scaled; 0 where none is known.
struct CharHeightDepth {
    int32_t height = 0;
    int32_t depth = 0;
};
CharHeightDepth dvipagecharheightdepth(const FontTable& fonts, const TfmState& tfm, int32_t f, int32_t ch);

void dvipagemarkused(FontTable& fonts, int32_t f, int32_t ch);

// The fonts that have a used table, by ascending number.
std::vector<FontUse> usedFonts(const FontTable& fonts);

void dvipagefontfree(FontTable& fonts, std::FILE* log);

}  // namespace morvex
