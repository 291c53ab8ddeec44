#include "fonts/cached_glyphs.h"

#include <functional>

namespace morvex {

namespace {

const std::bitset<256> kEveryCode = std::bitset<256>().set();

// What the wrapped source reports of the misses, turned into the
// requests' own: each whole font kept, the codes wanted handed on.
class MissReport final : public GlyphReport {
public:
    MissReport(GlyphReport& report, const std::vector<size_t>& entryOf,
               const std::function<void(size_t, GeneratedFont)>& keep)
        : report(report), entryOf(entryOf), keep(keep) {}

    void lookupsThrough(size_t miss) override { report.lookupsThrough(entryOf[miss]); }
    void allLookups() override { report.allLookups(); }
    void say(std::string_view text) override { report.say(text); }
    void sayError(std::string_view text) override { report.sayError(text); }
    void trace(std::string_view text) override { report.trace(text); }
    void made(size_t miss, GeneratedFont font) override { keep(entryOf[miss], std::move(font)); }
    void failed(size_t miss) override { report.failed(entryOf[miss]); }
    void cannotWrite(std::string_view where) override { report.cannotWrite(where); }

private:
    GlyphReport& report;
    const std::vector<size_t>& entryOf;
    const std::function<void(size_t, GeneratedFont)>& keep;
};

}  // namespace

CachedGlyphs::CachedGlyphs(GlyphCache& cache, GlyphSource& misses, const std::string& program)
    : cache(cache), misses(misses), program(program) {}

void CachedGlyphs::add(const GlyphRequest& request, std::FILE* log) {
    const MapEntry& e = request.entry;
    Entry entry{request,
                glyphKey(request.name, e.fntDvi, request.files.type1Path, request.files.encVectorPath, e.slant,
                         e.extend, program),
                std::nullopt, 0};
    std::optional<std::string> whole = cache.find(entry.key);
    // An entry reaches the outputs only as glyph records read from it, and
    // only when it is the font's own.
    std::optional<GeneratedFont> font = whole ? parseGeneratedFont(*whole, kEveryCode) : std::nullopt;
    if (font && font->id != request.name) font.reset();
    if (font) {
        entry.found = fontForCodes(*font, request.codes);
        std::fprintf(log, "cache: glyphs of %s from %s\n", request.name.c_str(), entry.key.file.c_str());
    } else {
        if (cache.usable())
            std::fprintf(log, "cache: glyphs of %s from Ghostscript, kept as %s\n", request.name.c_str(),
                         entry.key.file.c_str());
        else
            std::fprintf(log, "cache: glyphs of %s from Ghostscript\n", request.name.c_str());
        GlyphRequest everyCode = request;
        everyCode.codes = kEveryCode;
        entry.miss = entryOfMiss.size();
        entryOfMiss.push_back(entries.size());
        misses.add(everyCode, log);
    }
    entries.push_back(std::move(entry));
}

int CachedGlyphs::make(GlyphReport& report) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].found) report.made(i, *entries[i].found);
    const std::function<void(size_t, GeneratedFont)> keep = [&](size_t i, GeneratedFont whole) {
        const Entry& entry = entries[i];
        cache.store(entry.key, generatedFontText(whole));
        report.made(i, fontForCodes(whole, entry.request.codes));
    };
    MissReport missReport(report, entryOfMiss, keep);
    return misses.make(missReport);
}

}  // namespace morvex
