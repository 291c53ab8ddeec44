#pragma once
// What a step of a run ended with: its code and what is still to be said
// of it. The steps return it; the front end alone turns it into the exit
// code and shows the message.
#include <string>

namespace morvex {

struct Result {
    int code = 0;         // 0: the step succeeded; otherwise the step's own code
    std::string message;  // shown on standard output where the run stops with it

    bool ok() const { return code == 0; }
};

}  // namespace morvex
