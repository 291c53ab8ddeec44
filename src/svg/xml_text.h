#pragma once
// Text from outside (link targets, names, a title) made safe for the
// document: markup characters escaped, and nothing XML forbids (a control
// character, a byte that is not UTF-8, a surrogate, U+FFFE or U+FFFF)
// ever written, whatever the bytes given.
#include <cstddef>
#include <string>
#include <string_view>

namespace morvex {

// The length of the UTF-8 sequence of one character XML allows at text[at]
// (a tab, a line feed and a carriage return count; other controls do
// not); 0 when there is none.
size_t xmlCharLength(std::string_view text, size_t at);

// What becomes of a byte that begins no character XML allows.
enum class BadBytes {
    Replaced,  // U+FFFD, as for text
    Percent,   // %XX, as a URL keeps the byte
};

// text as an attribute value or element content: &, <, >, " and '
// escaped.
void appendXmlText(std::string& out, std::string_view text, BadBytes bad);

// A name as the characters of an id: letters, digits, '-' and '.' kept,
// every other byte as _XX (hexadecimal), so that distinct names give
// distinct ids and no id holds "_-".
void appendIdText(std::string& out, std::string_view name);

}  // namespace morvex
