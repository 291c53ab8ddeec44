#include "dvi/dvibase.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/printable.h"
#include "base/readers.h"
#include "dvi/fnt_def.h"
#include "dvi/opcodes.h"

namespace morvex {

namespace {

constexpr int32_t kPaddingByte = 223;
constexpr uint32_t kNoPage = 0xFFFFFFFFu;

using FontDefTable = std::array<std::optional<FontDef>, 256>;

// Reads n bytes as text. Bytes past the end of the stream read as 255, like
// every other field.
std::string readText(std::FILE* dvi, int32_t n) {
    std::string text;
    text.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) text.push_back(static_cast<char>(dvireadu1(dvi)));
    return text;
}

float computePtPerDvi(uint32_t num, uint32_t den, uint32_t mag) {
    double a = static_cast<double>(num) * 0.0001;
    double b = a / static_cast<double>(den);
    double c = static_cast<double>(mag) / 1000.0;
    float d = static_cast<float>(c * b);
    double e = static_cast<double>(d) * 72.27 / 25.4;
    return static_cast<float>(e);
}

bool seekFromStart(std::FILE* dvi, uint32_t offset) {
    return fseeko(dvi, static_cast<off_t>(offset), SEEK_SET) == 0;
}

void dvibasefontfree(FontDefTable& table, std::FILE* log) {
    std::fprintf(log, "\ndvibasefontfree:");
    for (size_t k = 0; k < table.size(); ++k) {
        if (!table[k]) continue;
        std::fprintf(log, " %d", static_cast<int>(k));
        table[k].reset();
    }
    std::fprintf(log, "\n");
}

// Follows the back-pointers from the last page to the first. Each pointer
// must lie below the bop that holds it, so a cyclic chain ends with code 16
// instead of running for ever.
int walkPageChain(uint32_t lastPage, std::FILE* dvi, std::FILE* log, uint32_t& firstPage,
                  std::vector<int32_t>& pageNumbers) {
    uint32_t current = lastPage;
    std::optional<uint32_t> holder;
    firstPage = 0;
    while (current != kNoPage) {
        if (holder && current >= *holder) return kDvibaseNoBop;
        seekFromStart(dvi, current);
        if (dvireadu1(dvi) != kOpBop) return kDvibaseNoBop;
        std::fprintf(log, "\nBOP: ");
        std::array<int32_t, 10> counters{};
        for (auto& c : counters) c = static_cast<int32_t>(dviread4(dvi));
        pageNumbers.push_back(counters[0]);
        firstPage = current;
        holder = current;
        current = dviread4(dvi);
        for (int j = 0; j < 10; ++j) std::fprintf(log, "c%d:%d ", j, counters[static_cast<size_t>(j)]);
        std::fprintf(log, "p:%d", static_cast<int32_t>(current));
    }
    return kDvibaseOk;
}

// The preamble into the frame, traced; the comment shown on out.
int readPreamble(DviFrame& frame, std::FILE* dvi, std::FILE* log, std::FILE* out) {
    if (dvireadu1(dvi) != kOpPre) return kDvibaseNoPre;
    std::fprintf(log, "#### dvibase\n");
    std::fprintf(log, "PRE: ");
    int32_t id = dvireadu1(dvi);
    uint32_t num = dviread4(dvi);
    uint32_t den = dviread4(dvi);
    uint32_t mag = dviread4(dvi);
    std::fprintf(log, "i:%d num:%d den:%d mag:%d ", id, static_cast<int32_t>(num), static_cast<int32_t>(den),
                 static_cast<int32_t>(mag));
    int32_t k = dvireadu1(dvi);
    std::string comment = readText(dvi, k);
    std::fprintf(log, "\n     x:'%s'", comment.c_str());
    // The comment reaches a terminal: its control bytes are shown, not sent.
    std::fprintf(out, "'%s'\n", printable(comment.c_str()).c_str());
    std::fprintf(log, "\n");

    // A zero unit makes every position and size infinite or zero: such a
    // preamble is no DVI preamble.
    if (num == 0 || den == 0) return kDvibaseNoPre;
    frame.ptPerDvi = computePtPerDvi(num, den, mag);
    frame.mag = mag;
    return kDvibaseOk;
}

const char* dvibaseMessage(int code) {
    switch (code) {
        case kDvibaseNoPostPost: return "\nCan not find DVI_POST_POST.\n";
        case kDvibaseNoPost: return "\nCan not find DVI_POST.\n";
        case kDvibaseBadFntDef: return "\nError in DVI: FNT_DEF_i.\n";
        case kDvibaseNoPre: return "\nCan not find DVI_PRE.\n";
        case kDvibaseNoBop: return "Error in DVI: DVI_BOP.\n";
        default: return "";
    }
}

int readFrame(DviFrame& frame, std::FILE* dvi, std::FILE* log, std::FILE* out) {
    if (int rc = readPreamble(frame, dvi, log, out); rc != kDvibaseOk) return rc;

    // Trailing 223 bytes, then post_post before them.
    long postPostOffset = -14;
    for (int i = 0; i < 8; ++i) {
        std::fseek(dvi, -1 - i, SEEK_END);
        if (dvireadu1(dvi) == kPaddingByte) continue;
        std::fprintf(log, "Padding:%d", i);
        postPostOffset = -6 - i;
        break;
    }
    std::fseek(dvi, postPostOffset, SEEK_END);
    if (dvireadu1(dvi) != kOpPostPost) return kDvibaseNoPostPost;
    uint32_t q = dviread4(dvi);
    int32_t ppi = dvireadu1(dvi);
    std::fprintf(log, "\nPOST_POST: q:%d i:%d", static_cast<int32_t>(q), ppi);

    // Postamble.
    seekFromStart(dvi, q);
    if (dvireadu1(dvi) != kOpPost) return kDvibaseNoPost;
    std::fprintf(log, "\nPOST: ");
    uint32_t lastPage = dviread4(dvi);
    std::fprintf(log, "p:%d ", static_cast<int32_t>(lastPage));
    uint32_t pnum = dviread4(dvi);
    uint32_t pden = dviread4(dvi);
    uint32_t pmag = dviread4(dvi);
    std::fprintf(log, "num:%d den:%d mag:%d\n", static_cast<int32_t>(pnum), static_cast<int32_t>(pden),
                 static_cast<int32_t>(pmag));
    frame.l = dviread4(dvi);
    frame.u = dviread4(dvi);
    frame.stackCapacity = dvireads2(dvi);
    int32_t t = dvireads2(dvi);
    std::fprintf(log, "      l:%d u:%d s:%d t:%d", static_cast<int32_t>(frame.l), static_cast<int32_t>(frame.u),
                 frame.stackCapacity, t);

    std::fprintf(out, "Fonts:");
    FontDefTable table;

    // Font definitions up to post_post.
    for (;;) {
        int32_t op = dvireadu1(dvi);
        if (op == kOpPostPost) break;
        if (op != kOpFntDef1) return kDvibaseBadFntDef;
        FontDef def = readFontDef(dvi, log);
        std::fprintf(out, "*");
        std::fprintf(log, "n:%s", def.name.c_str());
        if (!fontNamePlain(def.name)) return kDvibaseBadFntDef;
        table[static_cast<size_t>(def.number)] = std::move(def);
    }
    std::fprintf(out, "\n");

    for (const auto& def : table)
        if (def) frame.fonts.push_back(*def);
    frame.fontsComplete = true;
    dvibasefontfree(table, log);

    uint32_t firstPage = 0;
    int rc = walkPageChain(lastPage, dvi, log, firstPage, frame.pageNumbers);
    std::reverse(frame.pageNumbers.begin(), frame.pageNumbers.end());
    if (rc != kDvibaseOk) return rc;
    std::fprintf(log, "\n");
    seekFromStart(dvi, firstPage);
    return kDvibaseOk;
}

}  // namespace

Result dvibase(DviFrame& frame, std::FILE* dvi, std::FILE* log, std::FILE* out) {
    const int code = readFrame(frame, dvi, log, out);
    return {code, dvibaseMessage(code)};
}

}  // namespace morvex
