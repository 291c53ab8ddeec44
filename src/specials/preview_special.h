#pragma once
// The box the preview package (tightpage, dvips mode) writes at the start
// of each page: "ps::" and seven integers in scaled points, the four border
// adjustments (left, bottom, right, top) and the box's height, depth and
// width. Read from the text; its PostScript is not run.
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "specials/special_dispatcher.h"

namespace morvex {

struct PreviewSpecial {
    int32_t left = 0, bottom = 0, right = 0, top = 0;
    int32_t height = 0, depth = 0, width = 0;

    // The page: the box grown by the adjustments, in scaled points (64
    // bits: the sums of two 32-bit numbers).
    int64_t pageWidth() const { return int64_t{width} - left + right; }
    int64_t pageHeight() const { return int64_t{height} + top; }
    int64_t pageDepth() const { return int64_t{depth} - bottom; }
};

// The numbers of a preview special; none for any other text, and for a box
// that the adjustments turn inside out (a negative width or a negative
// height plus depth).
std::optional<PreviewSpecial> readPreviewSpecial(std::string_view special);

// The preview box of the page being read: the first on a converted page.
// Other specials of its prefix are left alone.
class PreviewHandler final : public SpecialHandler {
public:
    static constexpr const char* kPrefix = "ps::";

    void special(const SpecialEvent& special, bool selected) override;
    // The box of the page read since the last take, and none for the next.
    std::optional<PreviewSpecial> take() { return std::exchange(box, std::nullopt); }

private:
    std::optional<PreviewSpecial> box;
};

}  // namespace morvex
