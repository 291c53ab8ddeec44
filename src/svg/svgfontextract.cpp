#include "svg/svgfontextract.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/printable.h"

// Last: its macros (isblank and others) clash with the C++ headers.
#include <kpathsea/kpathsea.h>

extern char** environ;

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

GsCommand ghostscriptCommand(const std::string& type1Path, const std::string& fntDvi, const std::string& symbols,
                         const std::string& encodingName, const std::string& encPath, const std::string& fontName,
                         const std::string& psPath) {
    // Ghostscript reads the font and the encoding and writes the generated
    // font only by these permissions; SAFER stays on, since a font file is
    // a program.
    struct Word {
        const char* option;
        std::string value;
        bool quoted;
    };
    const Word words[] = {
        {"gs", "", false},
        {"-q", "", false},
        {"-dNODISPLAY", "", false},
        {"-dBATCH", "", false},
        {"-dNOPAUSE", "", false},
        {"-dQUIT", "", false},
        {"--permit-file-read=", type1Path, true},
        {"--permit-file-read=", encPath, true},
        {"--permit-file-write=", fontName, true},
        {"-sFONTFILE=", type1Path, true},
        {"-dTHEFONT=", "/" + fntDvi, true},
        {"-sSYMBOLS=", "[ " + symbols + " ]", true},
        {"-dENCODING=", "/" + encodingName, true},
        {"-sENCFILE=", encPath, true},
        {"-sFONTOUT=", fontName, true},
        {"", psPath, false},
    };
    GsCommand cmd;
    for (const Word& w : words) {
        cmd.argv.push_back(w.option + w.value);
        if (!cmd.line.empty()) cmd.line += ' ';
        cmd.line += w.option;
        cmd.line += w.quoted ? "\"" + w.value + "\"" : w.value;
    }
    return cmd;
}

void svgfontextract(const std::string& name, const std::string& fntDvi, const std::string& fntPfb,
                    const std::string& symbols, const std::string& encodingName, const std::string& encPath,
                    const std::string& psPath, const std::string& workDir, std::FILE* log, std::FILE* out) {
    // The name becomes a file name in workDir and Ghostscript's output
    // name: anything that could leave that directory is refused.
    if (!svgFontNameSafe(name)) {
        std::fprintf(out, "\nFont name '%s' is not usable as a file name; its glyphs are not extracted.\n",
                     printable(name).c_str());
        return;
    }
    char* found = fntPfb.empty() ? nullptr : kpse_find_file(fntPfb.c_str(), kpse_type1_format, 1);
    if (found == nullptr) {
        std::fputs("\nCan not find PFB font.\n", out);
        return;
    }
    std::string type1Path = absolutePath(found);
    std::free(found);
    std::fprintf(log, "== %s %s\n", fntPfb.c_str(), type1Path.c_str());

    GsCommand cmd = ghostscriptCommand(type1Path, fntDvi, symbols, encodingName, encPath, name, psPath);
    std::fprintf(log, "\n%s", cmd.line.c_str());

    // Ghostscript shares standard output: what was written so far first.
    std::fflush(out);
    std::fflush(stdout);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    std::vector<char*> argv;
    for (auto& a : cmd.argv) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);

    const std::string generated = workDir + "/" + name;
    if (rc != 0) {
        std::fprintf(out, "\nCan not run Ghostscript for font %s: %s.\n", name.c_str(), std::strerror(rc));
        return;
    }
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    bool ok = waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok) {
        if (waited == pid && WIFSIGNALED(status))
            std::fprintf(out, "\nGhostscript failed on font %s (signal %d).\n", name.c_str(), WTERMSIG(status));
        else if (waited == pid && WIFEXITED(status))
            std::fprintf(out, "\nGhostscript failed on font %s (exit status %d).\n", name.c_str(),
                         WEXITSTATUS(status));
        else
            std::fprintf(out, "\nGhostscript failed on font %s.\n", name.c_str());
        // Whatever it left is not a font.
        std::remove(generated.c_str());
    }
}

}  // namespace morvex
