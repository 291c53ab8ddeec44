#pragma once
// The colour specials as a handler: the colour stack of the pages, kept
// from page to page as dvips keeps it, with what it could not follow
// traced.
#include <cstdio>

#include "specials/color_special.h"
#include "specials/special_dispatcher.h"

namespace morvex {

class ColorHandler final : public SpecialHandler {
public:
    static constexpr const char* kPrefix = "color";

    // tracePrefix begins each trace line ("Paths: ").
    ColorHandler(std::FILE* log, const char* tracePrefix) : log(log), tracePrefix(tracePrefix) {}

    // Every colour special counts, on the selected pages or not; one cut
    // short by the end of the file is left alone.
    void special(const SpecialEvent& special, bool selected) override;

    Rgb current() const { return stack.current(); }

private:
    std::FILE* const log;
    const char* const tracePrefix;
    ColorStack stack;
};

}  // namespace morvex
