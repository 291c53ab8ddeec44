#pragma once
#include <cstdio>
#include <string>

#include "dvi/run.h"

namespace morvex {

enum DvipageResult : int {
    DVIPAGE_OK = 0,
    DVIPAGE_UNSUPPORTED = 102,
    DVIPAGE_NO_METRICS = 200,
    // Added to a nonzero result of the SVG font generation.
    DVIPAGE_SVGFONT_BASE = 60,
    // dvipagecommand: the command was interpreted, the loop goes on.
    DVIPAGE_CONTINUE = -1,
};

// Interprets every page from the first bop to the postamble. Returns 0 after
// post, 102 at an unsupported opcode, 200 when a font's metrics cannot be
// loaded, and 60 + r when the SVG font generation ends with r != 0.
int dvipage(Run& run, std::FILE* dvi, const std::string& configDir, const std::string& fontsPath,
            std::FILE* svg, std::FILE* log);

// The two halves of dvipage, for callers that look at run.loop between
// commands: the set-up before the first command, and one command with its
// common tail. dvipagecommand returns DVIPAGE_CONTINUE or dvipage's result.
void dvipagestart(Run& run, std::FILE* log);
int dvipagecommand(Run& run, std::FILE* dvi, const std::string& configDir, const std::string& fontsPath,
                   std::FILE* svg, std::FILE* log);

}  // namespace morvex
