#pragma once
// The fonts defined inside the pages, by DVI font number. The SVG font
// generation reads it (name and used flags) but never changes it.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace morvex {

struct FontEntry {
    uint32_t checksum = 0;
    uint32_t s = 0;
    uint32_t d = 0;
    float ratio = 0.0f;  // s / d in single precision
    // Present only for fonts whose characters may appear on the selected
    // page; a flag counts as used when it is exactly 1.
    std::unique_ptr<std::array<uint8_t, 256>> used;
    std::string name;  // area followed by name
};

struct FontTable {
    std::array<std::unique_ptr<FontEntry>, 256> slots;
};

}  // namespace morvex
