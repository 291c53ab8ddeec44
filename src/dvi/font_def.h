#pragma once
// The fnt_def1 record, read the same way in the postamble and in the pages.
#include <cstdint>
#include <cstdio>
#include <string>

namespace morvex {

struct FontDefRecord {
    int32_t k = 0;
    uint32_t checksum = 0;
    uint32_t s = 0;
    uint32_t d = 0;
    int32_t a = 0;
    int32_t l = 0;
    std::string name;  // area followed by name, a + l bytes
};

// TeX's own font names are plain file names: letters, digits, "-", "_",
// ".", "+", and "/" in an area. A name from a DVI file goes unescaped into
// the SVG prologue and into kpathsea, which expands $VAR and ~ in it, so
// nothing else is accepted.
bool fontnameplain(const std::string& name);

// Reads the record after its opcode and traces its label and numbers.
FontDefRecord readfontdef(std::FILE* dvi, std::FILE* log);

}  // namespace morvex
