#include "svg/xml_text.h"

#include <cstdint>

namespace morvex {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kSurrogatesFirst = 0xD800, kSurrogatesLast = 0xDFFF;

bool xmlCodePoint(char32_t c) {
    if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
    if (c >= kSurrogatesFirst && c <= kSurrogatesLast) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= kLastCodePoint;
}

}  // namespace

size_t xmlCharLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t first = byte(at);
    if (first < 0x80) return xmlCodePoint(first) ? 1 : 0;
    size_t length = 0;
    char32_t c = 0;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        c = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        c = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        c = first & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    // The shortest form only: an overlong one could hide a '<'.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length]) return 0;
    return xmlCodePoint(c) ? length : 0;
}

void appendXmlText(std::string& out, std::string_view text, BadBytes bad) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = xmlCharLength(text, at);
        if (length == 0) {
            const auto b = static_cast<uint8_t>(text[at]);
            if (bad == BadBytes::Percent) {
                out += '%';
                out += kHex[b >> 4];
                out += kHex[b & 15];
            } else {
                out += "\xEF\xBF\xBD";
            }
            ++at;
            continue;
        }
        switch (text[at]) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            // Line ends and tabs in an attribute would be read as spaces.
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default: out.append(text.substr(at, length));
        }
        at += length;
    }
}

void appendIdText(std::string& out, std::string_view name) {
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '_';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
}

}  // namespace morvex
