#pragma once
// The files of a font, found through kpathsea: its Type 1 file and, for a
// font the map re-encodes, the encoding file; and the files of the
// configuration directory that make the glyphs.
#include <cstdio>
#include <optional>
#include <string>

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

// Finds the font's Type 1 file and, for a font the map re-encodes, its
// encoding file, through kpathsea, and traces them. A font whose name
// cannot be a file name, or whose files are not found, is reported on out
// and gets none.
std::optional<FontFiles> findFontFiles(const std::string& name, const MapEntry& entry, std::FILE* log,
                                       std::FILE* out);

}  // namespace morvex
