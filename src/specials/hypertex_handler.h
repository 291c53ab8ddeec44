#pragma once
// The hypertex specials as a handler: which link is open and which places
// are named, told to a listener that knows what the page draws in between.
// Links are not nested: a link that starts while one is open ends that
// one; an </a> ends the innermost element open, and one with nothing open
// is ignored. The state is kept from page to page, on the pages converted
// or not, so that a link open at a page's end goes on over the next.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "specials/hypertex_special.h"
#include "specials/special_dispatcher.h"

namespace morvex {

// A link's target: "#name" is a place in the document (internal, name
// without its '#'), anything else an address as written.
struct HypertexLink {
    bool internal = false;
    std::string target;
};

class HypertexListener {
public:
    virtual void linkStarts(const HypertexLink& link) = 0;
    virtual void linkEnds() = 0;
    // A place named on a converted page, at the special's position (DVI
    // units).
    virtual void place(std::string_view name, int32_t h, int32_t v) = 0;

protected:
    ~HypertexListener() = default;
};

class HypertexHandler final : public SpecialHandler {
public:
    // Both spellings of the prefix that hypertex macros write.
    static constexpr const char* kPrefix = "html:";
    static constexpr const char* kUpperPrefix = "HTML:";

    // tracePrefix begins each trace line ("Paths: ").
    HypertexHandler(HypertexListener& listener, std::FILE* log, const char* tracePrefix)
        : listener(listener), log(log), tracePrefix(tracePrefix) {}

    void special(const SpecialEvent& special, bool selected) override;

private:
    void open(HypertexSpecial& tag, const SpecialEvent& special, bool selected);
    void close(const SpecialEvent& special);
    void ignore(const char* why, const SpecialEvent& special);

    HypertexListener& listener;
    std::FILE* const log;
    const char* const tracePrefix;
    bool linkOpen = false;
    // Elements other than the link that are open (places, and <a> with
    // neither attribute), opened before the link or after it: an </a>
    // ends the innermost.
    uint64_t openBelowLink = 0;
    uint64_t openAboveLink = 0;
};

}  // namespace morvex
