#pragma once
// The fonts of a --paths run by name, each with the codes its pages use: a
// font's glyphs are extracted and defined once, whatever sizes and font
// numbers the pages give it. Indices are those of first use and stay the
// same from pass to pass over the pages.
#include <bitset>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/font_def.h"

namespace morvex {

struct RegisteredFont {
    std::string name;
    int32_t number = 0;  // the DVI font number it was first met under
    std::bitset<256> codes;
};

class FontRegistry {
public:
    uint32_t index(const FontDef& def) {
        auto [it, added] = byName.try_emplace(def.name, static_cast<uint32_t>(list.size()));
        if (added) list.push_back({def.name, def.number, {}});
        return it->second;
    }
    void markUsed(uint32_t font, uint8_t code) { list[font].codes.set(code); }
    const std::vector<RegisteredFont>& fonts() const { return list; }

    // The fonts with their codes, as the glyph extraction takes them.
    std::vector<FontUse> uses() const {
        std::vector<FontUse> out;
        for (const RegisteredFont& f : list) out.push_back({f.number, f.name, f.codes});
        return out;
    }

private:
    std::vector<RegisteredFont> list;
    std::unordered_map<std::string, uint32_t> byName;
};

}  // namespace morvex
