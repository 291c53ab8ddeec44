#pragma once
#include <string>
#include <string_view>

namespace morvex {

// A text as it may be shown on a terminal or in a message: printable ASCII
// kept, every other byte written as \xNN.
std::string printable(std::string_view text);

}  // namespace morvex
