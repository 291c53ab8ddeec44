#include "fonts/svgfont.h"

#include <set>

#include "base/file_handle.h"
#include "base/printable.h"
#include "fonts/page_glyphs.h"

namespace morvex {

Result svgfontwrite(const std::string& fontsPath, const std::vector<FontUse>& fonts,
                    const std::map<std::string, GeneratedFont>& glyphs, std::FILE* out) {
    std::fprintf(out, "\nOpening file: %s (w).\n", fontsPath.c_str());
    FileHandle f = openFile(fontsPath.c_str(), "wb");
    if (!f) return {kGlyphsNoFontsFile, "\nCan not open " + fontsPath + " as SVG font output file.\n"};
    std::fputs("SVG Fonts:", out);
    std::fprintf(f.get(), "<?xml %s %s standalone=\"yes\" ?>", "version=\"1.0\"", "encoding=\"utf-8\"");
    std::fputs("\n<svg width=\"100%\" height=\"100%\" version=\"1.1\"\n     xmlns=\"http://www.w3.org/2000/svg\">",
               f.get());
    std::fputs("\n<defs>\n", f.get());

    std::set<std::string> written;
    for (const FontUse& font : fonts) {
        std::fputc('*', out);
        if (!written.insert(font.name).second) continue;  // one SVG font per name
        auto it = glyphs.find(font.name);
        if (it == glyphs.end())
            return {kGlyphsMissing, "\nCan not open generated SVG font " + printable(font.name) + ".\n"};
        const std::string text = generatedFontText(it->second);
        std::fwrite(text.data(), 1, text.size(), f.get());
    }
    std::fputs("</defs>", f.get());
    std::fputs("\n</svg>\n", f.get());
    // A full disk must not pass for a complete fonts file.
    if (!closeChecked(f)) return {kGlyphsNoFontsFile, "\nCan not write " + fontsPath + ".\n"};
    std::fputc('\n', out);
    return {};
}

Result svgfontbuild(const GlyphSettings& settings, const std::string& fontsPath, const std::vector<FontUse>& fonts,
                    std::FILE* log, std::FILE* out) {
    std::map<std::string, GeneratedFont> glyphs;
    Result r = pageGlyphs(settings, fonts, glyphs, log, out);
    if (!r.ok()) return r;
    return svgfontwrite(fontsPath, fonts, glyphs, out);
}

}  // namespace morvex
