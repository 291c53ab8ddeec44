#pragma once
#include <cstdio>

#include "base/dvi_frame.h"
#include "base/result.h"

namespace morvex {

// Result codes of dvibase.
enum DvibaseResult : int {
    kDvibaseOk = 0,
    kDvibaseNoPostPost = 12,
    kDvibaseNoPost = 13,
    kDvibaseBadFntDef = 14,
    kDvibaseNoPre = 15,  // no preamble, or one whose num or den is 0
    kDvibaseNoBop = 16,
};

// Reads the preamble and the postamble with its fonts into frame, walks
// the page chain and leaves the DVI stream at the first page's bop. The
// frame is filled as far as the file could be read: after code 14 it holds
// the size of the pages, after code 16 the fonts as well. The result's
// message says what stopped it.
Result dvibase(DviFrame& frame, std::FILE* dvi, std::FILE* log, std::FILE* out);

}  // namespace morvex
