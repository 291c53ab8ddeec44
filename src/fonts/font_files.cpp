#include "fonts/font_files.h"

#include <cstdlib>

#include "base/printable.h"
#include "fonts/work_dir.h"

// Last: its macros (isblank and others) clash with the C++ headers.
#include <kpathsea/kpathsea.h>

namespace morvex {

namespace {

// A file name from the font map as kpathsea may be asked for it: kpathsea
// expands $VAR and ~, so only the characters of plain file names pass.
bool plainFileName(const std::string& name) {
    if (name.empty() || name[0] == '.') return false;
    for (unsigned char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '_' || c == '.' || c == '+';
        if (!ok) return false;
    }
    return true;
}

std::optional<std::string> findFile(const std::string& name, kpse_file_format_type format) {
    char* found = kpse_find_file(name.c_str(), format, 1);
    if (found == nullptr) return std::nullopt;
    std::string path = absolutePath(found);
    std::free(found);
    return path;
}

}  // namespace

bool svgFontNameSafe(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c == '/' || c < 0x20 || c > 0x7E) return false;
    return true;
}

std::optional<FontFiles> findFontFiles(const std::string& name, const MapEntry& entry, std::FILE* log,
                                       std::FILE* out) {
    // The name becomes a file name in the private directory and
    // Ghostscript's output name: anything that could leave that directory
    // is refused.
    if (!svgFontNameSafe(name)) {
        std::fprintf(out, "\nFont name '%s' is not usable as a file name; its glyphs are not extracted.\n",
                     printable(name).c_str());
        return std::nullopt;
    }
    std::optional<std::string> type1 =
        entry.fntPfb.empty() ? std::nullopt : findFile(entry.fntPfb, kpse_type1_format);
    if (!type1) {
        std::fputs("\nCan not find PFB font.\n", out);
        return std::nullopt;
    }
    FontFiles files;
    files.type1Path = *type1;
    if (!entry.encFile.empty()) {
        std::optional<std::string> enc =
            plainFileName(entry.encFile) ? findFile(entry.encFile, kpse_enc_format) : std::nullopt;
        if (!enc) {
            std::fprintf(out, "\nCan not find encoding file %s.\n", printable(entry.encFile).c_str());
            return std::nullopt;
        }
        files.encVectorPath = *enc;
    }
    std::fprintf(log, "== %s %s\n", entry.fntPfb.c_str(), files.type1Path.c_str());
    if (!files.encVectorPath.empty())
        std::fprintf(log, "== %s %s\n", entry.encFile.c_str(), files.encVectorPath.c_str());
    return files;
}

}  // namespace morvex
