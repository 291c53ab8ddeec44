#pragma once
// The plan of one random corpus file of make_corpus.cpp: the random
// numbers, the fonts, the kinds of file and the operands. Raw mt19937
// output only, so that a seed gives the same files everywhere.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace morvex::corpus {

using morvex::testing::Bytes;
using morvex::testing::DviWriter;

constexpr int32_t kPoint = 65536;  // one point in DVI units at the standard num/den
constexpr uint32_t kNoPage = 0xFFFFFFFFu;

// Raw mt19937 output only: the distributions of the standard library may
// differ between library versions, and the corpus must not.
class Rng {
public:
    Rng(uint32_t seed, uint32_t index) {
        std::seed_seq seq{seed, index, 0x6d767843u};
        gen_.seed(seq);
    }
    uint32_t next() { return static_cast<uint32_t>(gen_()); }
    uint32_t below(uint32_t n) { return n == 0 ? 0 : next() % n; }
    int32_t between(int32_t lo, int32_t hi) {
        return static_cast<int32_t>(static_cast<int64_t>(lo) +
                                    below(static_cast<uint32_t>(static_cast<int64_t>(hi) - lo + 1)));
    }
    bool chance(uint32_t percent) { return below(100) < percent; }
    template <typename T>
    const T& pick(const std::vector<T>& v) {
        return v[below(static_cast<uint32_t>(v.size()))];
    }

private:
    std::mt19937 gen_;
};

struct RealFont {
    const char* name;
    int32_t designPt;
};

// Fonts with metrics, a map entry and a Type 1 file; the first nine are
// the ones plain TeX documents use most and are picked more often.
inline const std::vector<RealFont> kRealFonts = {
    {"cmr10", 10}, {"cmbx10", 10}, {"cmti10", 10}, {"cmmi10", 10}, {"cmsy10", 10}, {"cmex10", 10},
    {"cmtt10", 10}, {"cmr7", 7},   {"cmr5", 5},    {"cmsl10", 10}, {"cmss10", 10}, {"cmmi7", 7},
    {"cmsy7", 7},   {"cmbx12", 12}, {"cmr12", 12}, {"cmcsc10", 10}, {"ecrm1000", 10},
};

// Names for the font error paths. Each is either found where morvex looks
// or clearly absent, so kpathsea never has a font to make (runs are made
// with MKTEXTFM=0 as well).
struct OddFont {
    std::string name;
    std::string area;
    const char* why;
};
inline const std::vector<OddFont> kOddFonts = {
    {"mvxnosuchfont", "", "no metrics"},
    {"cmr10", "./", "area naming the working directory"},
    {"logo10", "", "metrics but no map entry"},
    {"manfnt", "", "metrics but no map entry"},
    {"lcircle10", "", "map entry but no Type 1 file"},
    {"cm/cmr10", "", "a name with a directory"},
    {"cm r10", "", "a blank in the name"},
    {"$HOME", "", "a variable in the name"},
    {"~cmr10", "", "a tilde in the name"},
    {std::string("cmr\x01" "10", 6), "", "a control byte in the name"},
    {"", "", "an empty name"},
};

struct PlannedFont {
    uint32_t k = 0;
    std::string name;
    std::string area;
    uint32_t checksum = 0;
    uint32_t s = 0;
    uint32_t d = 0;
};

enum class Kind {
    Normal,
    Truncated,
    Unsupported,
    RunawaySpecial,
    BadPreamble,
    BadTrailer,
    BadPostPointer,
    BadPostambleDef,
    BrokenChain,
    NoPages,
    Front,
};

inline const char* kindName(Kind k) {
    switch (k) {
        case Kind::Normal: return "normal";
        case Kind::Truncated: return "truncated";
        case Kind::Unsupported: return "unsupported-opcode";
        case Kind::RunawaySpecial: return "special-past-end";
        case Kind::BadPreamble: return "bad-preamble";
        case Kind::BadTrailer: return "bad-trailer";
        case Kind::BadPostPointer: return "bad-post-pointer";
        case Kind::BadPostambleDef: return "bad-postamble-def";
        case Kind::BrokenChain: return "broken-chain";
        case Kind::NoPages: return "no-pages";
        case Kind::Front: return "front-error";
    }
    return "?";
}

inline Kind pickKind(Rng& rng) {
    struct Weighted {
        Kind kind;
        uint32_t weight;
    };
    static const Weighted kWeights[] = {
        {Kind::Normal, 70},        {Kind::Truncated, 6},       {Kind::Unsupported, 5},
        {Kind::RunawaySpecial, 2}, {Kind::BadPreamble, 1},     {Kind::BadTrailer, 3},
        {Kind::BadPostPointer, 2}, {Kind::BadPostambleDef, 2}, {Kind::BrokenChain, 4},
        {Kind::NoPages, 1},        {Kind::Front, 4},
    };
    uint32_t total = 0;
    for (const auto& w : kWeights) total += w.weight;
    uint32_t r = rng.below(total);
    for (const auto& w : kWeights) {
        if (r < w.weight) return w.kind;
        r -= w.weight;
    }
    return Kind::Normal;
}

