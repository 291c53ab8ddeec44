#include "text/conv.h"

#include <array>

namespace morvex {

namespace {

// Code points of the codes 0x80..0xFF; 0 marks a code without a character
// of its own.
constexpr std::array<uint16_t, 128> kUpperHalf = {
    // 0x80
    0x0102, 0x0104, 0x0106, 0x010C, 0x010E, 0x011A, 0x0118, 0, 0x0139, 0x013D, 0x0141, 0x0143, 0x0147, 0,
    0x0150, 0x0154,
    // 0x90
    0x0158, 0x015A, 0x0160, 0, 0x0164, 0x0162, 0x0170, 0x016E, 0, 0x0179, 0x017D, 0x017B, 0x00B1, 0x00B4,
    0x0111, 0x00A7,
    // 0xA0
    0x0103, 0x0105, 0x0107, 0x010D, 0x010F, 0x011B, 0x0119, 0x02C7, 0x013A, 0x013E, 0x0142, 0x0144, 0x0148,
    0x00AD, 0x0151, 0x0155,
    // 0xB0
    0x0159, 0x015B, 0x0161, 0x015F, 0x0165, 0x0163, 0x0171, 0x016F, 0x00B8, 0x017A, 0x017E, 0x017C, 0, 0x02DD,
    0x00A9, 0x00BB,
    // 0xC0
    0, 0x00C1, 0x00C2, 0, 0x00C4, 0, 0, 0x00C7, 0, 0x00C9, 0, 0x00CB, 0, 0x00CD, 0x00CE, 0,
    // 0xD0
    0x0110, 0, 0, 0x00D3, 0x01D1, 0x02DB, 0x00D6, 0x00D7, 0, 0, 0x00DA, 0, 0x00DC, 0x00DD, 0, 0x02D9,
    // 0xE0
    0, 0x00E1, 0x00E2, 0x00A0, 0x00E4, 0x00A8, 0x02D8, 0x00E7, 0, 0x00E9, 0x00A6, 0x00EB, 0, 0x00ED, 0x00EE,
    0x00A4,
    // 0xF0
    0, 0x00AB, 0x00AC, 0x00F3, 0x01D2, 0x00AE, 0x00F6, 0x00F7, 0x00B0, 0x00B7, 0x00FA, 0x00B6, 0x00FC, 0x00FD,
    0x00B5, 0x00DF,
};

constexpr char32_t kPrivateUseBase = 0xE000;

}  // namespace

char32_t convCodePoint(unsigned char code) {
    if (code == 0x02) return 0xFB01;  // fi ligature
    if (code == 0x03) return 0xFB02;  // fl ligature
    if (code < 0x20) return kPrivateUseBase + code;
    if (code < 0x80) return code;
    char32_t cp = kUpperHalf[code - 0x80];
    return cp != 0 ? cp : kPrivateUseBase + code;
}

std::string convCode(unsigned char code) {
    switch (code) {
        case '&': return "&amp;";
        case '>': return "&gt;";
        case '<': return "&lt;";
        default: return utf8(convCodePoint(code));
    }
}

bool convWarns(unsigned char code) { return code < 0x20 && code != 0x02 && code != 0x03; }

void conv(const std::string& codes, std::string& convText, std::FILE* out) {
    // The texts of all 256 codes, made once: a run is converted by lookup.
    static const std::array<std::string, 256> texts = [] {
        std::array<std::string, 256> t;
        for (int c = 0; c < 256; ++c) t[c] = convCode(static_cast<unsigned char>(c));
        return t;
    }();
    convText.clear();
    convText.reserve(codes.size() * 3);
    for (char ch : codes) {
        auto code = static_cast<unsigned char>(ch);
        if (convWarns(code)) std::fputs("Warning: conv()", out);
        convText += texts[code];
    }
}

}  // namespace morvex
