#include "specials/special_dispatcher.h"

namespace morvex {

void SpecialDispatcher::add(std::string prefix, SpecialHandler& handler) {
    handlers.emplace_back(std::move(prefix), &handler);
}

bool SpecialDispatcher::dispatch(const SpecialEvent& special, bool selected) const {
    std::string_view text = special.text;
    const size_t start = text.find_first_not_of(" \t\r\n");
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    // The longest prefix that matches; every handler of it reads the
    // special (the preview box and the picture program share "ps::").
    size_t chosenLength = 0;
    bool any = false;
    for (const auto& [prefix, handler] : handlers) {
        if (text.substr(0, prefix.size()) != prefix) continue;
        if (!any || prefix.size() > chosenLength) chosenLength = prefix.size();
        any = true;
    }
    if (!any) return false;
    for (const auto& [prefix, handler] : handlers)
        if (prefix.size() == chosenLength && text.substr(0, prefix.size()) == prefix) handler->special(special, selected);
    return true;
}

}  // namespace morvex
