#include "svg/text.h"

#include "dvi/opcodes.h"
#include "svg/conv.h"

namespace morvex {

namespace {

enum class InputClass { Bop, Eop, Font, Character, Movement, Rule, Other };

InputClass classify(int32_t opcode) {
    if (opcode == OP_BOP) return InputClass::Bop;
    if (opcode == OP_EOP) return InputClass::Eop;
    if (opcode >= OP_FNT_NUM_0 && opcode <= OP_FNT1) return InputClass::Font;
    if ((opcode >= 0 && opcode <= OP_SET1) || opcode == OP_PUT1) return InputClass::Character;
    if (opcode >= OP_RIGHT1 && opcode <= OP_Z4) return InputClass::Movement;
    if (opcode == OP_SET_RULE || opcode == OP_PUT_RULE) return InputClass::Rule;
    return InputClass::Other;
}

// A position in points: the product in single precision, the page margin
// added in double precision.
double toPoints(int32_t dvi, float ptPerDvi) {
    float scaled = static_cast<float>(dvi) * ptPerDvi;
    return static_cast<double>(scaled) + 72.27;
}

void openText(int32_t page, std::FILE* svg) { std::fprintf(svg, "\n<text id=\"page%d\">", page); }
void openSpan(int32_t font, std::FILE* svg) { std::fprintf(svg, "\n<tspan style=\"&st%d;\">", font); }
void closeSpan(std::FILE* svg) { std::fputs("\n</tspan>", svg); }
void closeText(std::FILE* svg) { std::fputs("\n</text>", svg); }

void startRun(TextRun& run, int32_t hBefore, const DviRegisters& regs) {
    run.startH = hBefore;
    run.startV = regs.v;
}

// The trace shows the raw codes of the run so far; written as bytes so that
// a zero code does not hide the codes after it.
void append(TextRun& run, int32_t param, std::FILE* log) {
    run.codes += static_cast<char>(param & 0xFF);
    std::fputs("SM=(", log);
    std::fwrite(run.codes.data(), 1, run.codes.size(), log);
    std::fputc(')', log);
}

void flush(TextMachine& tm, float ptPerDvi, std::FILE* svg, std::FILE* out) {
    double x = toPoints(tm.run.startH, ptPerDvi);
    double y = toPoints(tm.run.startV, ptPerDvi);
    conv(tm.run.codes, tm.convText, out);
    std::fprintf(svg, "\n<tspan x=\"%.2fpt\" y=\"%.2fpt\">", x, y);
    std::fwrite(tm.convText.data(), 1, tm.convText.size(), svg);
    std::fputs("</tspan>", svg);
    tm.run.codes.clear();
}

}  // namespace

void dvipagetext(TextMachine& tm, float ptPerDvi, int32_t opcode, int32_t param, int32_t ruleHeight,
                 int32_t hBefore, std::FILE* svg, std::FILE* log, DviRegisters regs, std::FILE* out) {
    const InputClass in = classify(opcode);
    switch (tm.state) {
        case SM_OUTSIDE:
            if (in == InputClass::Bop) {
                openText(param, svg);
                tm.state = SM_TEXT;
            }
            break;
        case SM_TEXT:
            if (in == InputClass::Font) {
                openSpan(param, svg);
                tm.state = SM_SPAN;
            } else if (in == InputClass::Eop) {
                // A page without any font selection still closes its text.
                closeText(svg);
                tm.state = SM_OUTSIDE;
            }
            break;
        case SM_SPAN:
        case SM_MOVED:
            if (in == InputClass::Eop) {
                closeSpan(svg);
                closeText(svg);
                tm.state = SM_OUTSIDE;
            } else if (in == InputClass::Font) {
                // Also right after a span opened, so the characters that
                // follow carry the font that sets them.
                closeSpan(svg);
                openSpan(param, svg);
                tm.state = SM_SPAN;
            } else if (in == InputClass::Character) {
                startRun(tm.run, hBefore, regs);
                append(tm.run, param, log);
                tm.state = SM_RUN;
            }
            break;
        case SM_RUN:
            if (in == InputClass::Eop) {
                flush(tm, ptPerDvi, svg, out);
                closeSpan(svg);
                closeText(svg);
                tm.state = SM_OUTSIDE;
            } else if (in == InputClass::Font) {
                flush(tm, ptPerDvi, svg, out);
                closeSpan(svg);
                openSpan(param, svg);
                tm.state = SM_SPAN;
            } else if (in == InputClass::Character) {
                if (tm.run.codes.size() >= kRunCapacity) {
                    flush(tm, ptPerDvi, svg, out);
                    startRun(tm.run, hBefore, regs);
                }
                append(tm.run, param, log);
            } else if (in == InputClass::Movement) {
                flush(tm, ptPerDvi, svg, out);
                tm.state = SM_MOVED;
            }
            break;
    }
    std::fprintf(log, "\nSM=<%d>", static_cast<int>(tm.state));
    if (in == InputClass::Rule) std::fprintf(svg, "\n<rect width=\"%d\" height=\"%d\"/>", param, ruleHeight);
}

}  // namespace morvex
