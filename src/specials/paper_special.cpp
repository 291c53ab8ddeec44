#include "specials/paper_special.h"

#include <charconv>

namespace morvex {

namespace {

constexpr std::string_view kPaperSizeKey = "papersize=";
// TeX's \maxdimen, 16383.99999pt, the largest paper a TeX dimension holds.
constexpr double kMaxDimenPt = 1073741823.0 / 65536.0;

struct Unit {
    std::string_view name;
    double points;  // TeX points in one unit
};
// TeX's units of length.
constexpr Unit kUnits[] = {
    {"pt", 1.0},
    {"pc", 12.0},
    {"in", 72.27},
    {"bp", 72.27 / 72.0},
    {"cm", 72.27 / 2.54},
    {"mm", 72.27 / 25.4},
    {"dd", 1238.0 / 1157.0},
    {"cc", 14856.0 / 1157.0},
    {"sp", 1.0 / 65536.0},
};

std::string_view skipBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

// One dimension, the whole of text but for blanks around it.
std::optional<double> dimension(std::string_view text) {
    text = skipBlanks(text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    // A decimal number: digits with at most one point among them.
    size_t end = 0;
    bool point = false, digit = false;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    double value = 0;
    if (!digit || std::from_chars(text.data(), text.data() + end, value).ec != std::errc()) return std::nullopt;
    std::string_view unit = skipBlanks(text.substr(end));
    if (unit.substr(0, 4) == "true") unit = skipBlanks(unit.substr(4));
    for (const Unit& u : kUnits) {
        if (unit != u.name) continue;
        const double points = value * u.points;
        if (!(points > 0) || points > kMaxDimenPt) return std::nullopt;
        return points;
    }
    return std::nullopt;
}

}  // namespace

std::optional<PaperSize> readPaperSize(std::string_view special) {
    special = skipBlanks(special);
    if (special.substr(0, kPaperSizeKey.size()) != kPaperSizeKey) return std::nullopt;
    special.remove_prefix(kPaperSizeKey.size());
    const size_t comma = special.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    std::optional<double> width = dimension(special.substr(0, comma));
    std::optional<double> height = dimension(special.substr(comma + 1));
    if (!width || !height) return std::nullopt;
    return PaperSize{*width, *height};
}

void PaperSizeHandler::special(const SpecialEvent& special, bool) {
    if (!special.complete()) return;
    if (std::optional<PaperSize> p = readPaperSize(special.text)) last = p;
}

}  // namespace morvex
