#include "dvi/register_stack.h"

namespace morvex {

void dvipagestackcreate(RegisterStack& stack, int32_t capacity) {
    stack.capacity = capacity;
    stack.depth = 0;
    stack.entries.assign(capacity > 0 ? static_cast<size_t>(capacity) : 0, DviRegisters{});
}

void dvipagepush(RegisterStack&, const DviRegisters&, std::FILE*, std::FILE*) {}

void dvipagepop(RegisterStack&, DviRegisters&, std::FILE*, std::FILE*) {}

void dvipagestackfree(RegisterStack& stack) {
    stack.entries.clear();
    stack.entries.shrink_to_fit();
}

}  // namespace morvex
