#pragma once
// Conversion of a run of character codes into UTF-8 text for a tspan.
//
// Each code's text depends on the code alone, so the SVG fonts can key every
// glyph by exactly the text that the document holds for its code: both sides
// take it from convCodePoint/convCode.
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/utf8.h"

namespace morvex {

// The Unicode code point that a code of the font stands for in the document.
// Codes without a character of their own (control codes other than the two
// ligatures, and the empty upper-half entries) map to the private-use point
// U+E000 + code, so they stay keyable and the document stays readable XML.
char32_t convCodePoint(unsigned char code);

// The UTF-8 text of one code as it stands in the document (with the XML
// escapes for &, < and >). Never empty, never contains a zero byte.
std::string convCode(unsigned char code);

// True for the codes that have no text of their own and make conv warn.
bool convWarns(unsigned char code);

// Converts every code of the run (a zero code included) into convText,
// replacing what it held. Writes "Warning: conv()" to out once per code
// for which convWarns is true.
void conv(const std::string& codes, std::string& convText, std::FILE* out);

}  // namespace morvex
