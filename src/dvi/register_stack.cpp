#include "dvi/register_stack.h"

namespace morvex {

void createStack(RegisterStack& stack, int32_t capacity) {
    stack.capacity = capacity;
    stack.depth = 0;
    // A capacity of 0 or less gives a stack without room for any entry.
    stack.entries.assign(capacity > 0 ? static_cast<size_t>(capacity) : 0, DviRegisters{});
}

void dvipagepush(RegisterStack& stack, const DviRegisters& regs, std::FILE* log, std::FILE* out) {
    fwrite_unlocked("<push>", 1, 6, log);
    if (stack.depth >= stack.capacity || static_cast<size_t>(stack.depth) >= stack.entries.size()) {
        std::fputs("\nStack overflow\n", out);
        return;
    }
    stack.entries[static_cast<size_t>(stack.depth)] = regs;
    ++stack.depth;
}

void dvipagepop(RegisterStack& stack, DviRegisters& regs, std::FILE* log, std::FILE* out) {
    fwrite_unlocked("<pop>", 1, 5, log);
    if (stack.depth <= 0) {
        std::fputs("\nStack underflow\n", out);
        return;
    }
    --stack.depth;
    regs = stack.entries[static_cast<size_t>(stack.depth)];
}

void releaseStack(RegisterStack& stack) {
    stack.entries.clear();
    stack.entries.shrink_to_fit();
}

}  // namespace morvex
