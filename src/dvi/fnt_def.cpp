#include "dvi/fnt_def.h"

#include "base/readers.h"

namespace morvex {

bool fontNamePlain(const std::string& name) {
    for (unsigned char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '_' || c == '.' || c == '+' || c == '/';
        if (!ok) return false;
    }
    return true;
}

bool fontNameSearchable(const std::string& name) {
    if (!fontNamePlain(name) || (!name.empty() && name[0] == '/')) return false;
    size_t start = 0;
    for (;;) {
        size_t end = name.find('/', start);
        if (name.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0) return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

FontDef readFontDef(std::FILE* dvi, std::FILE* log) {
    FontDef def;
    std::fputs("\nFNT_DEF_1: ", log);
    def.number = dvireadu1(dvi);
    def.checksum = dviread4(dvi);
    def.s = dviread4(dvi);
    def.d = dviread4(dvi);
    const int32_t a = dvireadu1(dvi);
    const int32_t l = dvireadu1(dvi);
    std::fprintf(log, "k:%2d, c:%10u, s:%d, d:%d, a:%d, l:%d ", def.number, def.checksum,
                 static_cast<int32_t>(def.s), static_cast<int32_t>(def.d), a, l);
    // At most 510 bytes; past the end of the stream they read as 255.
    def.name.reserve(static_cast<size_t>(a + l));
    for (int32_t i = 0; i < a + l; ++i) def.name.push_back(static_cast<char>(dvireadu1(dvi)));
    return def;
}

}  // namespace morvex
