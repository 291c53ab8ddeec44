#pragma once
// The page command loop: every page from the first bop to the postamble,
// with the registers, their stack and the page fonts. The commands of the
// selected page go to a PageSink as typed events.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/font_def.h"
#include "base/page_events.h"
#include "base/result.h"
#include "dvi/page_fonts.h"
#include "dvi/page_selector.h"
#include "dvi/register_stack.h"
#include "dvi/registers.h"
#include "tfm/dvitfm.h"

namespace morvex {

enum DvipageResult : int {
    kDvipageOk = 0,
    kDvipageUnsupported = 102,
    kDvipageNoMetrics = 200,
};

class PageInterpreter {
public:
    // The pages the selector chooses are selected; stackCapacity is the
    // postamble's maximum stack depth. The trace goes to log, progress
    // marks and messages to out.
    PageInterpreter(PageSelector selector, int32_t stackCapacity, std::FILE* log, std::FILE* out);
    // Pages whose \count0 equals selectedPage are selected.
    PageInterpreter(int32_t selectedPage, int32_t stackCapacity, std::FILE* log, std::FILE* out)
        : PageInterpreter(PageSelector::byCount(selectedPage), stackCapacity, log, out) {}

    // Interprets the pages from the DVI stream's position (the first bop)
    // to post. Returns 0 after post, 102 at an unsupported command (the end
    // of the stream included) or an xxx4 of negative length, 200 when a
    // font's metrics cannot be loaded.
    // The result's message says what stopped it early.
    Result dvipage(std::FILE* dvi, PageSink& sink);

    // The fonts defined on the selected page, with the codes used there.
    std::vector<FontUse> usedFonts() const { return morvex::usedFonts(fonts); }

    // Releases the page fonts, with its trace line; after post.
    void dvipagefontfree() { morvex::dvipagefontfree(fonts, log); }

    // How many pages were selected.
    int selectedPages() const { return selectedCount; }
    // The position of the page begun last (1 for the first page).
    uint64_t pagePosition() const { return position; }

    const DviRegisters& registers() const { return regs; }
    int32_t currentFont() const { return font; }

private:
    static constexpr int kContinue = -1;

    int command(std::FILE* dvi, PageSink& sink);
    bool selected() const { return pageSelected; }
    void character(int32_t code, bool put, PageSink& sink);
    void movement(int32_t op, std::FILE* dvi, PageSink& sink);
    void fontNumber(int32_t number, PageSink& sink);
    void rule(bool put, std::FILE* dvi, PageSink& sink);
    int xxx(int32_t op, std::FILE* dvi, PageSink& sink);
    void beginPage(std::FILE* dvi, PageSink& sink);
    void special(std::FILE* dvi, const char* label, uint32_t length, bool stopAtEnd, PageSink& sink);
    void endPages();

    const PageSelector selector;
    const int32_t stackCapacity;
    std::FILE* const log;
    std::FILE* const out;
    DviRegisters regs;
    int32_t currentPage = 0;
    uint64_t position = 0;  // bops read
    bool pageSelected;      // the selector's verdict on the current page
    int32_t font = 0;
    int selectedCount = 0;
    RegisterStack stack;
    FontTable fonts;
    TfmState tfm;
    std::string specialText;  // the special being read
    std::string stopMessage;  // what stopped the loop early
};

}  // namespace morvex
