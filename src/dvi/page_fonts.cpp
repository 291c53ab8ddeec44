#include "dvi/page_fonts.h"

#include <cmath>

#include "dvi/font_def.h"
#include "dvi/readers.h"
#include "svg/svgfontextract.h"

namespace morvex {

int dvipagefontdef(FontTable& fonts, TfmState& tfm, bool onSelectedPage, std::FILE* dvi, std::FILE* log,
                   std::FILE* out) {
    FontDefRecord def = readfontdef(dvi, log);
    std::fputc('*', out);
    std::fprintf(log, "n:%s", def.name.c_str());

    auto entry = std::make_unique<FontEntry>();
    entry->checksum = def.checksum;
    entry->s = def.s;
    entry->d = def.d;
    entry->ratio = static_cast<float>(def.s) / static_cast<float>(def.d);
    std::fprintf(log, "\ns/d: %f\n", static_cast<double>(entry->ratio));
    std::fprintf(log, "n:%s", def.name.c_str());
    entry->name = def.name;
    FontEntry& placed = *entry;
    fonts.slots[static_cast<size_t>(def.k)] = std::move(entry);

    // kpathsea expands $VAR and ~ in the names it is given: a DVI file may
    // name its fonts only as TeX does.
    if (!fontnameplain(def.name)) {
        std::fprintf(out, "\nCan not find font metrics %s: the name is not a plain file name.\n",
                     svgfontprintable(def.name).c_str());
        return 1;
    }
    int r = dvitfmload(tfm, def.name, def.k, log, out);
    if (r != 0) return r;
    if (onSelectedPage) placed.used = std::make_unique<std::array<uint8_t, 256>>();
    return 0;
}

int32_t dvipagecharwidth(const FontTable& fonts, const TfmState& tfm, int32_t f, int32_t ch) {
    if (f < 0 || f > 255) return 0;
    const FontEntry* entry = fonts.slots[static_cast<size_t>(f)].get();
    if (entry == nullptr) return 0;
    float w = dvitfmwidth(tfm, f, ch);
    float p = w * entry->ratio;
    float q = p * 65536.0f;
    // d = 0 makes the ratio infinite or NaN, and a huge width may not fit:
    // such advances are 0 rather than an undefined conversion.
    if (!std::isfinite(q) || q >= 2147483648.0f || q < -2147483648.0f) return 0;
    return static_cast<int32_t>(q);
}

void dvipagemarkused(FontTable& fonts, int32_t f, int32_t ch) {
    if (f < 0 || f > 255 || ch < 0 || ch > 255) return;
    FontEntry* entry = fonts.slots[static_cast<size_t>(f)].get();
    if (entry == nullptr) return;
    // A font defined while another page was current gets its table at its
    // first use here, so its glyphs are generated too.
    if (!entry->used) entry->used = std::make_unique<std::array<uint8_t, 256>>();
    (*entry->used)[static_cast<size_t>(ch)] = 1;
}

void dvipagefontfree(FontTable& fonts, std::FILE* log) {
    std::fputs("\ndvipagefontfree:", log);
    for (size_t k = 0; k < fonts.slots.size(); ++k) {
        if (fonts.slots[k]) {
            std::fprintf(log, " %d", static_cast<int>(k));
            fonts.slots[k].reset();
        }
    }
    std::fputs("\n", log);
}

}  // namespace morvex
