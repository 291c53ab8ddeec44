#pragma once
// The pieces the glyph lists and the glyph names share: code points written
// in hexadecimal and the characters that may stand in the text.
#include <cstddef>
#include <optional>
#include <string_view>

namespace morvex {

// Uppercase hexadecimal digits only, as the lists and the name forms write
// them; at most six.
inline std::optional<char32_t> hexCodePoint(std::string_view digits) {
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    char32_t v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = v * 16 + static_cast<char32_t>(d);
    }
    return v;
}

inline bool surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

inline bool scalarValue(char32_t c) { return c <= 0x10FFFF && !surrogate(c); }

// Zero-width characters that join or part the letters around them but are
// none themselves (the lists give the compound word mark U+200C): as text
// of their own they would only split the word a reader searches for.
inline bool zeroWidthMark(char32_t c) {
    return (c >= 0x200B && c <= 0x200D) || c == 0x2060 || c == 0xFEFF;
}

}  // namespace morvex
