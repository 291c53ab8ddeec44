#include "fonts/page_glyphs.h"

#include <bitset>
#include <filesystem>
#include <system_error>

#include "base/file_handle.h"
#include "base/kpse_program.h"
#include "base/printable.h"
#include "fonts/cached_glyphs.h"
#include "fonts/font_messages.h"
#include "fonts/ghostscript_source.h"
#include "fonts/glyph_cache.h"
#include "fonts/work_dir.h"

namespace morvex {

namespace {

// Said after a font missing from the map: morvex.map is made from the TeX
// installation's map when morvex is built or refreshed.
constexpr const char* kMapHint =
    "(A font installed after morvex is found once its map is refreshed: run morvex-update-map.)\n";

// The configuration directory as Ghostscript, running elsewhere, must see it.
std::string absoluteConfigDir(const std::string& configDir) {
    std::string s = absolutePath(configDir);
    if (s != configDir && s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// Fonts of the same name (one font at several sizes) share one generated
// font: the first of them gets the glyphs of all their used codes.
std::vector<size_t> firstOfName(const std::vector<FontUse>& fonts) {
    std::vector<size_t> first(fonts.size());
    for (size_t i = 0; i < fonts.size(); ++i) {
        first[i] = i;
        for (size_t j = 0; j < i; ++j)
            if (fonts[j].name == fonts[i].name) {
                first[i] = j;
                break;
            }
    }
    return first;
}

// The fonts to make: for each request the font it stands for, and the
// font that stopped the plan for want of a map line.
struct FontPlan {
    std::vector<size_t> fontOfRequest;
    std::vector<std::string> nameOfRequest;
    std::vector<std::string> encodingOfRequest;  // the map line's encoding file, empty for none
    std::optional<std::string> notInMap;
};

// The second stage of a font: its files found and traced, and its glyphs
// asked of the source; none when its files are not found (said on out).
std::optional<FontFiles> svgfontextract(const std::string& name, const MapEntry& entry,
                                        const std::bitset<256>& codes, GlyphSource& source, std::FILE* log,
                                        std::FILE* out) {
    std::optional<FontFiles> files = findFontFiles(name, entry, log, out);
    if (files) source.add({name, entry, *files, codes}, log);
    return files;
}

// Looks every font up in font order, traced, each one's messages into its
// own buffer, and hands the source a request for each font it can make.
FontPlan planFonts(const std::vector<FontUse>& fonts, std::FILE* map, GlyphSource& source,
                   FontMessages& messages, std::FILE* log) {
    FontPlan plan;
    const std::vector<size_t> first = firstOfName(fonts);
    for (size_t i = 0; i < fonts.size(); ++i) {
        const FontUse& font = fonts[i];
        std::FILE* msg = messages.next();
        std::fputc('*', msg);
        std::fprintf(log, "\nFnt:%d\nSymbols:", font.number);
        if (first[i] != i) {
            for (int c = 0; c < 256; ++c)
                if (font.codes[static_cast<size_t>(c)]) std::fprintf(log, "%d ", c);
            std::fprintf(log, "\nsame font as Fnt:%d\n", fonts[first[i]].number);
            continue;
        }
        std::bitset<256> used;
        for (size_t j = i; j < fonts.size(); ++j)
            if (first[j] == i) used |= fonts[j].codes;
        for (int c = 0; c < 256; ++c)
            if (used[static_cast<size_t>(c)]) std::fprintf(log, "%d ", c);
        std::optional<MapEntry> entry = psmap(map, font.name, log);
        if (!entry) {
            plan.notInMap = font.name;
            break;
        }
        std::optional<FontFiles> files = svgfontextract(font.name, *entry, used, source, log, msg);
        if (!files) continue;
        plan.fontOfRequest.push_back(i);
        plan.nameOfRequest.push_back(font.name);
        plan.encodingOfRequest.push_back(files->encVectorPath);
    }
    return plan;
}

// What the source tells, shown in font order; the glyphs kept by name.
class PageReport final : public GlyphReport {
public:
    PageReport(const FontPlan& plan, FontMessages& messages, std::map<std::string, GeneratedFont>& glyphs,
               std::FILE* log, std::FILE* out)
        : plan(plan), messages(messages), glyphs(glyphs), log(log), out(out) {}

    void lookupsThrough(size_t request) override { messages.showThrough(plan.fontOfRequest[request]); }
    void allLookups() override { messages.showAll(); }
    void say(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), out);
        std::fflush(out);
    }
    void sayError(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }
    void trace(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), log); }
    // Whichever source made them (Ghostscript, the cache), the codes a
    // re-encoding names but the font lacks are traced alike.
    void made(size_t request, GeneratedFont font) override {
        const std::string& encoding = plan.encodingOfRequest[request];
        if (!encoding.empty())
            if (std::optional<EncodingVector> names = readEncodingVector(encoding)) trace(notdefTrace(font, *names));
        glyphs[plan.nameOfRequest[request]] = std::move(font);
    }
    void failed(size_t) override {}
    void cannotWrite(std::string_view where) override {
        if (unwritable.empty()) unwritable = where;
    }

