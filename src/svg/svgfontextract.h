#pragma once
// Extraction of one font's glyphs into a generated SVG font, by running
// Ghostscript on the PostScript program of the configuration directory.
#include <cstdio>
#include <string>
#include <vector>

namespace morvex {

// A font name that may serve as the generated SVG font's file name (and as
// its id): not empty, not "." or "..", no "/", printable ASCII only.
bool svgFontNameSafe(const std::string& name);

// The Ghostscript command for one font: the words handed to the program
// (no shell, no quotes) and the same command as one line with the values
// quoted, for the trace.
struct GsCommand {
    std::vector<std::string> argv;
    std::string line;
};

GsCommand ghostscriptCommand(const std::string& type1Path, const std::string& fntDvi, const std::string& symbols,
                         const std::string& encodingName, const std::string& encPath, const std::string& fontName,
                         const std::string& psPath);

// Finds the font's Type 1 file and runs Ghostscript in workDir, which
// receives the generated SVG font under the font's name. Failures are
// reported on out; a failed run leaves no generated font behind.
void svgfontextract(const std::string& name, const std::string& fntDvi, const std::string& fntPfb,
                    const std::string& symbols, const std::string& encodingName, const std::string& encPath,
                    const std::string& psPath, const std::string& workDir, std::FILE* log, std::FILE* out);

}  // namespace morvex
