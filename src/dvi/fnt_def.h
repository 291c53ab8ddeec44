#pragma once
// The fnt_def1 record, read the same way in the postamble and in the pages.
#include <cstdio>
#include <string>

#include "base/font_def.h"

namespace morvex {

// TeX's own font names are plain file names: letters, digits, "-", "_",
// ".", "+", and "/" in an area. A name from a DVI file goes into the SVG
// prologue and into kpathsea, which expands $VAR and ~ in it, so nothing
// else is accepted.
bool fontNamePlain(const std::string& name);

// A page font's name as kpathsea may be asked for it: plain, and naming no
// file outside the font directories (no leading "/", no ".." component),
// since kpathsea reads any file of such a name and would run mktextfm on it.
bool fontNameSearchable(const std::string& name);

// Reads the record after its opcode and traces its label and numbers (the
// name is left to the caller's trace).
FontDef readFontDef(std::FILE* dvi, std::FILE* log);

}  // namespace morvex