    // Where a temporary file could not be written, the first; "" when all were.
    std::string unwritable;

private:
    const FontPlan& plan;
    FontMessages& messages;
    std::map<std::string, GeneratedFont>& glyphs;
    std::FILE* const log;
    std::FILE* const out;
};

// The glyphs are made in a private directory under TMPDIR (else /tmp):
// when it cannot be made or written, no font has its glyphs, and the run
// says what to change.
Result noTemporarySpace(const std::string& where) {
    return {kGlyphsNoTemporarySpace, "\nCan not write the generated SVG fonts in the temporary directory (" +
                                         printable(where) +
                                         "): it is full or cannot be written; set TMPDIR to another directory.\n"};
}

}  // namespace

Result pageGlyphs(const GlyphSettings& settings, const std::vector<FontUse>& fonts,
                  std::map<std::string, GeneratedFont>& glyphs, std::FILE* log, std::FILE* out) {
    setKpseProgramName();
    std::fputs("SVG Fonts:", out);
    const std::string absConfig = absoluteConfigDir(settings.configDir);
    const ConfigFiles config{absConfig + "/tarnevik.ps", absConfig + "/tarnevik.enc", settings.encodingName};
    const std::string mapPath = settings.configDir + "/morvex.map";
    FileHandle map = openFile(mapPath.c_str(), "rb");
    if (!map) return {kGlyphsNoMap, "Can not open MAP file " + mapPath + ".\n"};
    WorkDir work;
    if (!work.create()) return noTemporarySpace(work.error);

    const GhostscriptLimits limits{settings.parallel, settings.timeLimit,
                                   static_cast<uint64_t>(settings.memoryLimit) << 20};
    GhostscriptSource perFont(config, limits, work.path);
    GhostscriptBatch batch(config, limits, work.path);
    GhostscriptBatch parts(config, limits, work.path, settings.parallel);
    std::optional<GlyphCache> cache;
    std::optional<CachedGlyphs> cached;
    if (settings.cache) {
        cache.emplace(settings.cacheDir, out);
        cached.emplace(*cache, batch, programStamp(config.psPath, config.encPath));
    }
    GlyphSource& source = cached ? static_cast<GlyphSource&>(*cached)
                          : settings.batch ? static_cast<GlyphSource&>(parts)
                                           : perFont;

    FontMessages messages(out);
    const FontPlan plan = planFonts(fonts, map.get(), source, messages, log);
    PageReport report(plan, messages, glyphs, log, out);
    if (source.make(report) != 0) return {kGlyphsInterrupted, ""};
    messages.showAll();
    if (!report.unwritable.empty()) return noTemporarySpace(report.unwritable);
    if (plan.notInMap) return {kGlyphsNotInMap, "Mappings for " + printable(*plan.notInMap) + " not founded.\n" + kMapHint};
    return {};
}

Result missingGlyphs(const std::vector<FontUse>& fonts, const std::map<std::string, GeneratedFont>& glyphs) {
    for (const FontUse& font : fonts)
        if (glyphs.count(font.name) == 0)
            return {kGlyphsMissing, "\nCan not open generated SVG font " + printable(font.name) + ".\n"};
    return {};
}

}  // namespace morvex
