#pragma once
// Character widths of every font the pages define, read from TFM files found
// through kpathsea.
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
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

// The tables of one DVI font number.
struct FontMetrics {
    int32_t bc = 0;                     // code of widthIndex[0]
    std::vector<uint8_t> widthIndex;    // one entry per code bc..ec
    std::vector<float> widths;          // points at design size
    // The character's box above and below the baseline, for what covers
    // glyphs (a link's area): one byte per code, the height index in its
    // high four bits and the depth index in its low four.
    std::vector<uint8_t> heightDepthIndex;
    std::vector<float> heights;         // points at design size
    std::vector<float> depths;
};

struct MetricTables {
    std::array<std::shared_ptr<const FontMetrics>, 256> fonts;
};

// A TFM file as a run has loaded it once: a DVI file may define the same
// font thousands of times, and kpathsea keeps what every lookup allocates.
struct LoadedMetrics {
    std::shared_ptr<const FontMetrics> metrics;
    std::string trace;  // what the load wrote to the trace, written again for a repeat
};

struct TfmState {
    MetricTables tables;
    TfmHeader header;
    std::map<std::string, LoadedMetrics> byName;
};

// Prepares kpathsea for TFM lookups (generation of missing files allowed).
void dvitfminit();

// Finds and reads the TFM file of name into the tables of font number k
// (0..255). Returns 0, 1 (not found) or 2 (not openable, or not a regular
// file); messages go to out. A name loaded before in the run is neither
// looked up nor read again: its tables and its trace are those of the
// first load.
int dvitfmload(TfmState& tfm, const std::string& name, int k, std::FILE* log, std::FILE* out);

// Width of code ch of font k in points at design size; 0 when the font has
// no tables, the code lies outside bc..ec or its width index has no entry.
inline float tfmWidth(const TfmState& tfm, int32_t k, int32_t ch) {
    if (k < 0 || k > 255) return 0.0f;
    const FontMetrics* m = tfm.tables.fonts[static_cast<size_t>(k)].get();
    if (m == nullptr) return 0.0f;
    // Codes outside bc..ec have no char_info word: they take width index 0,
    // which the TFM format reserves for a zero width.
    size_t pos = static_cast<size_t>(static_cast<int64_t>(ch) - m->bc);
    if (pos >= m->widthIndex.size()) return 0.0f;
    size_t idx = m->widthIndex[pos];
    // An index past the width table (a malformed file) has no width.
    if (idx >= m->widths.size()) return 0.0f;
    return m->widths[idx];
}

// Height and depth of code ch of font k in points at design size; 0 where
// no entry gives them, as for tfmWidth.
struct TfmHeightDepth {
    float height = 0.0f;
    float depth = 0.0f;
};
inline TfmHeightDepth tfmHeightDepth(const TfmState& tfm, int32_t k, int32_t ch) {
    if (k < 0 || k > 255) return {};
    const FontMetrics* m = tfm.tables.fonts[static_cast<size_t>(k)].get();
    if (m == nullptr) return {};
    size_t pos = static_cast<size_t>(static_cast<int64_t>(ch) - m->bc);
    if (pos >= m->heightDepthIndex.size()) return {};
    const size_t h = m->heightDepthIndex[pos] >> 4, d = m->heightDepthIndex[pos] & 15;
    return {h < m->heights.size() ? m->heights[h] : 0.0f, d < m->depths.size() ? m->depths[d] : 0.0f};
}

// The reading part of dvitfmload: the sections of the TFM stream in, from
// its current position, into the tables of font number k, with their trace.
// Every byte past the end of the stream counts as 255, so any stream loads.
void readTfm(TfmState& tfm, std::FILE* in, int k, std::FILE* log);

void dvitfmfree(TfmState& tfm, std::FILE* log);

}  // namespace morvex
