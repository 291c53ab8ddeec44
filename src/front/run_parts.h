#pragma once
// What the two run sequences, the default document's and --paths', share.
#include <cstdio>
#include <string>
#include <vector>

#include "base/file_handle.h"
#include "base/result.h"
#include "fonts/page_glyphs.h"
#include "front/front.h"

namespace morvex {

// The steps of a run whose results end it.
enum class Step { Frame, Pages, Glyphs };

// The one place where a step's result becomes the exit code: the frame's
// and the pages' codes are the program's own, the glyphs' follow 60.
int exitCode(Step step, const Result& result);

// The settings of the glyph extraction.
GlyphSettings glyphSettings(const Settings& settings);

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
