#include "pictures/pdf_text.h"

#include <array>
#include <cstdint>

#include "base/utf8.h"

namespace morvex::pictures {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// PDFDocEncoding where it is not Latin-1: the accents at 18..1F, and the
// punctuation and letters at 80..A0 (9F is undefined).
constexpr std::array<char32_t, 8> kAccents = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
constexpr std::array<char32_t, 33> kHigh = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
    0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
    0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, kReplacement, 0x20AC};

void append(std::string& out, char32_t c) {
    if (c < 0x20 || c == 0x7F) {
        if (c == '\t' || c == '\n' || c == '\r') out += ' ';
        return;
    }
    out += utf8(c);
}

std::string fromUtf16(std::string_view bytes) {
    std::string out;
    const auto unit = [&](size_t i) {
        return static_cast<char16_t>((static_cast<uint8_t>(bytes[i]) << 8) | static_cast<uint8_t>(bytes[i + 1]));
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            const char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                append(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        append(out, u >= 0xD800 && u < 0xE000 ? kReplacement : u);
    }
    if (bytes.size() % 2 != 0) append(out, kReplacement);  // half a unit at the end
    return out;
}

}  // namespace

std::string pdfTextToUtf8(std::string_view text) {
    if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFE && static_cast<uint8_t>(text[1]) == 0xFF)
        return fromUtf16(text.substr(2));
    std::string out;
    for (char byte : text) {
        const auto b = static_cast<uint8_t>(byte);
        if (b >= 0x18 && b < 0x20)
            append(out, kAccents[b - 0x18]);
        else if (b >= 0x80 && b <= 0xA0)
            append(out, kHigh[b - 0x80]);
        else if (b == 0xAD)
            append(out, kReplacement);  // undefined in PDFDocEncoding
        else
            append(out, b);
    }
    return out;
}

}  // namespace morvex::pictures
