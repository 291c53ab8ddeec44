#include "svg/link_scheme.h"

#include <array>
#include <string>

namespace morvex {

namespace {

constexpr std::array<std::string_view, 4> kAllowedSchemes = {"http", "https", "mailto", "ftp"};
constexpr unsigned char kDelete = 0x7F;

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool linkableAddress(std::string_view target) {
    for (unsigned char c : target)
        if (c < 0x20 || c == kDelete) return false;
    const size_t start = target.find_first_not_of(' ');
    if (start == std::string_view::npos) return true;
    target.remove_prefix(start);
    // A scheme is a letter, then letters, digits, '+', '-' and '.', up to a
    // colon; anything else before a colon makes the address relative.
    if (!isAlpha(target.front())) return true;
    std::string scheme;
    for (char c : target) {
        if (c == ':') {
            for (std::string_view allowed : kAllowedSchemes)
                if (scheme == allowed) return true;
            return false;
        }
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return true;
        scheme += isAlpha(c) ? static_cast<char>(c | 0x20) : c;
    }
    return true;
}

}  // namespace morvex
