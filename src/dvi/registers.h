#pragma once
#include <cstdint>

namespace morvex {

// The six DVI registers in DVI units, always in this order.
struct DviRegisters {
    int32_t h = 0;
    int32_t v = 0;
    int32_t w = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
};

}  // namespace morvex
