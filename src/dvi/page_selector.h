#pragma once
// Which pages a run converts: those whose \count0 is a number (-p), or
// those at chosen positions in the file (--pages), position 1 being the
// first page.
#include <cstdint>
#include <vector>

namespace morvex {

class PageSelector {
public:
    static PageSelector byCount(int32_t count0) {
        PageSelector s;
        s.count0 = count0;
        return s;
    }
    // positions[p - 1] tells whether position p is selected; positions
    // past its end are not.
    static PageSelector byPosition(std::vector<bool> positions) {
        PageSelector s;
        s.byPos = true;
        s.positions = std::move(positions);
        return s;
    }

    // Whether the page begun by a bop with this \count0 at this position is
    // selected; position 0 stands before the first bop.
    bool selects(int32_t pageCount0, uint64_t position) const {
        if (!byPos) return pageCount0 == count0;
        return position >= 1 && position <= positions.size() && positions[position - 1];
    }

private:
    PageSelector() = default;
    bool byPos = false;
    int32_t count0 = 1;
    std::vector<bool> positions;
};

}  // namespace morvex
