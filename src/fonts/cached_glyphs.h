#pragma once
// The glyph cache as a source: the fonts it holds come from it, the others
// from the source it wraps, every code of each, kept for the next run.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "fonts/glyph_cache.h"
#include "fonts/glyph_source.h"

namespace morvex {

class CachedGlyphs final : public GlyphSource {
public:
    // program: programStamp of the run's glyph program and encoding.
    CachedGlyphs(GlyphCache& cache, GlyphSource& misses, const std::string& program);

    void add(const GlyphRequest& request, std::FILE* log) override;
    int make(GlyphReport& report) override;

private:
    struct Entry {
        GlyphRequest request;
        GlyphKey key;
        std::optional<GeneratedFont> found;  // the glyphs of the codes wanted, when the cache held them
        size_t miss = 0;                     // the request's index in misses otherwise
    };

    GlyphCache& cache;
    GlyphSource& misses;
    const std::string program;
    std::vector<Entry> entries;
    std::vector<size_t> entryOfMiss;
};

}  // namespace morvex
