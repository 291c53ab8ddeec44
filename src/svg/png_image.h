#pragma once
// Images of the pictures as PNG data inside the document: 8-bit samples,
// grey, RGB or RGB with alpha, compressed with zlib.
#include <cstdint>
#include <string>
#include <vector>

namespace morvex {

enum class PngColor : uint8_t { Gray = 1, Rgb = 3, Rgba = 4 };

// "data:image/png;base64,..." for width x height pixels, rows top to
// bottom, samples as the colour type says; empty when the sizes do not
// match or the image is too large to hold.
std::string pngDataUri(uint32_t width, uint32_t height, PngColor color, const std::vector<uint8_t>& pixels);

}  // namespace morvex
