#pragma once
#include <cstdio>
#include <string>

#include "dvi/run.h"

namespace morvex {

// Result codes of dvibase; the front end turns them into messages.
enum DvibaseResult : int {
    DVIBASE_OK = 0,
    DVIBASE_NO_POST_POST = 12,
    DVIBASE_NO_POST = 13,
    DVIBASE_BAD_FNT_DEF = 14,
    DVIBASE_NO_PRE = 15,
    DVIBASE_NO_BOP = 16,
};

// Reads preamble and postamble, writes the SVG prologue, walks the page chain
// and leaves the DVI stream at the first page's bop.
int dvibase(Run& run, const std::string& fontsPath, std::FILE* dvi, std::FILE* svg, std::FILE* log);

}  // namespace morvex
