#include "tfm/dvitfm.h"

#include <kpathsea/kpathsea.h>

#include <algorithm>
#include <cstdlib>

#include "base/readers.h"
#include "base/kpse_program.h"
#include "base/file_handle.h"
#include "base/memory_stream.h"

namespace morvex {

namespace {

// A fix_word: four bytes taken as a signed 32-bit integer over 2^20. The
// quotient is exact in double precision.
double readFixWord(std::FILE* in) {
    return static_cast<double>(static_cast<int32_t>(dviread4(in))) / 1048576.0;
}

// The most entries a height or depth table can index (four bits).
constexpr int32_t kHeightDepthEntries = 16;

// A table of count fix_words in design units, of which the first
// table.size() are kept; the rest are read past, so that the stream stays
// in step whatever the count.
void readFixWords(std::FILE* in, int32_t count, double design, std::vector<float>& table) {
    for (int32_t i = 0; i < count; ++i) {
        const double v = readFixWord(in) * design;
        if (static_cast<size_t>(i) < table.size()) table[static_cast<size_t>(i)] = static_cast<float>(v);
    }
}

void traceHeaderByte(std::FILE* log, int32_t b) {
    if (b == 0) {
        std::fputc('.', log);
    } else if (b == '.') {
        std::fputs("<.>", log);
    } else if (b >= 32 && b <= 126) {
        std::fputc(b, log);
    } else {
        std::fprintf(log, "<%x>", static_cast<unsigned>(b));
    }
}

// Reads the twelve lengths and the header section into tfm.header.
void readHeader(TfmHeader& hd, std::FILE* in, std::FILE* log) {
    std::fputs("FIRST SECTION\n", log);
    hd.lf = dvireads2(in);
    hd.lh = dvireads2(in);
    hd.bc = static_cast<uint8_t>(dvireads2(in) & 0xFF);
    hd.ec = static_cast<uint8_t>(dvireads2(in) & 0xFF);
    hd.nw = dvireads2(in);
    hd.nh = dvireads2(in);
    hd.nd = dvireads2(in);
    hd.ni = dvireads2(in);
    hd.nl = dvireads2(in);
    hd.nk = dvireads2(in);
    hd.ne = dvireads2(in);
    hd.np = dvireads2(in);
    std::fprintf(log,
                 "lm:%4dB lh:%4x bc:%2x ec:%2x\nnw:%4x nh:%4x nd:%4x ni:%4x\nnl:%4x nk:%4x ne:%4x np:%4x\n",
                 hd.lf * 4, static_cast<unsigned>(hd.lh * 4), static_cast<unsigned>(hd.bc),
                 static_cast<unsigned>(hd.ec), static_cast<unsigned>(hd.nw * 4), static_cast<unsigned>(hd.nh * 4),
                 static_cast<unsigned>(hd.nd * 4), static_cast<unsigned>(hd.ni * 4),
                 static_cast<unsigned>(hd.nl * 4), static_cast<unsigned>(hd.nk * 4),
                 static_cast<unsigned>(hd.ne * 4), static_cast<unsigned>(hd.np * 4));

    std::fputs("HEADER SECTION (lh)\n", log);
    hd.checksum = dviread4(in);
    hd.designSize = static_cast<float>(readFixWord(in));
    std::fprintf(log, "checksum:%10u\n", hd.checksum);
    // |designSize| < 2048, so the product fits an int32 (or is NaN-free).
    float designDvi = hd.designSize * 65536.0f;
    std::fprintf(log, "designsize:%f in pt (%d in DVI units)\n", static_cast<double>(hd.designSize),
                 static_cast<int>(designDvi));
    std::fputc('\'', log);
    // A negative lh reads nothing; the largest lh reads about 128 KiB.
    for (int32_t i = 0; i < hd.lh * 4 - 8; ++i) traceHeaderByte(log, dvireadu1(in));
    std::fputs("'\n", log);
}

}  // namespace

void dvitfminit() {
    setKpseProgramName();
    // kpathsea notes every font it failed to make in missfont.log of the
    // working directory, which is the user's; the run reports it instead.
    setenv("MISSFONT_LOG", "0", 1);
    kpse_set_program_enabled(kpse_tfm_format, 1, kpse_src_compile);
}

void readTfm(TfmState& tfm, std::FILE* in, int k, std::FILE* log) {
    TfmHeader& hd = tfm.header;
    readHeader(hd, in, log);

    // bc and ec are bytes and nw a signed 16-bit field, so neither table can
    // exceed 256 respectively 32767 entries, whatever the file says.
    auto metrics = std::make_unique<FontMetrics>();
    metrics->bc = hd.bc;
    int32_t ncodes = hd.ec >= hd.bc ? hd.ec - hd.bc + 1 : 0;
    metrics->widthIndex.resize(static_cast<size_t>(ncodes));
    metrics->widths.resize(static_cast<size_t>(hd.nw > 0 ? hd.nw : 0));
    metrics->heightDepthIndex.resize(static_cast<size_t>(ncodes));
    // Four bits index each of these tables: entries past 16 are never used.
    metrics->heights.resize(static_cast<size_t>(std::clamp<int32_t>(hd.nh, 0, kHeightDepthEntries)));
    metrics->depths.resize(static_cast<size_t>(std::clamp<int32_t>(hd.nd, 0, kHeightDepthEntries)));

    std::fputs("CHARACTERS SECTION (ec-bc+1)\n", log);
    for (int32_t i = 0; i < ncodes; ++i) {
        metrics->widthIndex[static_cast<size_t>(i)] = static_cast<uint8_t>(dvireadu1(in));
        metrics->heightDepthIndex[static_cast<size_t>(i)] = static_cast<uint8_t>(dvireadu1(in));
        dvireadu1(in);
        dvireadu1(in);
    }

    std::fputs("WIDTHS SECTION (nw)\n", log);
    const double design = static_cast<double>(hd.designSize);
    for (float& w : metrics->widths) w = static_cast<float>(readFixWord(in) * design);
    // Heights and depths follow the widths; the trace ends with the widths,
    // as it always has.
    readFixWords(in, hd.nh, design, metrics->heights);
    readFixWords(in, hd.nd, design, metrics->depths);

    tfm.tables.fonts[static_cast<size_t>(k & 0xFF)] = std::move(metrics);
}

int dvitfmload(TfmState& tfm, const std::string& name, int k, std::FILE* log, std::FILE* out) {
    if (auto known = tfm.byName.find(name); known != tfm.byName.end()) {
        std::fwrite(known->second.trace.data(), 1, known->second.trace.size(), log);
        tfm.tables.fonts[static_cast<size_t>(k & 0xFF)] = known->second.metrics;
        return 0;
    }
    char* found = kpse_find_file(name.c_str(), kpse_tfm_format, 1);
    if (found == nullptr) {
        std::fprintf(out, "\nCan not find font metrics %s.\n", name.c_str());
        return 1;
    }
    // The path is kept whole, however long kpathsea makes it.
    std::string path(found);
    std::free(found);
    // A name from a DVI file may lead kpathsea to a device or a named pipe
    // (/dev/stdin, /dev/tty), whose reading would wait for ever.
    OpenFailure failure;
    FileHandle in = openRegularFile(path, failure);
    if (!in) {
        std::fprintf(out, "\nCan not open %s for reading.\n", path.c_str());
        return 2;
    }
    MemoryStream trace;
    std::fprintf(trace.get(), "\nFont metrics %s: %s\n", name.c_str(), path.c_str());
    readTfm(tfm, in.get(), k, trace.get());
    LoadedMetrics& loaded = tfm.byName[name];
    loaded.metrics = tfm.tables.fonts[static_cast<size_t>(k & 0xFF)];
    loaded.trace = trace.text();
    std::fwrite(loaded.trace.data(), 1, loaded.trace.size(), log);
    return 0;
}

void dvitfmfree(TfmState& tfm, std::FILE* log) {
    std::fputs("\ndvitfmfree:", log);
    for (size_t k = 0; k < tfm.tables.fonts.size(); ++k) {
        if (tfm.tables.fonts[k]) {
            std::fprintf(log, " %d", static_cast<int>(k));
            tfm.tables.fonts[k].reset();
        }
    }
    std::fputs("\n", log);
}

}  // namespace morvex
