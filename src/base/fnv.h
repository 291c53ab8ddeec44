#pragma once
// FNV-1a, 64 bits: a checksum and a short name for a key, not a defence
// against a chosen collision (what it names is compared in full).
#include <cstdint>
#include <string_view>

namespace morvex {

inline uint64_t fnv1a64(std::string_view bytes, uint64_t hash = 0xcbf29ce484222325ull) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace morvex
