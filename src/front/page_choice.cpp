#include "front/page_choice.h"

#include <algorithm>

namespace morvex {

PageChoice choosePages(const Settings& settings, const DviFrame& frame, std::FILE* out) {
    PageChoice choice;
    const auto count = static_cast<uint32_t>(std::min<size_t>(frame.pageNumbers.size(), kMaxPagePosition));
    if (!settings.pages) {
        choice.selector = PageSelector::byCount(settings.selectedPage);
        for (uint32_t p = 1; p <= count; ++p)
            if (frame.pageNumbers[p - 1] == settings.selectedPage) choice.positions.push_back(p);
        return choice;
    }
    PageListResolution r = resolvePageList(*settings.pages, count);
    if (!r.pastTheEnd.empty() && out != nullptr) {
        const bool several = r.pastTheEnd.find_first_of(",-") != std::string::npos;
        std::fprintf(out, "\nNo page at position%s %s: the file has %u page%s.\n", several ? "s" : "",
                     r.pastTheEnd.c_str(), count, count == 1 ? "" : "s");
    }
    for (uint32_t p = 1; p <= count; ++p)
        if (r.selected[p - 1]) choice.positions.push_back(p);
    choice.selector = PageSelector::byPosition(std::move(r.selected));
    return choice;
}

void sayNoPage(const Settings& settings, std::FILE* out) {
    if (settings.pages)
        std::fputs("\nNone of the pages asked for is in the file.\n", out);
    else
        std::fprintf(out, "\nNo page carries the number %d.\n", settings.selectedPage);
}

}  // namespace morvex
