// A whole run over arbitrary DVI bytes, in process: preamble, postamble,
// page chain, every page with its fonts' metrics, the SVG text of page 1,
// and the SVG font step at the postamble.
//
// The metrics come only from the fixture directory (no generation of
// missing fonts), and the configuration directory's font map has no
// entries, so Ghostscript never runs. The DVI is an anonymous in-memory
// file with the positioning of a real one; the SVG document and the messages
// go to memory streams, the trace to a stream that discards it; the fonts file and the generated
// fonts' directory lie in a private directory.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "dvi/dvibase.h"
#include "dvi/dvipage.h"
#include "dvi/run.h"
#include "fuzz/fuzz_env.h"

using namespace morvex;

namespace {

// An output stream that keeps nothing: the trace of a page holds every
// pending run again at each character, megabytes for a long line, and
// keeping it would slow every run down to its copying.
struct Sink {
    std::FILE* f = fopencookie(nullptr, "w", cookie_io_functions_t{
        nullptr, [](void*, const char*, size_t n) -> ssize_t { return static_cast<ssize_t>(n); }, nullptr,
        nullptr});
    ~Sink() { std::fclose(f); }
};

// The SVG document and the messages are kept, as in a run.
struct MemOut {
    char* buf = nullptr;
    size_t len = 0;
    std::FILE* f = open_memstream(&buf, &len);
    ~MemOut() {
        std::fclose(f);
        std::free(buf);
    }
};

std::string configDir;
std::string fontsPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string& dir = fuzz::privateDir();
    configDir = dir + "/config";
    fontsPath = dir + "/fonts.svg";
    if (mkdir(configDir.c_str(), 0700) != 0) std::abort();
    std::FILE* map = std::fopen((configDir + "/morvex.map").c_str(), "wb");
    if (map == nullptr) std::abort();
    std::fputs("% no fonts: the glyphs of no font are extracted\n", map);
    std::fclose(map);
    // kpathsea reads these at its first lookup. Without a trailing colon
    // the fixture directory is the whole TFM path.
    setenv("TFMFONTS", MORVEX_FUZZ_TFM_DIR, 1);
    setenv("MKTEXTFM", "0", 1);
    // The generated fonts' private directory is made under TMPDIR.
    setenv("TMPDIR", dir.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = memfd_create("dvi", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t written = 0;
    while (written < size) {
        ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    lseek(fd, 0, SEEK_SET);
    std::FILE* dvi = fdopen(fd, "rb");
    if (dvi == nullptr) {
        close(fd);
        return 0;
    }
    {
        MemOut out, svg;
        Sink log;
        auto run = std::make_unique<Run>();
        run->out = out.f;
        run->selectedPage = 1;
        if (dvibase(*run, fontsPath, dvi, svg.f, log.f) == DVIBASE_OK)
            dvipage(*run, dvi, configDir, fontsPath, svg.f, log.f);
    }
    std::fclose(dvi);
    std::remove(fontsPath.c_str());
    return 0;
}
