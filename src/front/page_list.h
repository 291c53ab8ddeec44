#pragma once
// The --pages=LIST option: "all", or page positions and ranges separated by
// commas (3, 1-5, 7- to the end, -4 from the first). Position 1 is the
// first page of the file, whatever its \count0.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvex {

// The largest position a list may name.
constexpr uint32_t kMaxPagePosition = 2147483647u;

// first..last, both included; an open range ends at kMaxPagePosition.
struct PageRange {
    uint32_t first = 1;
    uint32_t last = kMaxPagePosition;
    bool openEnd = false;  // written as "N-"
};

struct PageList {
    std::vector<PageRange> ranges;  // as written; "all" is one open range from 1
    bool all = false;               // "all": names no page past the end
};

// The list, or in error why it is refused (a sentence without the option's
// name).
struct PageListParse {
    std::optional<PageList> list;
    std::string error;
};
PageListParse parsePageList(std::string_view text);

// A list against a file of pageCount pages: which positions it selects
// (selected[p - 1] for position p), and the positions it names past the
// last page, as text ("12, 15-20"), empty when there are none.
struct PageListResolution {
    std::vector<bool> selected;
    uint32_t count = 0;  // positions selected
    std::string pastTheEnd;
};
PageListResolution resolvePageList(const PageList& list, uint32_t pageCount);

}  // namespace morvex
