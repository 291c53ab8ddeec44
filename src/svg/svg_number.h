#pragma once
// Numbers in SVG attributes: fixed point, rounded to a number of decimals,
// without trailing zeros, "-0" written as "0". Written for every glyph of a
// page, so without the general conversion's cost.
#include <cstddef>
#include <string>

namespace morvex {

// places is 0 to 6; values that are not finite are written as 0, and
// values beyond 1e15 in size as +-1e15.
void appendNumber(std::string& out, double v, int places);

// The same written at at, which has room for kNumberRoom bytes; returns
// the end of what was written.
constexpr size_t kNumberRoom = 32;
char* writeNumber(char* at, double v, int places);

inline std::string svgNumber(double v, int places) {
    std::string s;
    appendNumber(s, v, places);
    return s;
}

}  // namespace morvex
