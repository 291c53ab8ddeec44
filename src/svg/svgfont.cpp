#include "svg/svgfont.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "dvi/file_handle.h"
#include "svg/psmap.h"
#include "svg/svgfontextract.h"
#include "tfm/kpse_program.h"

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
std::string absoluteconfigdir(const std::string& configDir) {
    if (!configDir.empty() && configDir[0] == '/') return configDir;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(configDir, ec);
    if (ec) return configDir;
    std::string s = p.lexically_normal().string();
    if (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool hasused(const std::unique_ptr<FontEntry>& e) { return e != nullptr && e->used != nullptr; }

}  // namespace

int svgfontbuild(SvgFontState& st, const std::string& configDir, const std::string& fontsPath,
                 const std::string& encodingName, const FontTable& fonts, std::FILE* log, std::FILE* out) {
    kpseprogramname();
    std::fputs("SVG Fonts:", out);
    const std::string absConfig = absoluteconfigdir(configDir);
    st.psPath = absConfig + "/" + "tarnevik.ps";
    st.encPath = absConfig + "/" + "tarnevik.enc";
    st.mapPath = configDir + "/" + "morvex.map";

    FileHandle map = openFile(st.mapPath.c_str(), "rb");
    if (!map) {
        std::fprintf(out, "Can not open MAP file %s.\n", st.mapPath.c_str());
        return 2;
    }
    WorkDir work;
    if (!work.create()) {
        std::fputs("\nCan not create a private directory for the generated SVG fonts.\n", out);
        return 5;
    }
    st.workDir = work.path;

    // Fonts of the same name (one font at several sizes) share one SVG
    // font: the first of them gets the glyphs of all their used codes.
    std::array<int, 256> firstOfName{};
    for (int k = 0; k < 256; ++k) {
        firstOfName[k] = k;
        if (!hasused(fonts.slots[k])) continue;
        for (int j = 0; j < k; ++j)
            if (hasused(fonts.slots[j]) && fonts.slots[j]->name == fonts.slots[k]->name) {
                firstOfName[k] = j;
                break;
            }
    }

    for (int k = 0; k < 256; ++k) {
        const auto& entry = fonts.slots[k];
        if (!hasused(entry)) continue;
        std::fputc('*', out);
        std::fprintf(log, "\nFnt:%d\nSymbols:", k);
        if (firstOfName[k] != k) {
            for (int c = 0; c < 256; ++c)
                if ((*entry->used)[c] == 1) std::fprintf(log, "%d ", c);
            std::fprintf(log, "\nsame font as Fnt:%d\n", firstOfName[k]);
            continue;
        }
        std::array<bool, 256> used{};
        for (int j = k; j < 256; ++j) {
            if (firstOfName[j] != k || !hasused(fonts.slots[j])) continue;
            for (int c = 0; c < 256; ++c) used[c] = used[c] || (*fonts.slots[j]->used)[c] == 1;
        }
        st.symbols.clear();
        for (int c = 0; c < 256; ++c) {
            if (!used[c]) continue;
            std::fprintf(log, "%d ", c);
            st.symbols += std::to_string(c) + " ";
        }
        if (!psmap(st, map.get(), entry->name, log)) {
            std::fprintf(out, "Mappings for %s not founded.\n", svgfontprintable(entry->name).c_str());
            st.workDir.clear();
            return 3;
        }
        svgfontextract(entry->name, st.fnt_dvi, st.fnt_pfb, st.symbols, encodingName, st.encPath, st.psPath,
                       st.workDir, log, out);
    }
    int result = svgfontwrite(fontsPath, fonts, st.workDir, out);
    st.workDir.clear();
    return result;
}

int svgfontwrite(const std::string& fontsPath, const FontTable& fonts, const std::string& workDir,
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
    for (int k = 0; k < 256; ++k) {
        const auto& entry = fonts.slots[k];
        if (!hasused(entry)) continue;
        std::fputc('*', out);
        if (!copied.insert(entry->name).second) continue;  // one SVG font per name
        std::string generated = workDir + "/" + entry->name;
        FileHandle g = svgfontnamesafe(entry->name) ? openFile(generated.c_str(), "rb") : nullptr;
        if (!g) {
            std::fprintf(out, "\nCan not open generated SVG font %s.\n", svgfontprintable(entry->name).c_str());
            return 5;
        }
        std::array<char, 65536> buf;
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), g.get())) > 0) std::fwrite(buf.data(), 1, n, f.get());
        g.reset();
        if (std::remove(generated.c_str()) != 0)
            std::fprintf(out, "\nCan not remove generated SVG font %s.\n", entry->name.c_str());
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
