#include "dvi/page_fonts.h"

namespace morvex {

int dvipagefontdef(FontTable&, TfmState&, bool, std::FILE*, std::FILE*, std::FILE*) { return 0; }

int32_t dvipagecharwidth(const FontTable&, const TfmState&, int32_t, int32_t) { return 0; }

void dvipagemarkused(FontTable&, int32_t, int32_t) {}

void dvipagefontfree(FontTable&, std::FILE*) {}

}  // namespace morvex
