#pragma once
// Character widths of every font the pages define, read from TFM files found
// through kpathsea.
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace morvex {

struct TfmHeader {
    int32_t lf = 0, lh = 0;
    uint8_t bc = 0, ec = 0;
    int32_t nw = 0, nh = 0, nd = 0, ni = 0, nl = 0, nk = 0, ne = 0, np = 0;
    uint32_t checksum = 0;
    float designSize = 0.0f;
};

// The two tables of one DVI font number.
struct FontMetrics {
    int32_t bc = 0;                     // code of widthIndex[0]
    std::vector<uint8_t> widthIndex;    // one entry per code bc..ec
    std::vector<float> widths;          // points at design size
};

struct MetricTables {
    std::array<std::unique_ptr<FontMetrics>, 256> fonts;
};

struct TfmState {
    MetricTables tables;
    TfmHeader header;
};

// Prepares kpathsea for TFM lookups (generation of missing files allowed).
void dvitfminit();

// Finds and reads the TFM file of name into the tables of font number k
// (0..255). Returns 0, 1 (not found) or 2 (not openable); messages go to out.
int dvitfmload(TfmState& tfm, const std::string& name, int k, std::FILE* log, std::FILE* out);

// Width of code ch of font k in points at design size; 0 when the font has
// no tables, the code lies outside bc..ec or its width index has no entry.
float dvitfmwidth(const TfmState& tfm, int32_t k, int32_t ch);

void dvitfmfree(TfmState& tfm, std::FILE* log);

}  // namespace morvex
