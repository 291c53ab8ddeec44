// A whole conversion over arbitrary DVI bytes, in process: preamble,
// postamble, page chain, every page with its fonts' metrics, the SVG text
// of page 1, and the SVG font step after the pages.
//
// The metrics come only from the fixture directory (no generation of
// missing fonts), and the configuration directory's font map has no
// entries, so Ghostscript never runs. The DVI is an anonymous in-memory
// file with the positioning of a real one; the messages go to a memory
// stream and the trace to /dev/null (a long line traces megabytes); the SVG
// document, the fonts file and the generated fonts' directory lie in a
// private directory.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "front/front.h"
#include "fuzz/fuzz_env.h"

using namespace morvex;

namespace {

// The messages are kept, as in a run.
struct MemOut {
    char* buf = nullptr;
    size_t len = 0;
    std::FILE* f = open_memstream(&buf, &len);
    ~MemOut() {
        std::fclose(f);
        std::free(buf);
    }
};

Settings settings;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string& dir = fuzz::privateDir();
    settings.configDir = dir + "/config";
    settings.fontsPath = dir + "/fonts.svg";
    settings.svgPath = dir + "/out.svg";
    settings.logPath = "/dev/null";
    if (mkdir(settings.configDir.c_str(), 0700) != 0) std::abort();
    std::FILE* map = std::fopen((settings.configDir + "/morvex.map").c_str(), "wb");
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
    settings.dviName = "/proc/self/fd/" + std::to_string(fd);
    {
        MemOut out;
        convert(settings, "fuzz_dvi", out.f);
    }
    close(fd);
    std::remove(settings.fontsPath.c_str());
    std::remove(settings.svgPath.c_str());
    return 0;
}
