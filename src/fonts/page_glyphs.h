#pragma once
// The glyphs of the fonts a page uses: each font looked up in the map, its
// files found, its glyphs made by the source the settings choose, and the
// messages shown in font order.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/font_def.h"
#include "base/result.h"
#include "fonts/generated_font.h"

namespace morvex {

// The address space of one Ghostscript run, in MiB, unless the user says.
constexpr int kDefaultGsMemoryLimit = 1024;

struct GlyphSettings {
    std::string configDir;
    std::string encodingName = "TeXUTF8Encoding";
    int parallel = 1;    // Ghostscript runs at once
    int timeLimit = 60;  // seconds per run
    int memoryLimit = kDefaultGsMemoryLimit;  // MiB of address space per run
    // All the fonts in as many Ghostscript runs as run at once, rather than
    // one run per font.
    bool batch = false;
    // The glyph cache: off, or on with its directory (none: the default).
    bool cache = false;
    std::optional<std::string> cacheDir;
};

// The codes of pageGlyphs' result.
enum GlyphsResult : int {
    kGlyphsOk = 0,
    kGlyphsInterrupted = 1,  // a signal ended the Ghostscript runs; interruptSignal() tells which
    kGlyphsNoMap = 2,        // the map cannot be opened
    kGlyphsNotInMap = 3,     // a font has no line in the map
    kGlyphsNoFontsFile = 4,  // the fonts file cannot be opened or written
    kGlyphsMissing = 5,      // a font's glyphs could not be made
    kGlyphsNoTemporarySpace = 6,  // the private directory for the glyphs cannot be made or written
};

// The glyphs, by font name, of the fonts (ascending by number) that the
// selected page defines, each for every code the fonts of its name use.
// A font whose glyphs could not be made is reported and left out.
Result pageGlyphs(const GlyphSettings& settings, const std::vector<FontUse>& fonts,
                  std::map<std::string, GeneratedFont>& glyphs, std::FILE* log, std::FILE* out);

// The first font (in font order) that glyphs lacks, with its message;
// kGlyphsOk when none.
Result missingGlyphs(const std::vector<FontUse>& fonts, const std::map<std::string, GeneratedFont>& glyphs);

}  // namespace morvex
