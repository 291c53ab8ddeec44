#pragma once
// Big-endian integer readers for DVI and TFM streams. A byte read at the end
// of the stream counts as 255, so callers see the end only through values
// that match no opcode they accept.
#include <cstdint>
#include <cstdio>

namespace morvex {

int32_t dvireadu1(std::FILE* in);   // 0..255
int32_t dvireads1(std::FILE* in);   // -128..127
int32_t dvireads2(std::FILE* in);   // -32768..32767
int32_t dvireads3(std::FILE* in);   // -8388608..8388607
uint32_t dviread4(std::FILE* in);   // one 32-bit word; the caller picks signedness

// Two's-complement addition as the DVI registers need it: it wraps.
inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace morvex
