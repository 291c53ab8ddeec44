#pragma once
// Where the glyphs of the fonts come from: one interface for "the glyphs
// of these codes of this font", with Ghostscript (one run per font, or one
// run for them all) and the glyph cache, which wraps a source for what it
// does not hold, behind it.
#include <bitset>
#include <cstdio>
#include <string>
#include <string_view>

#include "fonts/font_files.h"
#include "fonts/generated_font.h"
#include "fonts/psmap.h"

namespace morvex {

// One font whose glyphs are wanted, its files found.
struct GlyphRequest {
    std::string name;  // the font's TeX name: the generated font's name and id
    MapEntry entry;
    FontFiles files;
    std::bitset<256> codes;
};

// What a source tells of its requests, in the order it is to be shown:
// the messages of the fonts' lookups are shown before what a source says
// of a font, so that fonts made side by side read as one after the other.
class GlyphReport {
public:
    // The lookup messages of the fonts up to that of request i are due.
    virtual void lookupsThrough(size_t request) = 0;
    // Every font's lookup messages are due.
    virtual void allLookups() = 0;
    virtual void say(std::string_view text) = 0;       // standard output
    virtual void sayError(std::string_view text) = 0;  // standard error
    virtual void trace(std::string_view text) = 0;     // the trace log
    // The glyphs of a request, or that it has none.
    virtual void made(size_t request, GeneratedFont font) = 0;
    virtual void failed(size_t request) = 0;
    // A file in the temporary directory could not be made or written (a
    // full or read-only file system): where, and why when it is known.
    virtual void cannotWrite(std::string_view where) = 0;

protected:
    ~GlyphReport() = default;
};

class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    // Adds a request, in font order; what the source traces of it (the
    // command that will make it, where the glyphs come from) goes to log
    // at once, after the font's lookup.
    virtual void add(const GlyphRequest& request, std::FILE* log) = 0;
    // Makes the glyphs of every request added and reports each, in the
    // order of the requests. Returns 0, or the signal that interrupted it
    // (the runs then ended, nothing more reported).
    virtual int make(GlyphReport& report) = 0;
};

}  // namespace morvex
