#pragma once
// What the two run sequences, the default document's and --paths', share.
#include <cstdio>
#include <string>
#include <vector>

#include "base/file_handle.h"
#include "front/front.h"
#include "svg/svgfont.h"

namespace morvex {

// The message of a code of dvibase, as the front end prints it.
const char* dvibaseMessage(int code);

// The settings of the glyph extraction.
FontBuildSettings fontBuildSettings(const Settings& settings);

// The --paths run: the DVI frame, a pass that gathers the pages' glyphs
// and boxes, one extraction of all glyphs, and a pass that writes the pages
// into svg (all of them) or into a document each (svg none). Returns the
// exit code.
int runPaths(FileHandle svg, FileHandle dvi, FileHandle log, const Settings& settings, std::FILE* out);

// The names of the documents of a --paths run with one document per page,
// from the pages the DVI file holds (read quietly; the stream is left at
// its start). None when its frame cannot be read: the run then stops
// before any page is written.
std::vector<std::string> pageDocumentNames(const Settings& settings, std::FILE* dvi);

}  // namespace morvex
