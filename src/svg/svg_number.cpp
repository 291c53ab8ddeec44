#include "svg/svg_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

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

// "00" to "99": two digits a step.
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of v written backwards before end.
char* wholeDigits(char* at, uint64_t v) {
    while (v >= 100) {
        const uint64_t pair = v % 100;
        v /= 100;
        at -= 2;
        at[0] = kPairs[2 * pair];
        at[1] = kPairs[2 * pair + 1];
    }
    if (v >= 10) {
        at -= 2;
        at[0] = kPairs[2 * v];
        at[1] = kPairs[2 * v + 1];
    } else {
        *--at = static_cast<char>('0' + v);
    }
    return at;
}

// The digits of a value of Places decimals, written backwards before end.
// A template so that every division is by a constant.
template <int Places>
char* fixedDigits(char* end, uint64_t units, bool negative) {
    constexpr uint64_t kUnit = kPow10[Places];
    const uint64_t whole = units / kUnit;
    uint64_t fraction = units % kUnit;
    char* at = end;
    if (fraction != 0) {
        // All Places digits, leading zeros included, then the trailing
        // zeros dropped.
        char* const last = end;
        for (int i = 0; i < Places; ++i) {
            *--at = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        char* cut = last;
        while (cut[-1] == '0') --cut;
        const size_t kept = static_cast<size_t>(cut - at);
        at = end - kept;
        std::memmove(at, cut - kept, kept);
        *--at = '.';
    }
    at = wholeDigits(at, whole);
    if (negative) *--at = '-';
    return at;
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
    char buf[kNumberRoom];
    char* const end = buf + sizeof buf;
    const char* at = kWriters[places](end, units, v < 0);
    const auto n = static_cast<size_t>(end - at);
    std::memcpy(out, at, n);
    return out + n;
}

void appendNumber(std::string& out, double v, int places) {
    char buf[kNumberRoom];
    out.append(buf, writeNumber(buf, v, places));
}

}  // namespace morvex
