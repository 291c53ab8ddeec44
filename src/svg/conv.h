#pragma once
// Conversion of a run of character codes into UTF-8 text for a tspan.
#include <cstdio>
#include <string>

namespace morvex {

void conv(const std::string& codes, std::string& convText, std::FILE* out);

}  // namespace morvex
