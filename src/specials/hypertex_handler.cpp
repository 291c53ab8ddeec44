#include "specials/hypertex_handler.h"

#include "base/printable.h"
#include "specials/hypertex_special.h"

namespace morvex {

namespace {

// How much of a special an ignoring trace line shows.
constexpr size_t kTracedBytes = 80;

}  // namespace

void HypertexHandler::special(const SpecialEvent& special, bool selected) {
    // One cut short by the end of the file is left alone, as the colours are.
    if (!special.complete()) return;
    HypertexSpecial s = readHypertexSpecial(special.text);
    switch (s.tag) {
        case HypertexTag::Open: open(s, special, selected); return;
        case HypertexTag::Close: close(special); return;
        case HypertexTag::Other: ignore("not a link or a named place", special); return;
    }
}

void HypertexHandler::open(HypertexSpecial& s, const SpecialEvent& special, bool selected) {
    if (s.name && selected) listener.place(*s.name, special.h, special.v);
    if (!s.href) {
        (linkOpen ? openAboveLink : openBelowLink) += 1;
        return;
    }
    if (linkOpen) {
        std::fprintf(log, "\n%sa link starts while another is open; that one ends here", tracePrefix);
        listener.linkEnds();
        openBelowLink += openAboveLink;
        openAboveLink = 0;
    }
    HypertexLink link;
    std::string& target = *s.href;
    link.internal = !target.empty() && target.front() == '#';
    link.target = link.internal ? target.substr(1) : std::move(target);
    linkOpen = true;
    listener.linkStarts(link);
}

void HypertexHandler::close(const SpecialEvent& special) {
    if (openAboveLink > 0) {
        --openAboveLink;
    } else if (linkOpen) {
        linkOpen = false;
        listener.linkEnds();
    } else if (openBelowLink > 0) {
        --openBelowLink;
    } else {
        ignore("an end with nothing open", special);
    }
}

void HypertexHandler::ignore(const char* why, const SpecialEvent& special) {
    const std::string_view shown = special.text.substr(0, kTracedBytes);
    std::fprintf(log, "\n%shtml special ignored (%s): %s%s", tracePrefix, why, printable(shown).c_str(),
                 shown.size() < special.text.size() ? "..." : "");
}

}  // namespace morvex
