#pragma once
// Fixtures of the page tests: TFM files that kpathsea finds, and a Run that
// interprets page bytes command by command.
#include <memory>
#include <string>
#include <vector>

#include "dvi/dvipage.h"
#include "dvi/run.h"
#include "support/bytes.h"
#include "tfm/tfm_fixture.h"

namespace morvex::testing {

// Advances at s = d: code 65 of mvxpage is 5 pt wide, every other code
// 2.5 pt; mvxfrac has codes 0 and 1 of +-1975/2^20 design sizes, which is
// +-1234.375 DVI units.
constexpr int32_t WIDE = 327680;
constexpr int32_t NARROW = 163840;

inline void writePageFonts() {
    static bool done = [] {
        std::vector<uint8_t> idx(256, 2);
        idx[65] = 1;
        writeTfm("mvxpage", TfmWriter::font(0, idx, {0.5, 0.25}).bytes());
        writeTfm("mvxfrac", TfmWriter::font(0, {1, 2}, {1975 / 1048576.0, -1975 / 1048576.0}).bytes());
        return true;
    }();
    (void)done;
}

// Page bytes in, run.loop after every command out.
struct PageRun {
    std::unique_ptr<Run> run = std::make_unique<Run>();
    OutCapture out, log, svg;
    std::unique_ptr<MemStream> in;
    std::vector<PageLoopState> states;
    int result = 0;

    explicit PageRun(int32_t selectedPage = 99, int32_t stackCapacity = 8) {
        writePageFonts();
        run->out = out.f;
        run->selectedPage = selectedPage;
        run->stackCapacity = stackCapacity;
        run->ptPerDvi = 1.0f / 65536.0f;
    }

    // Interprets until dvipage would return; the bytes should not reach
    // post, whose SVG font generation belongs to the end-to-end tests.
    int go(const std::string& bytes) {
        in = std::make_unique<MemStream>(bytes);
        dvipagestart(*run, log.f);
        for (;;) {
            int r = dvipagecommand(*run, in->f, "", "", svg.f, log.f);
            if (r != DVIPAGE_CONTINUE) return result = r;
            states.push_back(run->loop);
        }
    }

    // The trace after the first bop's line.
    std::string traceAfterBop() {
        std::string s = log.str();
        size_t p = s.find("bop: Page ");
        if (p == std::string::npos) return s;
        p = s.find('\n', p);
        return s.substr(p + 1);
    }
};

}  // namespace morvex::testing
