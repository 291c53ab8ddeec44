#include "specials/special_dispatcher.h"

namespace morvex {

void SpecialDispatcher::add(std::string prefix, SpecialHandler& handler) {
    handlers.emplace_back(std::move(prefix), &handler);
}

bool SpecialDispatcher::dispatch(const SpecialEvent& special, bool selected) const {
    std::string_view text = special.text;
    const size_t start = text.find_first_not_of(" \t\r\n");
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    SpecialHandler* chosen = nullptr;
    size_t chosenLength = 0;
    for (const auto& [prefix, handler] : handlers) {
        if (text.substr(0, prefix.size()) != prefix) continue;
        if (chosen == nullptr || prefix.size() > chosenLength) {
            chosen = handler;
            chosenLength = prefix.size();
        }
    }
    if (chosen == nullptr) return false;
    chosen->special(special, selected);
    return true;
}

}  // namespace morvex
