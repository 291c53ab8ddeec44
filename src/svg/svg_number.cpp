#include "svg/svg_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace morvex {

namespace {

constexpr int kMaxPlaces = 6;
constexpr uint64_t kPow10[kMaxPlaces + 1] = {1, 10, 100, 1000, 10000, 100000, 1000000};
// Below this a value times 10^6 still fits an integer exactly enough.
constexpr double kIntegerPath = 1e12;
constexpr double kLimit = 1e15;

void appendDigits(std::string& out, uint64_t v) {
    char buf[24];
    char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    out.append(buf, end);
}

// The general conversion, for the rare large value.
void appendLarge(std::string& out, double v, int places) {
    char buf[64];
    char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, places).ptr;
    if (places > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    out.append(buf, end);
}

}  // namespace

void appendNumber(std::string& out, double v, int places) {
    places = std::clamp(places, 0, kMaxPlaces);
    if (!std::isfinite(v)) v = 0;
    v = std::clamp(v, -kLimit, kLimit);
    if (std::abs(v) >= kIntegerPath) {
        appendLarge(out, v, places);
        return;
    }
    const double scaled = std::round(std::abs(v) * static_cast<double>(kPow10[places]));
    const auto units = static_cast<uint64_t>(scaled);
    const uint64_t whole = units / kPow10[places];
    uint64_t fraction = units % kPow10[places];
    if (units == 0) {
        out += '0';
        return;
    }
    if (v < 0) out += '-';
    appendDigits(out, whole);
    if (fraction == 0) return;
    int digits = places;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    out += '.';
    char buf[kMaxPlaces];
    for (int i = digits - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    out.append(buf, static_cast<size_t>(digits));
}

}  // namespace morvex
