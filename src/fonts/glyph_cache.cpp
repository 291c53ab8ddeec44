#include "fonts/glyph_cache.h"

#include <sys/stat.h>

#include <cstdlib>

#include "base/file_handle.h"
#include "base/fnv.h"
#include "base/printable.h"

namespace morvex {

namespace {

constexpr const char* kMagic = "morvex glyph cache 1\n";
// An entry is a whole font of 256 glyphs: a few hundred kilobytes at most.
constexpr size_t kMaxEntry = 16u << 20;

std::string hex64(uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

// Path, size and time of change of a file; "-" for none.
std::string fileStamp(const std::string& path) {
    if (path.empty()) return "-";
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return printable(path) + " missing";
    return printable(path) + " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

// The contents of a file by their checksum; files of the configuration
// directory are small.
std::string contentStamp(const std::string& path) {
    std::optional<std::string> text = readWholeFile(path, kMaxEntry);
    return text ? hex64(fnv1a64(*text)) + "/" + std::to_string(text->size()) : "unreadable";
}

}  // namespace

GlyphCache::GlyphCache(const std::optional<std::string>& asked, std::FILE* out) : out(out) {
    if (asked) {
        dir = *asked;
    } else if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/') {
        dir = std::string(xdg) + "/morvex";
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        dir = std::string(home) + "/.cache/morvex";
    } else {
        giveUp("neither --cache=DIR nor an absolute XDG_CACHE_HOME or HOME names a directory for it");
        return;
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    std::string why;
    entries = CacheDirectory::open(dir, why);
    if (!entries) giveUp(why);
}

void GlyphCache::giveUp(const std::string& why) {
    entries.reset();
    if (reported) return;
    reported = true;
    std::fprintf(out, "\nThe glyph cache %s is not used (%s); the run goes on without it.\n",
                 printable(dir).c_str(), why.c_str());
}

std::optional<std::string> GlyphCache::find(const GlyphKey& key) const {
    if (!entries) return std::nullopt;
    std::optional<std::string> entry = entries->read(key.file, kMaxEntry);
    if (!entry) return std::nullopt;
    const std::string head = std::string(kMagic) + key.text + "\n";
    if (entry->compare(0, head.size(), head) != 0) return std::nullopt;
    size_t lineEnd = entry->find('\n', head.size());
    if (lineEnd == std::string::npos) return std::nullopt;
    const std::string sizeLine = entry->substr(head.size(), lineEnd - head.size());
    std::string body = entry->substr(lineEnd + 1);
    if (sizeLine != std::to_string(body.size()) + " " + hex64(fnv1a64(body))) return std::nullopt;
    return body;
}

void GlyphCache::store(const GlyphKey& key, const std::string& font) {
    if (!entries) return;
    const std::string entry =
        std::string(kMagic) + key.text + "\n" + std::to_string(font.size()) + " " + hex64(fnv1a64(font)) + "\n" + font;
    std::string why;
    if (!entries->write(key.file, entry, why)) giveUp("can not write into it: " + why);
}

std::string programStamp(const std::string& psPath, const std::string& encPath) {
    return "program " + contentStamp(psPath) + "\ttexts " + contentStamp(encPath);
}

GlyphKey glyphKey(const std::string& name, const std::string& fntDvi, const std::string& type1Path,
                  const std::string& encVectorPath, const std::string& slant, const std::string& extend,
                  const std::string& program) {
    GlyphKey key;
    key.text = "font " + printable(name) + "\tas " + printable(fntDvi) + "\ttype1 " + fileStamp(type1Path) +
               "\tencoding " + fileStamp(encVectorPath) + "\tslant " + (slant.empty() ? "-" : printable(slant)) +
               "\textend " + (extend.empty() ? "-" : printable(extend)) + "\t" + program;
    key.file = hex64(fnv1a64(key.text)) + ".glyphs";
    return key;
}

}  // namespace morvex
