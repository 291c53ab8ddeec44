#include "base/readers.h"

namespace morvex {

namespace {
inline uint32_t byteOrFF(std::FILE* in) {
    int c = getc_unlocked(in);
    return c == EOF ? 0xFFu : static_cast<uint32_t>(c);
}
}  // namespace

int32_t dvireadu1(std::FILE* in) { return static_cast<int32_t>(byteOrFF(in)); }

int32_t dvireads1(std::FILE* in) { return static_cast<int8_t>(byteOrFF(in)); }

int32_t dvireads2(std::FILE* in) {
    uint32_t b0 = byteOrFF(in);
    uint32_t b1 = byteOrFF(in);
    return static_cast<int16_t>(static_cast<uint16_t>((b0 << 8) | b1));
}

int32_t dvireads3(std::FILE* in) {
    uint32_t b0 = byteOrFF(in);
    uint32_t b1 = byteOrFF(in);
    uint32_t b2 = byteOrFF(in);
    uint32_t v = (b0 << 16) | (b1 << 8) | b2;
    // Sign-extend from bit 23.
    return static_cast<int32_t>(v << 8) >> 8;
}

uint32_t dviread4(std::FILE* in) {
    uint32_t b0 = byteOrFF(in);
    uint32_t b1 = byteOrFF(in);
    uint32_t b2 = byteOrFF(in);
    uint32_t b3 = byteOrFF(in);
    return (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
}

}  // namespace morvex
