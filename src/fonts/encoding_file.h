#pragma once
// Encoding files as TeX font maps name them: a PostScript file that defines
// one name as an array of 256 glyph names.
#include <array>
#include <optional>
#include <string>

namespace morvex {

using EncodingVector = std::array<std::string, 256>;

// The glyph names, without their "/", of the first array in the text;
// none when it does not hold exactly 256 names.
std::optional<EncodingVector> parseEncodingVector(const std::string& text);

// The same for a file; none when it cannot be read.
std::optional<EncodingVector> readEncodingVector(const std::string& path);

}  // namespace morvex
