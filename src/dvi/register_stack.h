#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "dvi/registers.h"

namespace morvex {

// Saved copies of the registers for push and pop. Its capacity is the
// postamble's maximum stack depth; nothing empties it between pages.
struct RegisterStack {
    std::vector<DviRegisters> entries;
    int32_t depth = 0;
    int32_t capacity = 0;
};

void createStack(RegisterStack& stack, int32_t capacity);
void dvipagepush(RegisterStack& stack, const DviRegisters& regs, std::FILE* log, std::FILE* out);
void dvipagepop(RegisterStack& stack, DviRegisters& regs, std::FILE* log, std::FILE* out);
void releaseStack(RegisterStack& stack);

}  // namespace morvex
