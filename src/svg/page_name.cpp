#include "svg/page_name.h"

namespace morvex {

bool namesEachPage(std::string_view pattern) {
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        if (pattern[i + 1] == 'p') return true;
        if (pattern[i + 1] == '%') ++i;
    }
    return false;
}

std::string pageFileName(std::string_view pattern, uint32_t position) {
    std::string name;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool directive = pattern[i] == '%' && i + 1 < pattern.size();
        if (directive && pattern[i + 1] == 'p') {
            name += std::to_string(position);
            ++i;
        } else if (directive && pattern[i + 1] == '%') {
            name += '%';
            ++i;
        } else {
            name += pattern[i];
        }
    }
    return name;
}

}  // namespace morvex
