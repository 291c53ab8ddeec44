#pragma once
#include <cstdio>
#include <string>

#include "dvi/run.h"

namespace morvex {

enum DvipageResult : int {
    DVIPAGE_OK = 0,
    DVIPAGE_UNSUPPORTED = 102,
    DVIPAGE_NO_METRICS = 200,
};

// Interprets every page from the first bop to the postamble.
int dvipage(Run& run, std::FILE* dvi, const std::string& configDir, const std::string& fontsPath,
            std::FILE* svg, std::FILE* log);

}  // namespace morvex
