#include "fonts/page_glyphs.h"

#include <array>
#include <bitset>
#include <map>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "base/file_handle.h"
#include "base/kpse_program.h"
#include "base/memory_stream.h"
#include "base/printable.h"
#include "fonts/psmap.h"
#include "fonts/encoding_file.h"
#include "fonts/generated_font.h"
#include "fonts/glyph_cache.h"
#include "process/run.h"
#include "fonts/font_files.h"

namespace morvex {

namespace {

// The private directory that receives the generated SVG fonts; it goes,
// with whatever it holds, when the fonts file is done or abandoned.
struct WorkDir {
    std::string path;
    bool create() {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec) base = "/tmp";
        std::string tmpl = (base / "morvex-XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) return false;
        path = tmpl;
        return true;
    }
    WorkDir() = default;
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    ~WorkDir() {
        if (path.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

// The configuration directory as Ghostscript, running elsewhere, must see it.
std::string absoluteConfigDir(const std::string& configDir) {
    if (!configDir.empty() && configDir[0] == '/') return configDir;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(configDir, ec);
    if (ec) return configDir;
    std::string s = p.lexically_normal().string();
    if (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// Said after a font missing from the map: morvex.map is made from the TeX
// installation's map when morvex is built or refreshed.
constexpr const char* kMapHint =
    "(A font installed after morvex is found once its map is refreshed: run morvex-update-map.)\n";

// A re-encoding names, for some codes, glyphs the font does not have; the
// generated font then draws the font's .notdef for them. The trace says
// which, from the glyphs (one per wanted code, in code order) it holds.
void traceMissingGlyphs(const std::string& generated, const std::string& encVectorPath,
                        const std::bitset<256>& codes, std::FILE* log) {
    std::optional<EncodingVector> names = readEncodingVector(encVectorPath);
    std::optional<std::string> generatedText = readWholeFile(generated);
    if (!names || !generatedText) return;
    const std::string& text = *generatedText;
    size_t at = 0;
    for (size_t code = 0; code < 256; ++code) {
        if (!codes[code]) continue;
        at = text.find("<glyph ", at);
        if (at == std::string::npos) return;
        size_t end = text.find('\n', at);
        const std::string glyph = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end;
        const std::string& wanted = (*names)[code];
        if (wanted != ".notdef" && glyph.find(" glyph-name=\".notdef\"") != std::string::npos)
            std::fprintf(log, "\nnotdef: code %d names /%s, which the font does not have\n", static_cast<int>(code),
                         printable(wanted).c_str());
    }
}

}  // namespace

namespace {

// A font the glyph cache does not hold.
struct CacheMiss {
    std::string name;
    MapEntry entry;
    FontFiles files;
    std::bitset<256> codes;
    GlyphKey key;
};

// Extracts every code of the fonts missing from the cache in one
// Ghostscript run, keeps each whole font in the cache and leaves in work
// the generated font of the codes the page uses, as a run without the
// cache would have made it. The messages of all fonts are shown first.
int extractForCache(const std::vector<CacheMiss>& misses, const ConfigFiles& config, const std::string& work,
                    GlyphCache& cache, const GsLimits& limits, std::FILE* log, std::FILE* out,
                    std::vector<std::unique_ptr<MemoryStream>>& said, size_t& shown) {
    WorkDir jobs;
    if (!jobs.create()) {
        std::fputs("\nCan not create a private directory for the generated SVG fonts.\n", out);
        return 0;
    }
    std::string all = "[";
    for (int c = 0; c < 256; ++c) all += " " + std::to_string(c);
    all += " ]";
    std::string list = "[\n";
    std::vector<std::string> reads, names;
    for (const CacheMiss& m : misses) {
        list += "<< /FONTFILE " + postScriptString(m.files.type1Path) + " /THEFONT /" + m.entry.fntDvi +
                " /SYMBOLS " + all + " /FONTOUT " + postScriptString(m.name);
        reads.push_back(m.files.type1Path);
        if (!m.files.encVectorPath.empty()) {
            list += " /ENCVECFILE " + postScriptString(m.files.encVectorPath);
            reads.push_back(m.files.encVectorPath);
        }
        if (!m.entry.slant.empty()) list += " /SLANT " + m.entry.slant;
        if (!m.entry.extend.empty()) list += " /EXTEND " + m.entry.extend;
        list += " >>\n";
        names.push_back(m.name);
    }
    list += "]\n";
    const std::string jobsPath = jobs.path + "/jobs.ps";
    if (!writeWholeFile(jobsPath, list)) {
        std::fputs("\nCan not write the list of fonts for Ghostscript.\n", out);
        return 0;
    }
    GsRun run{batchCommand(jobsPath, reads, names, config), work};
    std::fprintf(log, "\n%s", run.command.line.c_str());
    for (; shown < said.size(); ++shown) std::fputs(said[shown]->text().c_str(), out);
    return runGhostscript({run}, limits, [&](size_t, const GsOutcome& outcome) {
        std::fwrite(outcome.out.data(), 1, outcome.out.size(), out);
        std::fflush(out);
        std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
        for (const CacheMiss& m : misses) {
            const std::string generated = work + "/" + m.name;
            std::optional<std::string> whole = readWholeFile(generated);
            std::optional<std::string> part = whole ? fontForCodes(*whole, m.codes) : std::nullopt;
            if (part && writeWholeFile(generated, *part)) {
                cache.store(m.key, *whole);
                if (!m.files.encVectorPath.empty())
                    traceMissingGlyphs(generated, m.files.encVectorPath, m.codes, log);
                continue;
            }
            std::fprintf(out, "\nGhostscript failed on font %s (%s).\n", m.name.c_str(),
                         outcome.succeeded() ? "no glyphs written" : outcome.failure(limits.timeLimit).c_str());
            std::remove(generated.c_str());
        }
    });
}

// The glyphs of the fonts into generated SVG fonts in work, which it
// creates: the map lookups and their trace in font order, the Ghostscript
// runs side by side, what they print in font order. Returns 0, 2, 3, 5 or
// kSvgFontInterrupted.
int extractGlyphs(const FontBuildSettings& settings, const std::vector<FontUse>& fonts, WorkDir& work,
                  std::FILE* log, std::FILE* out) {
    setKpseProgramName();
    std::fputs("SVG Fonts:", out);
    const std::string absConfig = absoluteConfigDir(settings.configDir);
    ConfigFiles config;
    config.psPath = absConfig + "/" + "tarnevik.ps";
    config.encPath = absConfig + "/" + "tarnevik.enc";
    config.encodingName = settings.encodingName;
    const std::string mapPath = settings.configDir + "/" + "morvex.map";

    FileHandle map = openFile(mapPath.c_str(), "rb");
    if (!map) {
        std::fprintf(out, "Can not open MAP file %s.\n", mapPath.c_str());
        return 2;
    }
    if (!work.create()) {
        std::fputs("\nCan not create a private directory for the generated SVG fonts.\n", out);
        return 5;
    }

    // Fonts of the same name (one font at several sizes) share one SVG
    // font: the first of them gets the glyphs of all their used codes.
    std::vector<size_t> firstOfName(fonts.size());
    for (size_t i = 0; i < fonts.size(); ++i) {
        firstOfName[i] = i;
        for (size_t j = 0; j < i; ++j)
            if (fonts[j].name == fonts[i].name) {
                firstOfName[i] = j;
                break;
            }
    }

    // Every font is looked up and traced first, in font order; what each
    // prints waits in its own buffer, so that the Ghostscript runs, side by
    // side, show on standard output exactly as one after the other would.
    std::vector<std::unique_ptr<MemoryStream>> said;
    std::vector<FontExtraction> extractions;
    std::vector<size_t> fontOfRun;
    std::vector<std::bitset<256>> codesOfRun;
    bool missing = false;
    std::string missingName;
    std::optional<GlyphCache> cache;
    std::string program;
    if (settings.cache) {
        cache.emplace(settings.cacheDir, out);
        program = programStamp(config.psPath, config.encPath);
    }
    std::vector<CacheMiss> misses;
    size_t shownBefore = 0;
    for (size_t i = 0; i < fonts.size() && !missing; ++i) {
        const FontUse& font = fonts[i];
        said.push_back(std::make_unique<MemoryStream>());
        std::FILE* msg = said.back()->get();
        std::fputc('*', msg);
        std::fprintf(log, "\nFnt:%d\nSymbols:", font.number);
        if (firstOfName[i] != i) {
            for (int c = 0; c < 256; ++c)
                if (font.codes[static_cast<size_t>(c)]) std::fprintf(log, "%d ", c);
            std::fprintf(log, "\nsame font as Fnt:%d\n", fonts[firstOfName[i]].number);
            continue;
        }
        std::bitset<256> used;
        for (size_t j = i; j < fonts.size(); ++j)
            if (firstOfName[j] == i) used |= fonts[j].codes;
        std::string symbols;
        for (int c = 0; c < 256; ++c) {
            if (!used[static_cast<size_t>(c)]) continue;
            std::fprintf(log, "%d ", c);
            symbols += std::to_string(c) + " ";
        }
        std::optional<MapEntry> entry = psmap(map.get(), font.name, log);
        if (!entry) {
            missing = true;
            missingName = font.name;
            break;
        }
        if (cache) {
            std::optional<FontFiles> files = findFontFiles(font.name, *entry, log, msg);
            if (!files) continue;
            GlyphKey key = glyphKey(font.name, entry->fntDvi, files->type1Path, files->encVectorPath, entry->slant,
                                    entry->extend, program);
            std::optional<std::string> whole = cache->find(key);
            std::optional<std::string> part = whole ? fontForCodes(*whole, used) : std::nullopt;
            if (part && writeWholeFile(work.path + "/" + font.name, *part)) {
                std::fprintf(log, "cache: glyphs of %s from %s\n", font.name.c_str(), key.file.c_str());
                continue;
            }
            if (cache->usable())
                std::fprintf(log, "cache: glyphs of %s from Ghostscript, kept as %s\n", font.name.c_str(),
                             key.file.c_str());
            else
                std::fprintf(log, "cache: glyphs of %s from Ghostscript\n", font.name.c_str());
            misses.push_back({font.name, *entry, *files, used, key});
            continue;
        }
        std::optional<FontExtraction> x = svgfontextract(font.name, *entry, symbols, config, work.path, log, msg);
        if (x) {
            extractions.push_back(std::move(*x));
            fontOfRun.push_back(i);
            codesOfRun.push_back(used);
        }
    }
    if (!misses.empty()) {
        // The fonts missing from the cache, every code of each, in one run.
        int sig = extractForCache(misses, config, work.path, *cache, settings.limits, log, out, said, shownBefore);
        if (sig != 0) return kSvgFontInterrupted;
    }

    std::vector<GsRun> runs;
    for (const auto& x : extractions) runs.push_back(x.run);
    size_t shown = shownBefore;  // fonts whose messages are out
    const auto showUpTo = [&](size_t end) {
        for (; shown < end && shown < said.size(); ++shown) std::fputs(said[shown]->text().c_str(), out);
    };
    int sig = runGhostscript(runs, settings.limits, [&](size_t r, const GsOutcome& outcome) {
        showUpTo(fontOfRun[r] + 1);
        std::fwrite(outcome.out.data(), 1, outcome.out.size(), out);
        std::fflush(out);
        std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
        const FontExtraction& x = extractions[r];
        if (!outcome.succeeded()) {
            if (outcome.spawnError != 0)
                std::fprintf(out, "\nCan not run Ghostscript for font %s: %s.\n", x.name.c_str(),
                             outcome.failure(settings.limits.timeLimit).c_str());
            else
                std::fprintf(out, "\nGhostscript failed on font %s (%s).\n", x.name.c_str(),
                             outcome.failure(settings.limits.timeLimit).c_str());
            // Whatever it left is not a font.
            std::remove((work.path + "/" + x.name).c_str());
        } else if (!x.files.encVectorPath.empty()) {
            traceMissingGlyphs(work.path + "/" + x.name, x.files.encVectorPath, codesOfRun[r], log);
        }
    });
    if (sig != 0) return kSvgFontInterrupted;
    showUpTo(said.size());
    if (missing) {
        std::fprintf(out, "Mappings for %s not founded.\n", printable(missingName).c_str());
        std::fputs(kMapHint, out);
        return 3;
    }
    return 0;
}

}  // namespace

int svgfontbuild(const FontBuildSettings& settings, const std::vector<FontUse>& fonts, std::FILE* log,
                 std::FILE* out) {
    WorkDir work;
    int r = extractGlyphs(settings, fonts, work, log, out);
    if (r != 0) return r;
    return svgfontwrite(settings.fontsPath, fonts, work.path, out);
}

int svgfontoutlines(const FontBuildSettings& settings, const std::vector<FontUse>& fonts, std::FILE* log,
                    std::FILE* out, std::map<std::string, FontOutlines>& outlines) {
    WorkDir work;
    int r = extractGlyphs(settings, fonts, work, log, out);
    if (r != 0) return r;
    // Fonts of one name share one generated font with all their codes.
    std::map<std::string, std::bitset<256>> codes;
    for (const FontUse& font : fonts) codes[font.name] |= font.codes;
    for (const FontUse& font : fonts) {
        if (outlines.count(font.name) != 0) continue;
        const std::string generated = work.path + "/" + font.name;
        std::optional<std::string> text =
            svgFontNameSafe(font.name) ? readWholeFile(generated) : std::nullopt;
        if (!text) {
            std::fprintf(out, "\nCan not open generated SVG font %s.\n", printable(font.name).c_str());
            return 5;
        }
        outlines[font.name] = parseGeneratedFont(*text, codes[font.name]);
    }
    std::fputc('\n', out);
    return 0;
}

int svgfontwrite(const std::string& fontsPath, const std::vector<FontUse>& fonts, const std::string& workDir,
                 std::FILE* out) {
    std::fprintf(out, "\nOpening file: %s (w).\n", fontsPath.c_str());
    FileHandle f = openFile(fontsPath.c_str(), "wb");
    if (!f) {
        std::fprintf(out, "\nCan not open %s as SVG font output file.\n", fontsPath.c_str());
        return 4;
    }
    std::fputs("SVG Fonts:", out);
    std::fprintf(f.get(), "<?xml %s %s standalone=\"yes\" ?>", "version=\"1.0\"", "encoding=\"utf-8\"");
    std::fputs("\n<svg width=\"100%\" height=\"100%\" version=\"1.1\"\n     xmlns=\"http://www.w3.org/2000/svg\">",
               f.get());
    std::fputs("\n<defs>\n", f.get());

    std::set<std::string> copied;
    for (const FontUse& font : fonts) {
        std::fputc('*', out);
        if (!copied.insert(font.name).second) continue;  // one SVG font per name
        std::string generated = workDir + "/" + font.name;
        FileHandle g = svgFontNameSafe(font.name) ? openFile(generated.c_str(), "rb") : nullptr;
        if (!g) {
            std::fprintf(out, "\nCan not open generated SVG font %s.\n", printable(font.name).c_str());
            return 5;
        }
        std::array<char, 65536> buf;
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), g.get())) > 0) std::fwrite(buf.data(), 1, n, f.get());
        g.reset();
        if (std::remove(generated.c_str()) != 0)
            std::fprintf(out, "\nCan not remove generated SVG font %s.\n", font.name.c_str());
    }
    std::fputs("</defs>", f.get());
    std::fputs("\n</svg>\n", f.get());
    // Closed here, not by the handle, so a failed final write is seen.
    bool written = !std::ferror(f.get());
    if (std::fclose(f.release()) != 0) written = false;
    if (!written) {
        // A full disk must not pass for a complete fonts file.
        std::fprintf(out, "\nCan not write %s.\n", fontsPath.c_str());
        return 4;
    }
    std::fputc('\n', out);
    return 0;
}

}  // namespace morvex
