#pragma once
// The Ghostscript run that extracts one font's glyphs into a generated SVG
// font: the font's files found, the command built and traced.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "process/run.h"
#include "fonts/psmap.h"

namespace morvex {

// A font name that may serve as the generated SVG font's file name (and as
// its id): not empty, not "." or "..", no "/", printable ASCII only.
bool svgFontNameSafe(const std::string& name);

// The files of the configuration directory that every run reads.
struct ConfigFiles {
    std::string psPath;   // tarnevik.ps, absolute: Ghostscript runs elsewhere
    std::string encPath;  // tarnevik.enc, absolute
    std::string encodingName;
};

// The Type 1 file, and for a font the map re-encodes, its encoding file.
struct FontFiles {
    std::string type1Path;
    std::string encVectorPath;  // empty unless the map line names one
};

// The command for one font. A font the map re-encodes, slants or extends
// gets the parameters for it after the others; any other font's command is
// the same whatever the map.
GsCommand ghostscriptCommand(const FontFiles& files, const MapEntry& entry, const std::string& symbols,
                             const std::string& fontName, const ConfigFiles& config);

// Finds the font's Type 1 file and, for a font the map re-encodes, its
// encoding file, through kpathsea, and traces them. A font whose name
// cannot be a file name, or whose files are not found, is reported on out
// and gets none.
std::optional<FontFiles> findFontFiles(const std::string& name, const MapEntry& entry, std::FILE* log,
                                       std::FILE* out);

// One font's extraction, ready to run in workDir.
struct FontExtraction {
    std::string name;  // the font's name, the generated font's file name
    FontFiles files;
    GsRun run;
};

// The extraction of one font's used codes: its files found, its command
// built, both traced. None when the font cannot be extracted.
std::optional<FontExtraction> svgfontextract(const std::string& name, const MapEntry& entry,
                                             const std::string& symbols, const ConfigFiles& config,
                                             const std::string& workDir, std::FILE* log, std::FILE* out);

// The command that extracts every code of several fonts in one run: the
// job file lists them, each writing the font of its name in workDir.
GsCommand batchCommand(const std::string& jobsPath, const std::vector<std::string>& readPaths,
                       const std::vector<std::string>& fontNames, const ConfigFiles& config);

// A PostScript string of any bytes, in hexadecimal.
std::string postScriptString(const std::string& bytes);

}  // namespace morvex
