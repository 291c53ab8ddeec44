#pragma once
// Generation of the SVG fonts file: the used codes of each font, its line in
// the font map, the glyphs extracted by Ghostscript, and the assembled file.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/font_def.h"
#include "fonts/generated_font.h"
#include "process/run.h"

namespace morvex {

struct FontBuildSettings {
    std::string configDir;
    std::string fontsPath;
    std::string encodingName = "TeXUTF8Encoding";
    GsLimits limits;
    // The glyph cache: off, or on with its directory (none: the default).
    bool cache = false;
    std::optional<std::string> cacheDir;
};

// svgfontbuild's result when a signal ended the Ghostscript runs; the
// signal is interruptSignal()'s.
constexpr int kSvgFontInterrupted = 1;

// Writes the SVG fonts file for the fonts (ascending by number) that the
// selected page defines. Returns 0 when written, 2 when the map cannot be
// opened, 3 when a font has no line in the map, 4 when the fonts file cannot
// be opened or written, 5 when a generated SVG font is missing, and
// kSvgFontInterrupted.
int svgfontbuild(const FontBuildSettings& settings, const std::vector<FontUse>& fonts, std::FILE* log,
                 std::FILE* out);

// The glyphs of the fonts for a document that draws them itself: extracted
// as for svgfontbuild, read into outlines by font name instead of a fonts
// file. Returns 0, 2, 3, 5 or kSvgFontInterrupted.
int svgfontoutlines(const FontBuildSettings& settings, const std::vector<FontUse>& fonts, std::FILE* log,
                    std::FILE* out, std::map<std::string, FontOutlines>& outlines);

// Assembles the fonts file from the generated SVG fonts in workDir, one per
// distinct font name, in ascending font number. Returns 0, 4 or 5.
int svgfontwrite(const std::string& fontsPath, const std::vector<FontUse>& fonts, const std::string& workDir,
                 std::FILE* out);

}  // namespace morvex
