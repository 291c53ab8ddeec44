#include "dvi/dvipage.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "base/readers.h"
#include "dvi/opcodes.h"

namespace morvex {

namespace {

constexpr char kMovementNames[28][5] = {
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
inline void traceLabel(std::FILE* log, const char (&label)[N]) {
    fwrite_unlocked(label, 1, N - 1, log);
}

inline void traceByte(std::FILE* log, int32_t b) { putc_unlocked(b, log); }

// The room a special's buffer keeps between specials.
constexpr size_t kSpecialKeptCapacity = 1 << 16;

// The bytes after the stream's position; none when it cannot tell.
uint64_t bytesLeft(std::FILE* f) {
    struct stat st;
    const off_t at = ftello(f);
    if (at < 0 || fstat(fileno(f), &st) != 0 || st.st_size < at) return 0;
    return static_cast<uint64_t>(st.st_size - at);
}

// A signed operand of 1..4 bytes.
int32_t readSigned(std::FILE* dvi, int32_t bytes) {
    switch (bytes) {
        case 1: return dvireads1(dvi);
        case 2: return dvireads2(dvi);
        case 3: return dvireads3(dvi);
        default: return static_cast<int32_t>(dviread4(dvi));
    }
}

}  // namespace

PageInterpreter::PageInterpreter(PageSelector selector, int32_t stackCapacity, std::FILE* log, std::FILE* out)
    : selector(std::move(selector)), stackCapacity(stackCapacity), log(log), out(out) {
    pageSelected = this->selector.selects(currentPage, position);
}

Result PageInterpreter::dvipage(std::FILE* dvi, PageSink& sink) {
    std::fputs("#### dvipage\n", log);
    std::fprintf(log, "Stack depth: %d", stackCapacity);
    createStack(stack, stackCapacity);
    for (auto& slot : fonts) slot.reset();
    dvitfminit();
    std::fputs("Pages:", out);
    std::fflush(out);
    for (;;) {
        const int code = command(dvi, sink);
        if (code != kContinue) return {code, std::move(stopMessage)};
    }
}

// A character of set_char_0..set_char_127, set1 or put1: mark it on the
// selected page and advance unless it is put.
void PageInterpreter::character(int32_t code, bool put, PageSink& sink) {
    if (selected()) dvipagemarkused(fonts, font, code);
    const int32_t hBefore = regs.h;
    const int32_t advance = dvipagecharwidth(fonts, tfm, font, code);
    if (!put) regs.h = wrapAdd(regs.h, advance);
    if (selected()) {
        const PageFont* entry = font >= 0 && font < 256 ? fonts[static_cast<size_t>(font)].get() : nullptr;
        const CharHeightDepth box = dvipagecharheightdepth(fonts, tfm, font, code);
        sink.character({code, font, entry != nullptr ? &entry->def : nullptr, hBefore, regs.v, advance, put,
                        box.height, box.depth});
    }
}

void PageInterpreter::beginPage(std::FILE* dvi, PageSink& sink) {
    regs = DviRegisters{};
    currentPage = static_cast<int32_t>(dviread4(dvi));
    ++position;
    pageSelected = selector.selects(currentPage, position);
    for (int i = 0; i < 10; ++i) dviread4(dvi);
    if (selected()) std::fputc('(', out);
    std::fputc('.', out);
    std::fflush(out);
    std::fprintf(log, "\nbop: Page %d\n", currentPage);
    if (selected()) {
        ++selectedCount;
        sink.pageBegin(currentPage, position);
    }
}

// The special's text is traced up to its first zero byte, as %s would, and
// handed to the sink whole. The short forms read bytes past the end of the
// file as 255, like every field; the long ones, whose length may reach
// 2^31, stop at the end and leave it to the next opcode, so that what is
// kept never outgrows the file.
void PageInterpreter::special(std::FILE* dvi, const char* label, uint32_t length, bool stopAtEnd,
                              PageSink& sink) {
    std::fputs(label, log);
    std::string& text = specialText;
    text.clear();
    text.reserve(stopAtEnd ? std::min<uint64_t>(length, bytesLeft(dvi)) : length);
    bool ended = false;
    for (uint32_t i = 0; i < length; ++i) {
        int c = getc_unlocked(dvi);
        if (c == EOF && stopAtEnd) break;
        int32_t b = c == EOF ? 0xFF : c;
        if (b == 0) ended = true;
        if (!ended) traceByte(log, b);
        text.push_back(static_cast<char>(b));
    }
    const SpecialEvent event{regs.h, regs.v, text, length};
    if (selected())
        sink.special(event);
    else
        sink.unselectedSpecial(event);
    // A long special's bytes are not kept for the next one.
    if (text.capacity() > kSpecialKeptCapacity) std::string().swap(text);
}

void PageInterpreter::endPages() {
    std::fputs("\n", out);
    std::fputs("\n", log);
    dvitfmfree(tfm, log);
    releaseStack(stack);
}

// right, w, x, down, y, z: four groups with a 1..4-byte operand, three of
// them also with a form that reuses the register (w0, x0, y0, z0).
void PageInterpreter::movement(int32_t op, std::FILE* dvi, PageSink& sink) {
    DviRegisters& r = regs;
    if (op < kOpW0) {
        r.h = wrapAdd(r.h, readSigned(dvi, op - kOpRight1 + 1));
    } else if (op < kOpX0) {
        if (op > kOpW0) r.w = readSigned(dvi, op - kOpW0);
        r.h = wrapAdd(r.h, r.w);
    } else if (op < kOpDown1) {
        if (op > kOpX0) r.x = readSigned(dvi, op - kOpX0);
        r.h = wrapAdd(r.h, r.x);
    } else if (op < kOpY0) {
        r.v = wrapAdd(r.v, readSigned(dvi, op - kOpDown1 + 1));
    } else if (op < kOpZ0) {
        if (op > kOpY0) r.y = readSigned(dvi, op - kOpY0);
        r.v = wrapAdd(r.v, r.y);
    } else {
        if (op > kOpZ0) r.z = readSigned(dvi, op - kOpZ0);
        r.v = wrapAdd(r.v, r.z);
    }
    traceLabel(log, kMovementNames[op - kOpRight1]);
    if (selected()) sink.movement(r.h, r.v);
}

// fnt_num_0..fnt_num_63.
void PageInterpreter::fontNumber(int32_t number, PageSink& sink) {
    font = number;
    // "\n[fnt_num_%d]", written without printf: fonts change often.
    traceLabel(log, "\n[fnt_num_");
    if (font >= 10) traceByte(log, '0' + font / 10);
    traceByte(log, '0' + font % 10);
    traceByte(log, ']');
    if (selected()) sink.fontSelect(font);
}

// set_rule and put_rule.
void PageInterpreter::rule(bool put, std::FILE* dvi, PageSink& sink) {
    DviRegisters& r = regs;
    if (put)
        traceLabel(log, "<putrule>");
    else
        traceLabel(log, "<setrule>");
    const int32_t a = static_cast<int32_t>(dviread4(dvi));
    const int32_t b = static_cast<int32_t>(dviread4(dvi));
    const RuleEvent rule{r.h, r.v, a, b, put};
    if (!put) r.h = wrapAdd(r.h, b);
    if (selected()) sink.rule(rule);
}

// xxx1..xxx4: kContinue, or the code that ends the loop.
int PageInterpreter::xxx(int32_t op, std::FILE* dvi, PageSink& sink) {
    switch (op) {
        case kOpXxx1:
            special(dvi, "xxx_1:", static_cast<uint32_t>(dvireadu1(dvi)), false, sink);
            return kContinue;
        case kOpXxx2:
            special(dvi, "xxx_2:", static_cast<uint32_t>(dvireads2(dvi) & 0xFFFF), false, sink);
            return kContinue;
        case kOpXxx3:
            special(dvi, "xxx_3:", static_cast<uint32_t>(dvireads3(dvi) & 0xFFFFFF), true, sink);
            return kContinue;
        default: {
            const int32_t length = static_cast<int32_t>(dviread4(dvi));
            if (length < 0) {
                stopMessage = "\nError in DVI: xxx4 with the negative length " + std::to_string(length) + ".\n";
                return kDvipageUnsupported;
            }
            special(dvi, "xxx_4:", static_cast<uint32_t>(length), true, sink);
            return kContinue;
        }
    }
}

int PageInterpreter::command(std::FILE* dvi, PageSink& sink) {
    DviRegisters& r = regs;
    const int32_t op = dvireadu1(dvi);

    if (op < kOpSet1) {
        if (op >= 32) {
            traceByte(log, op);
        } else {
            traceByte(log, '^');
            traceByte(log, op + 64);
        }
        character(op, false, sink);
        return kContinue;
    }
    if (op >= kOpRight1 && op <= kOpZ4) {
        movement(op, dvi, sink);
        return kContinue;
    }
    if (op >= kOpFntNum0 && op <= kOpFntNum63) {
        fontNumber(op - kOpFntNum0, sink);
        return kContinue;
    }
    switch (op) {
        case kOpSet1:
            traceLabel(log, "<set1>");
            character(dvireadu1(dvi), false, sink);
            break;
        case kOpPut1:
            traceLabel(log, "<put1>");
            character(dvireadu1(dvi), true, sink);
            break;
        case kOpSetRule:
        case kOpPutRule:
            rule(op == kOpPutRule, dvi, sink);
            break;
        case kOpNop:
            traceLabel(log, "<nop>");
            if (selected()) sink.plain(PlainCommand::Nop);
            break;
        case kOpBop:
            beginPage(dvi, sink);
            break;
        case kOpEop:
            traceLabel(log, "\neop");
            if (selected()) {
                std::fputc(')', out);
                sink.pageEnd();
            }
            break;
        case kOpPush:
            dvipagepush(stack, r, log, out);
            if (selected()) sink.plain(PlainCommand::Push);
            break;
        case kOpPop:
            dvipagepop(stack, r, log, out);
            if (selected()) sink.plain(PlainCommand::Pop);
            break;
        case kOpFnt1:
            font = dvireadu1(dvi);
            std::fprintf(log, "[fnt_1_%d]", font);
            if (selected()) sink.fontSelect(font);
            break;
        case kOpXxx1:
        case kOpXxx2:
        case kOpXxx3:
        case kOpXxx4:
            return xxx(op, dvi, sink);
        case kOpFntDef1:
            if (dvipagefontdef(fonts, tfm, selected(), dvi, log, out) != 0) return kDvipageNoMetrics;
            if (selected()) sink.plain(PlainCommand::FontDef);
            break;
        case kOpPost:
            endPages();
            return kDvipageOk;
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "\n?\?(%x)\n", static_cast<unsigned>(op));
            stopMessage = text;
            return kDvipageUnsupported;
        }
    }
    return kContinue;
}

}  // namespace morvex
