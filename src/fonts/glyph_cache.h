#pragma once
// The glyph cache of --cache: the glyphs of every code of a font, as
// Ghostscript made them, kept between runs so that a font met again runs no
// Ghostscript at all. One file per font and settings, written under a
// temporary name and renamed into place, so that runs side by side see an
// entry whole or not at all; an entry is checked in full before use, and
// its glyphs are read into records (parseGeneratedFont) before anything of
// it is written anywhere.
#include <cstdio>
#include <optional>
#include <string>

#include "fonts/cache_directory.h"

namespace morvex {

// What the glyphs of a font depend on; two equal keys give equal glyphs.
struct GlyphKey {
    std::string text;  // one line, compared in full
    std::string file;  // the entry's file name in the cache directory
};

class GlyphCache {
public:
    // The directory: dir when given, else $XDG_CACHE_HOME/morvex, else
    // $HOME/.cache/morvex. It is made private to the user when missing; one
    // that CacheDirectory refuses is reported and not used.
    GlyphCache(const std::optional<std::string>& dir, std::FILE* out);

    bool usable() const { return entries.has_value(); }
    const std::string& directory() const { return dir; }

    // The whole generated font (all 256 codes) of key, checked; none when
    // there is no entry or it is damaged, cut short or another key's.
    std::optional<std::string> find(const GlyphKey& key) const;

    // Keeps the whole generated font of key. A cache that cannot be written
    // is reported once and not used again in the run.
    void store(const GlyphKey& key, const std::string& font);

private:
    void giveUp(const std::string& why);

    std::string dir;
    std::FILE* out;
    std::optional<CacheDirectory> entries;
    bool reported = false;
};

// The glyph program and the document encoding by their contents: the part
// of every key that is the same for all fonts of a run.
std::string programStamp(const std::string& psPath, const std::string& encPath);

// The key of one font: its name in the document, its Type 1 file, the map
// line's encoding file, slant and extend (files by path, size and time of
// change), and the program's stamp.
GlyphKey glyphKey(const std::string& name, const std::string& fntDvi, const std::string& type1Path,
                  const std::string& encVectorPath, const std::string& slant, const std::string& extend,
                  const std::string& program);

}  // namespace morvex
