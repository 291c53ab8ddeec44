#include "svg/picture_images.h"

#include <algorithm>
#include <cmath>

namespace morvex {

namespace {

// Reads samples of bits each from rows padded to whole bytes.
class Samples {
public:
    Samples(const std::string& data, int bits, uint64_t perRow) : data(data), bits(bits), perRow(perRow) {}
    uint64_t rowBytes() const { return (perRow * bits + 7) / 8; }
    bool fits(uint64_t rows) const { return rowBytes() * rows <= data.size(); }
    uint32_t at(uint64_t row, uint64_t i) const {
        const uint64_t bit = row * rowBytes() * 8 + i * bits;
        uint32_t v = 0;
        for (int k = 0; k < bits; ++k) {
            const uint64_t b = bit + k;
            v = (v << 1) | ((static_cast<uint8_t>(data[b / 8]) >> (7 - b % 8)) & 1);
        }
        return v;
    }

private:
    const std::string& data;
    int bits;
    uint64_t perRow;
};

// An image whose pixels would take more is left out (its samples are
// far fewer: a bit each).
constexpr uint64_t kMaxPixelBytes = uint64_t{128} << 20;

uint8_t toByte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

int componentsOf(char kind) { return kind == 'r' ? 3 : kind == 'k' ? 4 : 1; }

}  // namespace

bool imagePixels(const pictures::Image& image, std::vector<uint8_t>& pixels, PngColor& color) {
    const int n = componentsOf(image.kind);
    const bool planar = image.planes.size() > 1;
    if (image.width <= 0 || image.height <= 0 || image.planes.empty() || image.bits < 1 || image.bits > 16) return false;
    if (planar && static_cast<int>(image.planes.size()) != n) return false;
    const uint64_t w = static_cast<uint64_t>(image.width), h = static_cast<uint64_t>(image.height);
    if (w > kMaxPixelBytes / (3 * h)) return false;
    std::vector<Samples> planes;
    for (const std::string& p : image.planes) planes.emplace_back(p, image.bits, planar ? w : w * n);
    for (const Samples& s : planes)
        if (!s.fits(h)) return false;
    const double maxSample = std::pow(2.0, image.bits) - 1;
    const bool palette = image.kind == 'x';
    if (palette && image.palette.size() < static_cast<size_t>(3 * (maxSample + 1))) return false;
    if (!palette && image.decode.size() < static_cast<size_t>(2 * n)) return false;
    color = image.kind == 'g' ? PngColor::Gray : PngColor::Rgb;
    pixels.clear();
    pixels.reserve(w * h * (color == PngColor::Gray ? 1 : 3));
    double c[4] = {0, 0, 0, 0};
    for (uint64_t y = 0; y < h; ++y) {
        for (uint64_t x = 0; x < w; ++x) {
            for (int k = 0; k < n; ++k) {
                const uint32_t s = planar ? planes[k].at(y, x) : planes[0].at(y, x * n + k);
                if (palette) {
                    for (int j = 0; j < 3; ++j) pixels.push_back(static_cast<uint8_t>(image.palette[s * 3 + j]));
                    continue;
                }
                c[k] = image.decode[2 * k] + s * (image.decode[2 * k + 1] - image.decode[2 * k]) / maxSample;
            }
            if (palette) continue;
            if (image.kind == 'g') {
                pixels.push_back(toByte(c[0]));
            } else if (image.kind == 'r') {
                for (int k = 0; k < 3; ++k) pixels.push_back(toByte(c[k]));
            } else {
                for (int k = 0; k < 3; ++k) pixels.push_back(toByte((1 - c[k]) * (1 - c[3])));
            }
        }
    }
    return true;
}

bool maskPixels(const pictures::ImageMask& mask, std::vector<uint8_t>& pixels) {
    if (mask.width <= 0 || mask.height <= 0) return false;
    const uint64_t w = static_cast<uint64_t>(mask.width), h = static_cast<uint64_t>(mask.height);
    if (w > kMaxPixelBytes / (4 * h)) return false;
    const Samples bits(mask.bits, 1, w);
    if (!bits.fits(h)) return false;
    pixels.clear();
    pixels.reserve(w * h * 4);
    for (uint64_t y = 0; y < h; ++y)
        for (uint64_t x = 0; x < w; ++x) {
            const bool paints = static_cast<int>(bits.at(y, x)) == mask.paintBit;
            pixels.insert(pixels.end(), {mask.color.r, mask.color.g, mask.color.b, paints ? uint8_t{255} : uint8_t{0}});
        }
    return true;
}

}  // namespace morvex
