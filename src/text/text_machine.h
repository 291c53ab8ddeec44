#pragma once
// The text state machine of a page: which text element, font span and run
// stand open, and where a run of characters ends. Both document writers
// take their runs from it; what each transition writes is theirs.
#include <cstdint>
#include <cstdio>
#include <string>

namespace morvex {

enum TextState : uint8_t {
    SM_OUTSIDE = 0,  // no text element open
    SM_TEXT = 1,     // the page's text element open, no font span
    SM_SPAN = 2,     // a font span open, no character since it opened
    SM_RUN = 3,      // a font span open and a run pending
    SM_MOVED = 4,    // a font span open, the last run written at a movement
};

// Most codes one run holds; a further character writes the run and starts
// a new one at its own position.
inline constexpr std::size_t kRunCapacity = 4095;

struct TextRun {
    std::string codes;   // raw character codes of the pending run, zero codes included
    int32_t startH = 0;  // h before the run's first character, DVI units
    int32_t startV = 0;  // v at the run's first character
};

// What the transitions write, in the order the machine calls them.
class TextMarkup {
public:
    virtual void openText(int32_t page) = 0;
    virtual void openSpan(int32_t font) = 0;
    virtual void closeSpan() = 0;
    virtual void closeText() = 0;
    // A run is complete: at a movement, a font selection, the page's end,
    // or a full run before its next character.
    virtual void endRun(const TextRun& run) = 0;

protected:
    ~TextMarkup() = default;
};

class TextMachine {
public:
    // Every transition is traced to log: "SM=(codes)" as a run grows, then
    // "\nSM=<state>".
    TextMachine(TextMarkup& markup, std::FILE* log) : markup(markup), log(log) {}

    TextState state() const { return machine; }

    // A page's bop; what an earlier page without eop left open is closed
    // first.
    void pageBegin(int32_t count0) {
        closePage();
        step(Input::Bop, count0);
    }
    void pageEnd() { step(Input::Eop, 0); }
    // What a page without eop left open, closed as eop would close it.
    void closePage() {
        if (machine != SM_OUTSIDE) step(Input::Eop, 0);
    }
    void fontSelect(int32_t font) { step(Input::Font, font); }
    void character(int32_t code, int32_t hBefore, int32_t v) { step(Input::Character, code, hBefore, v); }
    void movement() { step(Input::Movement, 0); }
    void rule(int32_t width) { step(Input::Rule, width); }
    // Specials and the plain commands.
    void other() { step(Input::Other, 0); }

private:
    enum class Input { Bop, Eop, Font, Character, Movement, Rule, Other };
    void step(Input in, int32_t param, int32_t hBefore = 0, int32_t v = 0);
    void startRun(int32_t hBefore, int32_t v);
    void append(int32_t code);
    void endRun();

    TextMarkup& markup;
    std::FILE* const log;
    TextState machine = SM_OUTSIDE;
    TextRun run;
    std::string trace;  // the trace of the event under way
};

}  // namespace morvex
