#include "svg/png_image.h"

#include <zlib.h>

namespace morvex {

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kTypeGray = 0, kTypeRgb = 2, kTypeRgba = 6;
constexpr uint8_t kFilterNone = 0;
// A picture's image larger than this is left out rather than held twice.
constexpr uint64_t kMaxBytes = uint64_t{256} << 20;

void put32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void chunk(std::string& out, const char type[4], const std::string& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.append(type, 4);
    out += data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + start), static_cast<uInt>(out.size() - start));
    put32(out, static_cast<uint32_t>(crc));
}

std::string base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(n >> s) & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const uint32_t n = (uint8_t(bytes[i]) << 16) | (two ? uint8_t(bytes[i + 1]) << 8 : 0);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += two ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

std::string pngDataUri(uint32_t width, uint32_t height, PngColor color, const std::vector<uint8_t>& pixels) {
    const uint64_t rowBytes = uint64_t{width} * static_cast<uint8_t>(color);
    if (width == 0 || height == 0 || rowBytes * height != pixels.size() || (rowBytes + 1) * height > kMaxBytes)
        return {};
    std::string raw;
    raw.reserve((rowBytes + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        raw += static_cast<char>(kFilterNone);
        raw.append(reinterpret_cast<const char*>(pixels.data()) + y * rowBytes, rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string header;
    put32(header, width);
    put32(header, height);
    header += static_cast<char>(kBitDepth);
    header += static_cast<char>(color == PngColor::Gray ? kTypeGray : color == PngColor::Rgb ? kTypeRgb : kTypeRgba);
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace
    std::string png(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    return "data:image/png;base64," + base64(png);
}

}  // namespace morvex
