#pragma once
// dvips's papersize special, "papersize=WIDTH,HEIGHT", each a TeX dimension
// (a decimal number, an optional "true" and one of TeX's units). A document
// may hold several; dvips takes the last one.
#include <optional>
#include <string_view>

#include "specials/special_dispatcher.h"

namespace morvex {

// The paper's size in TeX points.
struct PaperSize {
    double width = 0;
    double height = 0;
};

// The size a papersize special asks for; none for another special, and for
// one whose dimensions are not two positive TeX dimensions up to TeX's
// largest (\maxdimen).
std::optional<PaperSize> readPaperSize(std::string_view special);

// The papersize specials of every page, converted or not: the paper is
// the last one's.
class PaperSizeHandler final : public SpecialHandler {
public:
    static constexpr const char* kPrefix = "papersize=";

    void special(const SpecialEvent& special, bool selected) override;
    const std::optional<PaperSize>& paper() const { return last; }

private:
    std::optional<PaperSize> last;
};

}  // namespace morvex
