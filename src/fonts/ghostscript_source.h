#pragma once
// Glyphs made by Ghostscript running config/tarnevik.ps, in a private
// directory: one run per font, side by side, or one run for every font.
#include <cstdio>
#include <string>
#include <vector>

#include "fonts/font_files.h"
#include "fonts/glyph_source.h"
#include "process/run.h"

namespace morvex {

struct GhostscriptLimits {
    int parallel = 1;    // runs at once
    int timeLimit = 60;  // seconds per run
};

// One Ghostscript run per font, for exactly the codes wanted; the fonts of
// a re-encoding have their missing glyphs traced.
class GhostscriptSource final : public GlyphSource {
public:
    // workDir: the private directory the runs write into.
    GhostscriptSource(const ConfigFiles& config, const GhostscriptLimits& limits, const std::string& workDir);

    void add(const GlyphRequest& request, std::FILE* log) override;
    int make(GlyphReport& report) override;

private:
    const ConfigFiles config;
    const GhostscriptLimits limits;
    const std::string workDir;
    std::vector<GlyphRequest> requests;
    std::vector<RunSpec> runs;
};

// One Ghostscript run for every font, from a job list: the fonts met for
// the first time in a cached run, every code of each; or the fonts of all
// the pages of a run, split into parts that run side by side (a start of
// Ghostscript costs more than the glyphs of a font).
class GhostscriptBatch final : public GlyphSource {
public:
    GhostscriptBatch(const ConfigFiles& config, const GhostscriptLimits& limits, const std::string& workDir,
                     int parts = 1);

    void add(const GlyphRequest& request, std::FILE* log) override;
    int make(GlyphReport& report) override;

private:
    const ConfigFiles config;
    const GhostscriptLimits limits;
    const std::string workDir;
    const int parts;
    std::vector<GlyphRequest> requests;
};

}  // namespace morvex
