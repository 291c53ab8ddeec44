#pragma once
// Fixtures of the page tests: TFM files that kpathsea finds, and a page
// interpreter whose events are recorded and written by the text document.
#include <memory>
#include <string>
#include <vector>

#include "dvi/dvipage.h"
#include "support/bytes.h"
#include "support/recording_sink.h"
#include "svg/text_document.h"
#include "tfm/tfm_fixture.h"

namespace morvex::testing {

// Advances at s = d: code 65 of mvxpage is 5 pt wide, every other code
// 2.5 pt; mvxfrac has codes 0 and 1 of +-1975/2^20 design sizes, which is
// +-1234.375 DVI units.
constexpr int32_t kWide = 327680;
constexpr int32_t kNarrow = 163840;

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

// Page bytes in; the events, the trace, the progress and the text
// document's markup out.
struct PageRun {
    OutCapture out, log;
    HandedCapture svgBytes;
    std::unique_ptr<PageInterpreter> pages;
    std::unique_ptr<TextDocument> document;
    RecordingSink events;
    std::unique_ptr<MemStream> in;
    int result = 0;

    explicit PageRun(int32_t selectedPage = 99, int32_t stackCapacity = 8) {
        writePageFonts();
        pages = std::make_unique<PageInterpreter>(selectedPage, stackCapacity, log.f, out.f);
        document = std::make_unique<TextDocument>(svgBytes.handle(), log.f, out.f);
        DviFrame frame;
        frame.ptPerDvi = 1.0f / 65536.0f;
        frame.fontsComplete = true;
        document->prologue(frame, "fonts.svg");
    }

    // Interprets until dvipage returns; the bytes should not reach post,
    // after which the SVG fonts belong to the end-to-end tests.
    int go(const std::string& bytes) {
        in = std::make_unique<MemStream>(bytes);
        TeeSink tee({&events, document.get()});
        const Result r = pages->dvipage(in->f, tee);
        // Shown where the program shows it: after what the loop wrote.
        std::fputs(r.message.c_str(), out.f);
        result = r.code;
        document->close();
        return result;
    }

    // The document's markup after its prologue: what the pages wrote.
    std::string svg() const {
        const std::string s = svgBytes.str();
        const std::string end = "\n</style>";
        return s.substr(s.find(end) + end.size());
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
