#include "dvi/dvipage.h"

#include "dvi/opcodes.h"
#include "dvi/page_fonts.h"
#include "dvi/readers.h"
#include "dvi/register_stack.h"
#include "svg/svgfont.h"
#include "svg/text.h"
#include "tfm/dvitfm.h"

namespace morvex {

namespace {

constexpr char MOVEMENT_NAMES[28][5] = {
    "<r1>", "<r2>", "<r3>", "<r4>",                  //
    "<w0>", "<w1>", "<w2>", "<w3>", "<w4>",          //
    "<x0>", "<x1>", "<x2>", "<x3>", "<x4>",          //
    "<d1>", "<d2>", "<d3>", "<d4>",                  //
    "<y0>", "<y1>", "<y2>", "<y3>", "<y4>",          //
    "<z0>", "<z1>", "<z2>", "<z3>", "<z4>",
};

// The trace takes a label for nearly every command of every page; these
// writes skip the stream lock and the length scan (one thread owns the log).
template <size_t N>
inline void tracelabel(std::FILE* log, const char (&label)[N]) {
    fwrite_unlocked(label, 1, N - 1, log);
}

inline void tracebyte(std::FILE* log, int32_t b) { putc_unlocked(b, log); }

// A signed operand of 1..4 bytes.
int32_t readsigned(std::FILE* dvi, int32_t bytes) {
    switch (bytes) {
        case 1: return dvireads1(dvi);
        case 2: return dvireads2(dvi);
        case 3: return dvireads3(dvi);
        default: return static_cast<int32_t>(dviread4(dvi));
    }
}

// A character of set_char_0..set_char_127, set1 or put1: mark it on the
// selected page, remember h, and advance unless it is put.
void dvipagechar(Run& run, int32_t code, bool advance) {
    PageLoopState& st = run.loop;
    st.param = code;
    if (st.currentPage == run.selectedPage) dvipagemarkused(run.fonts, st.currentFont, code);
    st.hBefore = st.regs.h;
    if (advance) st.regs.h = wrapadd(st.regs.h, dvipagecharwidth(run.fonts, run.tfm, st.currentFont, code));
}

// Special text is traced up to its first zero byte, as %s would, without
// being held in memory.
void dvipagespecial(std::FILE* dvi, std::FILE* log, const char* label, int32_t length) {
    std::fputs(label, log);
    bool ended = false;
    for (int32_t i = 0; i < length; ++i) {
        int32_t b = dvireadu1(dvi);
        if (b == 0) ended = true;
        if (!ended) tracebyte(log, b);
    }
}

void dvipagebop(Run& run, std::FILE* dvi, std::FILE* log) {
    PageLoopState& st = run.loop;
    st.regs = DviRegisters{};
    st.currentPage = static_cast<int32_t>(dviread4(dvi));
    for (int i = 0; i < 10; ++i) dviread4(dvi);
    if (st.currentPage == run.selectedPage) std::fputc('(', run.out);
    std::fputc('.', run.out);
    std::fflush(run.out);
    std::fprintf(log, "\nbop: Page %d\n", st.currentPage);
    st.param = st.currentPage;
}

int dvipagepost(Run& run, const std::string& configDir, const std::string& fontsPath, std::FILE* svg,
                std::FILE* log) {
    std::fputs("\n", run.out);
    std::fputs("\n</svg>\n", svg);
    std::fputs("\n", log);
    dvitfmfree(run.tfm, log);
    dvipagestackfree(run.stack);
    int r = svgfontbuild(run.svgfont, configDir, fontsPath, "TeXUTF8Encoding", run.fonts, log, run.out);
    dvipagefontfree(run.fonts, log);
    return r == 0 ? DVIPAGE_OK : DVIPAGE_SVGFONT_BASE + r;
}

}  // namespace

void dvipagestart(Run& run, std::FILE* log) {
    std::fputs("#### dvipage\n", log);
    std::fprintf(log, "Stack depth: %d", run.stackCapacity);
    dvipagestackcreate(run.stack, run.stackCapacity);
    for (auto& slot : run.fonts.slots) slot.reset();
    dvitfminit();
    std::fputs("Pages:", run.out);
    std::fflush(run.out);
}

int dvipagecommand(Run& run, std::FILE* dvi, const std::string& configDir, const std::string& fontsPath,
                   std::FILE* svg, std::FILE* log) {
    PageLoopState& st = run.loop;
    DviRegisters& r = st.regs;
    const int32_t op = dvireadu1(dvi);
    st.opcode = op;

    if (op < OP_SET1) {
        if (op >= 32) {
            tracebyte(log, op);
        } else {
            tracebyte(log, '^');
            tracebyte(log, op + 64);
        }
        dvipagechar(run, op, true);
    } else if (op >= OP_RIGHT1 && op <= OP_Z4) {
        // Movements: four groups with a 1..4-byte operand, three of them
        // also with a form that reuses the register (w0, x0, y0, z0).
        if (op < OP_W0) {
            r.h = wrapadd(r.h, readsigned(dvi, op - OP_RIGHT1 + 1));
        } else if (op < OP_X0) {
            if (op > OP_W0) r.w = readsigned(dvi, op - OP_W0);
            r.h = wrapadd(r.h, r.w);
        } else if (op < OP_DOWN1) {
            if (op > OP_X0) r.x = readsigned(dvi, op - OP_X0);
            r.h = wrapadd(r.h, r.x);
        } else if (op < OP_Y0) {
            r.v = wrapadd(r.v, readsigned(dvi, op - OP_DOWN1 + 1));
        } else if (op < OP_Z0) {
            if (op > OP_Y0) r.y = readsigned(dvi, op - OP_Y0);
            r.v = wrapadd(r.v, r.y);
        } else {
            if (op > OP_Z0) r.z = readsigned(dvi, op - OP_Z0);
            r.v = wrapadd(r.v, r.z);
        }
        tracelabel(log, MOVEMENT_NAMES[op - OP_RIGHT1]);
    } else if (op >= OP_FNT_NUM_0 && op <= OP_FNT_NUM_63) {
        st.currentFont = op - OP_FNT_NUM_0;
        st.param = st.currentFont;
        // "\n[fnt_num_%d]", written without printf: fonts change often.
        tracelabel(log, "\n[fnt_num_");
        if (st.currentFont >= 10) tracebyte(log, '0' + st.currentFont / 10);
        tracebyte(log, '0' + st.currentFont % 10);
        tracebyte(log, ']');
    } else {
        switch (op) {
            case OP_SET1:
                tracelabel(log, "<set1>");
                dvipagechar(run, dvireadu1(dvi), true);
                break;
            case OP_PUT1:
                tracelabel(log, "<put1>");
                dvipagechar(run, dvireadu1(dvi), false);
                break;
            case OP_SET_RULE:
            case OP_PUT_RULE: {
                if (op == OP_SET_RULE)
                    tracelabel(log, "<setrule>");
                else
                    tracelabel(log, "<putrule>");
                int32_t a = static_cast<int32_t>(dviread4(dvi));
                int32_t b = static_cast<int32_t>(dviread4(dvi));
                st.param = b;
                st.ruleHeight = a;
                if (op == OP_SET_RULE) r.h = wrapadd(r.h, b);
                break;
            }
            case OP_NOP:
                tracelabel(log, "<nop>");
                break;
            case OP_BOP:
                dvipagebop(run, dvi, log);
                break;
            case OP_EOP:
                tracelabel(log, "\neop");
                if (st.currentPage == run.selectedPage) std::fputc(')', run.out);
                break;
            case OP_PUSH:
                dvipagepush(run.stack, r, log, run.out);
                break;
            case OP_POP:
                dvipagepop(run.stack, r, log, run.out);
                break;
            case OP_FNT1:
                st.currentFont = dvireadu1(dvi);
                std::fprintf(log, "[fnt_1_%d]", st.currentFont);
                st.param = st.currentFont;
                break;
            case OP_XXX1:
                dvipagespecial(dvi, log, "xxx_1:", dvireadu1(dvi));
                break;
            case OP_XXX2:
                dvipagespecial(dvi, log, "xxx_2:", dvireads2(dvi) & 0xFFFF);
                break;
            case OP_FNT_DEF1:
                if (dvipagefontdef(run.fonts, run.tfm, st.currentPage == run.selectedPage, dvi, log, run.out) != 0)
                    return DVIPAGE_NO_METRICS;
                break;
            case OP_POST:
                return dvipagepost(run, configDir, fontsPath, svg, log);
            default:
                std::fprintf(run.out, "\n?\?(%x)\n", static_cast<unsigned>(op));
                return DVIPAGE_UNSUPPORTED;
        }
    }

    if (st.currentPage == run.selectedPage)
        dvipagetext(run.text, run.ptPerDvi, op, st.param, st.ruleHeight, st.hBefore, svg, log, r, run.out);
    return DVIPAGE_CONTINUE;
}

int dvipage(Run& run, std::FILE* dvi, const std::string& configDir, const std::string& fontsPath,
            std::FILE* svg, std::FILE* log) {
    dvipagestart(run, log);
    for (;;) {
        int result = dvipagecommand(run, dvi, configDir, fontsPath, svg, log);
        if (result != DVIPAGE_CONTINUE) return result;
    }
}

}  // namespace morvex
