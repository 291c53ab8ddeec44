#include "dvi/dvibase.h"

#include <array>
#include <memory>
#include <string>

#include "dvi/font_def.h"
#include "dvi/opcodes.h"
#include "dvi/readers.h"

namespace morvex {

namespace {

constexpr int32_t PADDING_BYTE = 223;

constexpr const char* SVG_NAMESPACE = "xmlns=\"http://www.w3.org/2000/svg\"";

struct FontDef {
    uint32_t checksum = 0;
    uint32_t s = 0;
    uint32_t d = 0;
    std::string name;
};

using FontDefTable = std::array<std::unique_ptr<FontDef>, 256>;

// Reads n bytes as text. Bytes past the end of the stream read as 255, like
// every other field.
std::string readText(std::FILE* dvi, int32_t n) {
    std::string text;
    text.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) text.push_back(static_cast<char>(dvireadu1(dvi)));
    return text;
}

// The C string view of a text: up to its first zero byte, as "%s" prints it.
const char* cText(const std::string& text) { return text.c_str(); }

// Size in points of a scaled size in DVI units.
double pointSize(uint32_t s, float ptPerDvi) {
    float size = static_cast<float>(s) * ptPerDvi;
    return static_cast<double>(size);
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

void writePrologue(const FontDefTable& table, float ptPerDvi, uint32_t l, uint32_t u,
                   const std::string& fontsPath, std::FILE* svg) {
    for (size_t k = 0; k < table.size(); ++k) {
        if (!table[k]) continue;
        std::fprintf(svg, "\n <!ENTITY st%d \"font-family:%s;font-size:%.2fpt;\">", static_cast<int>(k),
                     cText(table[k]->name), pointSize(table[k]->s, ptPerDvi));
    }
    std::fprintf(svg, "\n]>");

    double width = static_cast<double>(static_cast<float>(u) * ptPerDvi) + 72.27;
    double height = static_cast<double>(static_cast<float>(l) * ptPerDvi) + 72.27;
    std::fprintf(svg,
                 "\n<svg width=\"%.2fpt\" height=\"%.2fpt\" %s\n     viewBox=\"0 0 %.2fpt %.2fpt\"\n     %s "
                 "xml:space=\"preserve\">",
                 width, height, "version=\"1.1\"", width, height, SVG_NAMESPACE);

    std::fprintf(svg, "\n<style type=\"text/css\">");
    std::fprintf(svg, "\n<![CDATA[");
    for (size_t k = 0; k < table.size(); ++k) {
        if (!table[k]) continue;
        const char* name = cText(table[k]->name);
        std::fprintf(svg, "\n @font-face{font-family:'%s';font-size:'%.2fpt';src:url(%s#%s)}", name,
                     pointSize(table[k]->s, ptPerDvi), fontsPath.c_str(), name);
    }
    std::fprintf(svg, "\n]]>");
    std::fprintf(svg, "\n</style>");
}

// Follows the back-pointers from the last page to the first. Each pointer
// must lie below the bop that holds it, so a cyclic chain ends with code 16
// instead of running for ever.
int walkPageChain(uint32_t lastPage, std::FILE* dvi, std::FILE* log, uint32_t& firstPage) {
    constexpr uint32_t NO_PAGE = 0xFFFFFFFFu;
    uint32_t current = lastPage;
    bool haveHolder = false;
    uint32_t holder = 0;
    firstPage = 0;
    while (current != NO_PAGE) {
        if (haveHolder && current >= holder) return DVIBASE_NO_BOP;
        seekFromStart(dvi, current);
        if (dvireadu1(dvi) != OP_BOP) return DVIBASE_NO_BOP;
        std::fprintf(log, "\nBOP: ");
        std::array<int32_t, 10> counters{};
        for (auto& c : counters) c = static_cast<int32_t>(dviread4(dvi));
        firstPage = current;
        holder = current;
        haveHolder = true;
        current = dviread4(dvi);
        for (int j = 0; j < 10; ++j) std::fprintf(log, "c%d:%d ", j, counters[static_cast<size_t>(j)]);
        std::fprintf(log, "p:%d", static_cast<int32_t>(current));
    }
    return DVIBASE_OK;
}

}  // namespace

int dvibase(Run& run, const std::string& fontsPath, std::FILE* dvi, std::FILE* svg, std::FILE* log) {
    // Preamble.
    if (dvireadu1(dvi) != OP_PRE) return DVIBASE_NO_PRE;
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
    std::fprintf(log, "\n     x:'%s'", cText(comment));
    std::fprintf(run.out, "'%s'\n", cText(comment));
    std::fprintf(log, "\n");

    run.ptPerDvi = computePtPerDvi(num, den, mag);

    // Trailing 223 bytes, then post_post before them.
    long postPostOffset = -14;
    for (int i = 0; i < 8; ++i) {
        std::fseek(dvi, -1 - i, SEEK_END);
        if (dvireadu1(dvi) == PADDING_BYTE) continue;
        std::fprintf(log, "Padding:%d", i);
        postPostOffset = -6 - i;
        break;
    }
    std::fseek(dvi, postPostOffset, SEEK_END);
    if (dvireadu1(dvi) != OP_POST_POST) return DVIBASE_NO_POST_POST;
    uint32_t q = dviread4(dvi);
    int32_t ppi = dvireadu1(dvi);
    std::fprintf(log, "\nPOST_POST: q:%d i:%d", static_cast<int32_t>(q), ppi);

    // Postamble.
    seekFromStart(dvi, q);
    if (dvireadu1(dvi) != OP_POST) return DVIBASE_NO_POST;
    std::fprintf(log, "\nPOST: ");
    uint32_t lastPage = dviread4(dvi);
    std::fprintf(log, "p:%d ", static_cast<int32_t>(lastPage));
    uint32_t pnum = dviread4(dvi);
    uint32_t pden = dviread4(dvi);
    uint32_t pmag = dviread4(dvi);
    std::fprintf(log, "num:%d den:%d mag:%d\n", static_cast<int32_t>(pnum), static_cast<int32_t>(pden),
                 static_cast<int32_t>(pmag));
    uint32_t l = dviread4(dvi);
    uint32_t u = dviread4(dvi);
    int32_t s = dvireads2(dvi);
    int32_t t = dvireads2(dvi);
    std::fprintf(log, "      l:%d u:%d s:%d t:%d", static_cast<int32_t>(l), static_cast<int32_t>(u), s, t);
    run.stackCapacity = s;

    std::fprintf(run.out, "Fonts:");
    std::fprintf(svg, "\n<!DOCTYPE svg SYSTEM %s [", "\"-//W3C//DTD SVG 1.1//EN\"");
    FontDefTable table;

    // Font definitions up to post_post.
    for (;;) {
        int32_t op = dvireadu1(dvi);
        if (op == OP_POST_POST) break;
        if (op != OP_FNT_DEF1) return DVIBASE_BAD_FNT_DEF;
        FontDefRecord rec = readfontdef(dvi, log);
        std::fprintf(run.out, "*");
        std::fprintf(log, "n:%s", cText(rec.name));
        if (!fontnameplain(rec.name)) return DVIBASE_BAD_FNT_DEF;
        auto def = std::make_unique<FontDef>();
        def->checksum = rec.checksum;
        def->s = rec.s;
        def->d = rec.d;
        def->name = std::move(rec.name);
        table[static_cast<size_t>(rec.k)] = std::move(def);
    }
    std::fprintf(run.out, "\n");

    writePrologue(table, run.ptPerDvi, l, u, fontsPath, svg);
    dvibasefontfree(table, log);

    uint32_t firstPage = 0;
    int rc = walkPageChain(lastPage, dvi, log, firstPage);
    if (rc != DVIBASE_OK) return rc;
    std::fprintf(log, "\n");
    seekFromStart(dvi, firstPage);
    return DVIBASE_OK;
}

}  // namespace morvex
