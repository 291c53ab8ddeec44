#include "base/printable.h"

#include <cstdio>

namespace morvex {

std::string printable(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (unsigned char c : text) {
        if (c >= 0x20 && c <= 0x7E) {
            s += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s += buf;
        }
    }
    return s;
}

}  // namespace morvex
