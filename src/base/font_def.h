#pragma once
// A font as the DVI file defines it, and the codes a page uses of it.
#include <bitset>
#include <cstdint>
#include <string>

namespace morvex {

// One fnt_def1 record, whether from the postamble or from the pages.
struct FontDef {
    int32_t number = 0;     // k, 0..255
    uint32_t checksum = 0;  // c
    uint32_t s = 0;         // scaled size, DVI units
    uint32_t d = 0;         // design size, DVI units
    std::string name;       // area followed by name
};

// A font whose glyphs the run needs: those defined on the selected page,
// with the codes set or put there.
struct FontUse {
    int32_t number = 0;
    std::string name;
    std::bitset<256> codes;
};

}  // namespace morvex