// A signed operand of width 1..4, two's complement, big-endian.
inline void operand(Bytes& b, int width, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    switch (width) {
        case 1: b.u1(u & 0xFF); break;
        case 2: b.u2(u & 0xFFFF); break;
        case 3: b.u3(u & 0xFFFFFF); break;
        default: b.u4(u); break;
    }
}

// A value that fits a signed operand of the width; mostly of the size of
// real movements, sometimes at the limits.
inline int32_t operandValue(Rng& rng, int width) {
    const int64_t lo = -(INT64_C(1) << (8 * width - 1));
    const int64_t hi = (INT64_C(1) << (8 * width - 1)) - 1;
    uint32_t r = rng.below(20);
    if (r == 0) return static_cast<int32_t>(lo);
    if (r == 1) return static_cast<int32_t>(hi);
    if (r == 2) return 0;
    int64_t span = width == 4 ? 40 * kPoint : hi;
    int64_t v = static_cast<int64_t>(rng.below(static_cast<uint32_t>(2 * span + 1))) - span;
    return static_cast<int32_t>(v);
}

inline int32_t ruleSize(Rng& rng) {
    switch (rng.below(10)) {
        case 0: return 0;
        case 1: return -rng.between(1, 20 * kPoint);
        case 2: return rng.chance(50) ? INT32_MAX : INT32_MIN;
        case 3: return rng.between(0x1000000, INT32_MAX);
        default: return rng.between(1, 30 * kPoint);
    }
}

inline std::string randomText(Rng& rng, uint32_t length, bool anyByte) {
    static const std::string kPrintable =
        "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 .,;:!?-+=<>&\"'()[]{}/\\%$#";
    std::string s;
    for (uint32_t i = 0; i < length; ++i) {
        if (anyByte && rng.chance(20))
            s += static_cast<char>(rng.below(256));
        else
            s += kPrintable[rng.below(static_cast<uint32_t>(kPrintable.size()))];
    }
    return s;
}

// The fonts of one file: a pool of at most three names (each used name is
// one Ghostscript run), and the font numbers defined with them.
struct FontPlan {
    std::vector<PlannedFont> numbers;   // first definition of each number, in the postamble's order
    std::vector<PlannedFont> variants;  // other definitions, for redefinitions of a number
    std::vector<uint32_t> undefined;    // numbers that are selected but never defined
    std::string note;                   // what the odd font is for, if there is one
};

inline PlannedFont planFont(Rng& rng, uint32_t k, const RealFont& f) {
    PlannedFont planned;
    planned.k = k;
    planned.name = f.name;
    planned.checksum = rng.chance(70) ? 0 : rng.next();
    const uint32_t design = static_cast<uint32_t>(f.designPt * kPoint);
    planned.d = design;
    switch (rng.below(12)) {
        case 0: planned.s = design / 2; break;
        case 1: planned.s = design * 2; break;
        case 2: planned.s = design + design / 5; break;
        case 3: planned.s = static_cast<uint32_t>(rng.between(kPoint, 40 * kPoint)); break;
        case 4: planned.s = design; planned.d = static_cast<uint32_t>(rng.between(kPoint, 20 * kPoint)); break;
        case 5:
            // Degenerate sizes: zero, and a zero design size (the ratio is
            // then infinite or not a number).
            planned.s = rng.chance(50) ? 0 : design;
            planned.d = rng.chance(50) ? 0 : design;
            break;
        default: planned.s = design; break;
    }
    return planned;
}

inline uint32_t freshNumber(Rng& rng, const std::set<uint32_t>& taken) {
    for (;;) {
        uint32_t k;
        switch (rng.below(6)) {
            case 0: k = rng.below(64); break;
            case 1: k = 64 + rng.below(192); break;
            default: k = rng.below(12); break;
        }
        if (!taken.count(k)) return k;
    }
}

inline FontPlan planFonts(Rng& rng, bool oddFont) {
    std::vector<RealFont> pool;
    const uint32_t poolSize = 1 + rng.below(3);
    while (pool.size() < poolSize) {
        const RealFont& f = rng.chance(75) ? kRealFonts[rng.below(9)] : rng.pick(kRealFonts);
        bool dup = false;
        for (const auto& p : pool) dup = dup || std::string(p.name) == f.name;
        if (!dup) pool.push_back(f);
    }
    FontPlan plan;
    std::set<uint32_t> taken;
    const uint32_t count = 1 + rng.below(4);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t k = freshNumber(rng, taken);
        taken.insert(k);
        // Several numbers may carry one name at other sizes.
        plan.numbers.push_back(planFont(rng, k, i < pool.size() ? pool[i] : rng.pick(pool)));
    }
    if (oddFont) {
        const OddFont& odd = rng.pick(kOddFonts);
        PlannedFont planned;
        planned.k = freshNumber(rng, taken);
        taken.insert(planned.k);
        planned.name = odd.name;
        planned.area = odd.area;
        planned.s = planned.d = 10 * kPoint;
        plan.numbers.push_back(planned);
        plan.note = std::string("font: ") + odd.why;
    }
    for (size_t i = 0; i < plan.numbers.size(); ++i)
        if (rng.chance(30)) plan.variants.push_back(planFont(rng, 0, rng.pick(pool)));
    if (rng.chance(15)) plan.undefined.push_back(freshNumber(rng, taken));
    return plan;
}

}  // namespace morvex::corpus
