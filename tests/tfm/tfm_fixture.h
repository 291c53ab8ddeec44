#pragma once
// TFM fixtures: a writer for the part of a TFM file that the loader reads,
// and a process-wide directory that kpathsea searches for them.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex::testing {

// A fix_word with the value v.
inline uint32_t fixword(double v) { return static_cast<uint32_t>(static_cast<int32_t>(std::llround(v * 1048576.0))); }

// The twelve lengths are written as given (so a case may make them
// inconsistent); the sections follow in file order. Nothing after the width
// table is written unless `tail` holds it.
struct TfmWriter {
    int16_t lf = 0, lh = 2, bc = 0, ec = -1, nw = 0, nh = 0, nd = 0, ni = 0, nl = 0, nk = 0, ne = 0, np = 0;
    uint32_t checksum = 0;
    uint32_t designSize = 0x00A00000;  // 10 pt
    std::vector<uint8_t> headerRest;   // 4*lh - 8 bytes in a consistent file
    std::vector<uint8_t> widthIndex;   // one per code bc..ec
    std::vector<uint32_t> widths;      // fix_words
    std::vector<uint8_t> heightDepth;  // the second char_info byte per code; none: 0
    std::vector<uint8_t> tail;

    // A consistent font: codes bc.., width index i+1 ... as given, widths
    // with the zero width first.
    static TfmWriter font(uint8_t first, std::vector<uint8_t> indices, std::vector<double> widthsInDesign) {
        TfmWriter t;
        t.bc = first;
        t.ec = static_cast<int16_t>(first + indices.size() - 1);
        t.widthIndex = std::move(indices);
        t.widths.push_back(0);
        for (double w : widthsInDesign) t.widths.push_back(fixword(w));
        t.nw = static_cast<int16_t>(t.widths.size());
        t.lf = static_cast<int16_t>(6 + t.lh + t.widthIndex.size() + t.widths.size());
        return t;
    }

    Bytes bytes() const {
        Bytes b;
        for (int16_t v : {lf, lh, bc, ec, nw, nh, nd, ni, nl, nk, ne, np}) b.u2(static_cast<uint16_t>(v));
        b.u4(checksum).u4(designSize);
        b.data.insert(b.data.end(), headerRest.begin(), headerRest.end());
        for (size_t c = 0; c < widthIndex.size(); ++c)
            b.u1(widthIndex[c]).u1(c < heightDepth.size() ? heightDepth[c] : 0).u1(0).u1(0);
        for (uint32_t w : widths) b.u4(w);
        b.data.insert(b.data.end(), tail.begin(), tail.end());
        return b;
    }
};

// A directory searched first for TFM files, for the whole test process.
// kpathsea reads its variables at the first lookup, so every test calls
// this before it loads any font; missing fonts are not generated.
inline const std::string& tfmFixtureDir() {
    static TempDir dir;
    static bool once = [] {
        // The trailing colon keeps the installation's own fonts after ours.
        setenv("TFMFONTS", (dir.path + ":").c_str(), 1);
        setenv("MKTEXTFM", "0", 1);
        return true;
    }();
    (void)once;
    return dir.path;
}

inline void writeTfm(const std::string& name, const Bytes& b) {
    writeFile(tfmFixtureDir() + "/" + name + ".tfm", b.str());
}

}  // namespace morvex::testing
