#pragma once
// The pages a run converts, once the DVI file's pages are known: by \count0
// (-p, 1 by default) or by position (--pages).
#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/dvi_frame.h"
#include "dvi/page_selector.h"
#include "front/front.h"

namespace morvex {

struct PageChoice {
    PageSelector selector = PageSelector::byCount(1);
    std::vector<uint64_t> positions;  // of the pages of the chain it selects, ascending
};

// The choice of the settings over the frame's pages. With out given, the
// positions --pages names past the last page are told there.
PageChoice choosePages(const Settings& settings, const DviFrame& frame, std::FILE* out);

// Said when no page was selected; the run ends with kExitNoSuchPage.
void sayNoPage(const Settings& settings, std::FILE* out);

}  // namespace morvex
