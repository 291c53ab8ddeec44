#pragma once
// Glyphs made by Ghostscript running config/tarnevik.ps, in a private
// directory: one run per font, side by side, or one run for every font.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "fonts/font_files.h"
#include "fonts/ghostscript_inputs.h"
#include "fonts/glyph_source.h"
#include "process/run.h"

namespace morvex {

struct GhostscriptLimits {
    int parallel = 1;          // runs at once
    int timeLimit = 60;        // seconds per run
    uint64_t memoryLimit = 0;  // bytes of address space per run
};

// One Ghostscript run per font, for exactly the codes wanted.
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
    GhostscriptInputs inputs;
    std::vector<GlyphRequest> requests;
    // Per request: why Ghostscript can not be given its files, when it can not.
    std::vector<std::optional<std::string>> refusals;
    std::vector<RunSpec> runs;
    std::vector<size_t> requestOfRun;
};

// One Ghostscript run for every font, from a job list: the fonts met for
// the first time in a cached run, every code of each; or the fonts of all
// the pages of a --paths run, split into parts that run side by side (a
// start of Ghostscript costs more than the glyphs of a font). When a run
// of several fonts fails as a whole (a font that loops or eats its memory
// ends it), the fonts it did not write are made again one run each, so
// that only a bad font fails.
class GhostscriptBatch final : public GlyphSource {
public:
    GhostscriptBatch(const ConfigFiles& config, const GhostscriptLimits& limits, const std::string& workDir,
                     int parts = 1);

    void add(const GlyphRequest& request, std::FILE* log) override;
    int make(GlyphReport& report) override;

private:
    struct Part;
    bool prepareParts(const std::vector<GlyphRequest>& jobs, const ConfigFiles& given, std::vector<Part>& parts,
                      GlyphReport& report);
    int makeAlone(const std::vector<size_t>& which, GlyphReport& report);

    const ConfigFiles config;
    const GhostscriptLimits limits;
    const std::string workDir;
    const int partCount;
    GhostscriptInputs inputs;
    std::vector<GlyphRequest> requests;
};

}  // namespace morvex
