#include "fonts/font_files.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/printable.h"

// Last: its macros (isblank and others) clash with the C++ headers.
#include <kpathsea/kpathsea.h>

namespace morvex {

namespace {

// Makes a path absolute against the current directory, since Ghostscript
// runs in another one.
std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) return path;
    return p.lexically_normal().string();
}

}  // namespace

bool svgFontNameSafe(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c == '/' || c < 0x20 || c > 0x7E) return false;
    return true;
}

GsCommand ghostscriptCommand(const FontFiles& files, const MapEntry& entry, const std::string& symbols,
                             const std::string& fontName, const ConfigFiles& config) {
    // Ghostscript reads the font and the encodings and writes the generated
    // font only by these permissions; SAFER is asked for explicitly, since
    // a font file is a program.
    struct Word {
        const char* option;
        std::string value;
        bool quoted;
    };
    std::vector<Word> words = {
        {"gs", "", false},
        {"-q", "", false},
        {"-dNODISPLAY", "", false},
        {"-dBATCH", "", false},
        {"-dNOPAUSE", "", false},
        {"-dQUIT", "", false},
        {"-dSAFER", "", false},
        {"--permit-file-read=", files.type1Path, true},
        {"--permit-file-read=", config.encPath, true},
        {"--permit-file-write=", fontName, true},
        {"-sFONTFILE=", files.type1Path, true},
        {"-dTHEFONT=", "/" + entry.fntDvi, true},
        {"-sSYMBOLS=", "[ " + symbols + " ]", true},
        {"-dENCODING=", "/" + config.encodingName, true},
        {"-sENCFILE=", config.encPath, true},
        {"-sFONTOUT=", fontName, true},
    };
    if (!files.encVectorPath.empty()) {
        words.push_back({"--permit-file-read=", files.encVectorPath, true});
        words.push_back({"-sENCVECFILE=", files.encVectorPath, true});
    }
    if (!entry.slant.empty()) words.push_back({"-dSLANT=", entry.slant, false});
    if (!entry.extend.empty()) words.push_back({"-dEXTEND=", entry.extend, false});
    words.push_back({"", config.psPath, false});

    GsCommand cmd;
    for (const Word& w : words) {
        cmd.argv.push_back(w.option + w.value);
        if (!cmd.line.empty()) cmd.line += ' ';
        cmd.line += w.option;
        cmd.line += w.quoted ? "\"" + w.value + "\"" : w.value;
    }
    return cmd;
}

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

std::optional<FontFiles> findFontFiles(const std::string& name, const MapEntry& entry, std::FILE* log,
                                       std::FILE* out) {
    // The name becomes a file name in workDir and Ghostscript's output
    // name: anything that could leave that directory is refused.
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

std::optional<FontExtraction> svgfontextract(const std::string& name, const MapEntry& entry,
                                             const std::string& symbols, const ConfigFiles& config,
                                             const std::string& workDir, std::FILE* log, std::FILE* out) {
    std::optional<FontFiles> files = findFontFiles(name, entry, log, out);
    if (!files) return std::nullopt;
    FontExtraction x;
    x.name = name;
    x.files = *files;
    x.run.command = ghostscriptCommand(x.files, entry, symbols, name, config);
    x.run.workDir = workDir;
    std::fprintf(log, "\n%s", x.run.command.line.c_str());
    return x;
}

std::string postScriptString(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string s = "<";
    for (unsigned char c : bytes) {
        s += kHex[c >> 4];
        s += kHex[c & 15];
    }
    return s + ">";
}

GsCommand batchCommand(const std::string& jobsPath, const std::vector<std::string>& readPaths,
                       const std::vector<std::string>& fontNames, const ConfigFiles& config) {
    std::vector<std::pair<std::string, std::string>> words = {
        {"gs", ""},      {"-q", ""},       {"-dNODISPLAY", ""}, {"-dBATCH", ""}, {"-dNOPAUSE", ""},
        {"-dQUIT", ""},  {"-dSAFER", ""},  {"--permit-file-read=", jobsPath},
        {"--permit-file-read=", config.encPath},
    };
    for (const auto& p : readPaths) words.push_back({"--permit-file-read=", p});
    for (const auto& n : fontNames) words.push_back({"--permit-file-write=", n});
    words.push_back({"-sJOBS=", jobsPath});
    words.push_back({"-dENCODING=", "/" + config.encodingName});
    words.push_back({"-sENCFILE=", config.encPath});
    GsCommand cmd;
    for (const auto& [option, value] : words) {
        cmd.argv.push_back(option + value);
        if (!cmd.line.empty()) cmd.line += ' ';
        cmd.line += option;
        cmd.line += value.empty() ? "" : "\"" + value + "\"";
    }
    cmd.argv.push_back(config.psPath);
    cmd.line += " " + config.psPath;
    return cmd;
}

}  // namespace morvex
