#pragma once
// A code point as UTF-8 bytes.
#include <string>

namespace morvex {

// The code point as UTF-8: one to four bytes (a surrogate or a value past
// U+10FFFF is written as its bit pattern gives it; callers pass characters).
std::string utf8(char32_t cp);

}  // namespace morvex
