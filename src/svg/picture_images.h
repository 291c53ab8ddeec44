#pragma once
// The samples of a reported image or mask as 8-bit pixels for PNG.
#include <cstdint>
#include <vector>

#include "pictures/report.h"
#include "svg/png_image.h"

namespace morvex {

// False when the samples do not fill the image (a short record).
bool imagePixels(const pictures::Image& image, std::vector<uint8_t>& pixels, PngColor& color);
// RGBA: the mask's colour where it paints, transparent elsewhere.
bool maskPixels(const pictures::ImageMask& mask, std::vector<uint8_t>& pixels);

}  // namespace morvex
