#include "text/text_machine.h"

namespace morvex {

void TextMachine::startRun(int32_t hBefore, int32_t v) {
    run.startH = hBefore;
    run.startV = v;
}

// The trace shows the raw codes of the run so far; written as bytes so that
// a zero code does not hide the codes after it.
void TextMachine::append(int32_t code) {
    run.codes += static_cast<char>(code & 0xFF);
    trace += "SM=(";
    trace += run.codes;
    trace += ')';
}

void TextMachine::endRun() {
    markup.endRun(run);
    run.codes.clear();
}

void TextMachine::step(Input in, int32_t param, int32_t hBefore, int32_t v) {
    switch (machine) {
        case SM_OUTSIDE:
            if (in == Input::Bop) {
                markup.openText(param);
                machine = SM_TEXT;
            }
            break;
        case SM_TEXT:
            if (in == Input::Font) {
                markup.openSpan(param);
                machine = SM_SPAN;
            } else if (in == Input::Eop) {
                // A page without any font selection still closes its text.
                markup.closeText();
                machine = SM_OUTSIDE;
            }
            break;
        case SM_SPAN:
        case SM_MOVED:
            if (in == Input::Eop) {
                markup.closeSpan();
                markup.closeText();
                machine = SM_OUTSIDE;
            } else if (in == Input::Font) {
                // Also right after a span opened, so the characters that
                // follow carry the font that sets them.
                markup.closeSpan();
                markup.openSpan(param);
                machine = SM_SPAN;
            } else if (in == Input::Character) {
                startRun(hBefore, v);
                append(param);
                machine = SM_RUN;
            }
            break;
        case SM_RUN:
            if (in == Input::Eop) {
                endRun();
                markup.closeSpan();
                markup.closeText();
                machine = SM_OUTSIDE;
            } else if (in == Input::Font) {
                endRun();
                markup.closeSpan();
                markup.openSpan(param);
                machine = SM_SPAN;
            } else if (in == Input::Character) {
                if (run.codes.size() >= kRunCapacity) {
                    endRun();
                    startRun(hBefore, v);
                }
                append(param);
            } else if (in == Input::Movement) {
                endRun();
                machine = SM_MOVED;
            }
            break;
    }
    // "\nSM=<%d>" with the state. Each event's trace is written in one
    // piece, without the stream's lock (one thread owns the log): it is
    // written for every character of every page.
    static constexpr char kStateTrace[][8] = {"\nSM=<0>", "\nSM=<1>", "\nSM=<2>", "\nSM=<3>", "\nSM=<4>"};
    trace.append(kStateTrace[machine], 7);
    fwrite_unlocked(trace.data(), 1, trace.size(), log);
    trace.clear();
}

}  // namespace morvex
