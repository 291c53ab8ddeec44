#include "svg/svg_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace morvex {

namespace {

constexpr int kMaxPlaces = 6;
constexpr uint64_t kPow10[kMaxPlaces + 1] = {1, 10, 100, 1000, 10000, 100000, 1000000};
// Below this a value times 10^6 is an integer well inside 64 bits.
constexpr double kIntegerPath = 1e12;
constexpr double kLimit = 1e15;

// The general conversion, for the rare large value (at most 16 digits,
// a sign, a point and 6 places).
char* writeLarge(char* out, double v, int places) {
    char* end = std::to_chars(out, out + kNumberRoom, v, std::chars_format::fixed, places).ptr;
    if (places > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    return end;
}

// How many decimal digits v has (at least one).
int digitCount(uint64_t v) {
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// Writes count digits of v forward at out, the last digit last.
char* digitsOf(char* out, uint64_t v, int count) {
    for (char* at = out + count; at != out;) {
        *--at = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    return out + count;
}

// A value of Places decimals, in its units, written forward at out. A
// template so that every division is by a constant.
template <int Places>
char* fixedDigits(char* out, uint64_t units, bool negative) {
    constexpr uint64_t kUnit = kPow10[Places];
    const uint64_t whole = units / kUnit;
    uint64_t fraction = units % kUnit;
    if (negative) *out++ = '-';
    out = digitsOf(out, whole, digitCount(whole));
    if (fraction == 0) return out;
    int places = Places;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --places;
    }
    *out++ = '.';
    return digitsOf(out, fraction, places);
}

using DigitWriter = char* (*)(char*, uint64_t, bool);
constexpr DigitWriter kWriters[kMaxPlaces + 1] = {fixedDigits<0>, fixedDigits<1>, fixedDigits<2>, fixedDigits<3>,
                                                  fixedDigits<4>, fixedDigits<5>, fixedDigits<6>};

}  // namespace

char* writeNumber(char* out, double v, int places) {
    places = std::clamp(places, 0, kMaxPlaces);
    if (!std::isfinite(v)) v = 0;
    v = std::clamp(v, -kLimit, kLimit);
    const double magnitude = v < 0 ? -v : v;
    if (magnitude >= kIntegerPath) return writeLarge(out, v, places);
    // The value in units of the last place, rounded half away from zero.
    const auto units = static_cast<uint64_t>(magnitude * static_cast<double>(kPow10[places]) + 0.5);
    if (units == 0) {
        *out = '0';
        return out + 1;
    }
    return kWriters[places](out, units, v < 0);
}

void appendNumber(std::string& out, double v, int places) {
    char buf[kNumberRoom];
    out.append(buf, writeNumber(buf, v, places));
}

}  // namespace morvex
