#pragma once
// The Ghostscript commands that make glyphs: one font's, and a batch's
// with its job list.
#include <string>
#include <vector>

#include "fonts/font_files.h"
#include "fonts/glyph_source.h"
#include "fonts/psmap.h"

namespace morvex {

// A command: the words handed to the program, and the same command as one
// line with the values quoted, for the trace.
struct GsCommand {
    std::vector<std::string> argv;
    std::string line;
};

// The command for one font's codes (symbols: "65 66 "). A font the map
// re-encodes, slants or extends gets the parameters for it after the
// others; any other font's command is the same whatever the map.
GsCommand ghostscriptCommand(const FontFiles& files, const MapEntry& entry, const std::string& symbols,
                             const std::string& fontName, const ConfigFiles& config);

// The command that makes several fonts in one run: the job file lists
// them, each writing the font of its name in the run's directory.
GsCommand batchCommand(const std::string& jobsPath, const std::vector<std::string>& readPaths,
                       const std::vector<std::string>& fontNames, const ConfigFiles& config);

// The job file of a batch: one dictionary of parameters per request.
std::string jobList(const std::vector<GlyphRequest>& requests);

// A PostScript string of any bytes, in hexadecimal.
std::string postScriptString(const std::string& bytes);

}  // namespace morvex
