#include "specials/preview_special.h"

#include <array>
#include <charconv>

namespace morvex {

namespace {

constexpr std::string_view kPrefix = "ps::";
constexpr size_t kNumbers = 7;

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::optional<PreviewSpecial> readPreviewSpecial(std::string_view special) {
    while (!special.empty() && blank(special.front())) special.remove_prefix(1);
    if (special.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    special.remove_prefix(kPrefix.size());
    std::array<int32_t, kNumbers> n{};
    const char* at = special.data();
    const char* const end = special.data() + special.size();
    for (size_t i = 0; i < kNumbers; ++i) {
        while (at < end && blank(*at)) ++at;
        // A sign, then digits only: from_chars takes no '+'.
        auto [next, ec] = std::from_chars(at, end, n[i]);
        if (ec != std::errc() || next == at) return std::nullopt;
        at = next;
        if (at < end && !blank(*at)) return std::nullopt;
    }
    while (at < end && blank(*at)) ++at;
    if (at != end) return std::nullopt;
    PreviewSpecial p{n[0], n[1], n[2], n[3], n[4], n[5], n[6]};
    if (p.pageWidth() < 0 || p.pageHeight() + p.pageDepth() < 0) return std::nullopt;
    return p;
}

void PreviewHandler::special(const SpecialEvent& special, bool selected) {
    if (!selected || box || !special.complete()) return;
    box = readPreviewSpecial(special.text);
}

}  // namespace morvex
