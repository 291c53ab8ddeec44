#include "dvi/page_fonts.h"

#include <cmath>

#include "base/printable.h"
#include "dvi/fnt_def.h"

namespace morvex {

namespace {

// The same font: files joined from several runs, and pages that define a
// font again, repeat the definition with the same values.
bool sameFont(const FontDef& a, const FontDef& b) {
    return a.name == b.name && a.checksum == b.checksum && a.s == b.s && a.d == b.d;
}

}  // namespace

int dvipagefontdef(FontTable& fonts, TfmState& tfm, bool onSelectedPage, std::FILE* dvi, std::FILE* log,
                   std::FILE* out) {
    FontDef def = readFontDef(dvi, log);
    std::fputc('*', out);
    std::fprintf(log, "n:%s", def.name.c_str());

    auto entry = std::make_unique<PageFont>();
    entry->ratio = static_cast<float>(def.s) / static_cast<float>(def.d);
    std::fprintf(log, "\ns/d: %f\n", static_cast<double>(entry->ratio));
    std::fprintf(log, "n:%s", def.name.c_str());
    const std::string name = def.name;
    const int32_t k = def.number;
    // The codes set before a repeated definition are on the page all the
    // same: dropping them would lose their glyphs.
    std::unique_ptr<std::bitset<256>> kept;
    if (PageFont* old = fonts[static_cast<size_t>(k)].get();
        old != nullptr && old->used && old->used->any() && sameFont(old->def, def))
        kept = std::move(old->used);
    entry->def = std::move(def);
    PageFont& placed = *entry;
    fonts[static_cast<size_t>(k)] = std::move(entry);

    // kpathsea expands $VAR and ~ in the names it is given: a DVI file may
    // name its fonts only as TeX does.
    if (!fontNameSearchable(name)) {
        std::fprintf(out, "\nCan not find font metrics %s: the name is not a plain file name.\n",
                     printable(name).c_str());
        return 1;
    }
    int r = dvitfmload(tfm, name, k, log, out);
    if (r != 0) return r;
    if (kept)
        placed.used = std::move(kept);
    else if (onSelectedPage)
        placed.used = std::make_unique<std::bitset<256>>();
    return 0;
}

namespace {

// A dimension in points at design size scaled to the font's size, in DVI
// units. d = 0 makes the ratio infinite or NaN, and a huge dimension may
// not fit: such dimensions are 0 rather than an undefined conversion.
int32_t scaledDimension(float designPt, float ratio) {
    float p = designPt * ratio;
    float q = p * 65536.0f;
    if (!std::isfinite(q) || q >= 2147483648.0f || q < -2147483648.0f) return 0;
    return static_cast<int32_t>(q);
}

}  // namespace

int32_t dvipagecharwidth(const FontTable& fonts, const TfmState& tfm, int32_t f, int32_t ch) {
    if (f < 0 || f > 255) return 0;
    const PageFont* entry = fonts[static_cast<size_t>(f)].get();
    if (entry == nullptr) return 0;
    return scaledDimension(tfmWidth(tfm, f, ch), entry->ratio);
}

CharHeightDepth dvipagecharheightdepth(const FontTable& fonts, const TfmState& tfm, int32_t f, int32_t ch) {
    if (f < 0 || f > 255) return {};
    const PageFont* entry = fonts[static_cast<size_t>(f)].get();
    if (entry == nullptr) return {};
    const TfmHeightDepth hd = tfmHeightDepth(tfm, f, ch);
    return {scaledDimension(hd.height, entry->ratio), scaledDimension(hd.depth, entry->ratio)};
}

void dvipagemarkused(FontTable& fonts, int32_t f, int32_t ch) {
    if (f < 0 || f > 255 || ch < 0 || ch > 255) return;
    PageFont* entry = fonts[static_cast<size_t>(f)].get();
    if (entry == nullptr) return;
    // A font defined while another page was current gets its table at its
    // first use here, so its glyphs are generated too.
    if (!entry->used) entry->used = std::make_unique<std::bitset<256>>();
    entry->used->set(static_cast<size_t>(ch));
}

std::vector<FontUse> usedFonts(const FontTable& fonts) {
    std::vector<FontUse> uses;
    for (const auto& entry : fonts)
        if (entry && entry->used) uses.push_back({entry->def.number, entry->def.name, *entry->used});
    return uses;
}

void dvipagefontfree(FontTable& fonts, std::FILE* log) {
    std::fputs("\ndvipagefontfree:", log);
    for (size_t k = 0; k < fonts.size(); ++k) {
        if (fonts[k]) {
            std::fprintf(log, " %d", static_cast<int>(k));
            fonts[k].reset();
        }
    }
    std::fputs("\n", log);
}

}  // namespace morvex
