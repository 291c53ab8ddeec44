#pragma once
// The SVG document of the default mode: the selected page's text as text
// and tspan elements in points, its rules as rect elements, the glyphs left
// to the SVG fonts file that the style rules name.
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/dvi_frame.h"
#include "base/file_handle.h"
#include "base/page_events.h"

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

class TextDocument final : public PageSink {
public:
    // The document is written to svg; the text layout is traced to log and
    // the conversion's warnings go to out.
    TextDocument(FileHandle svg, std::FILE* log, std::FILE* out);

    // The XML declaration and the generator comment.
    void head();
    // The DOCTYPE with a style entity per postamble font, the root element
    // sized from the postamble and the font-face rules that point into the
    // fonts file. A frame whose fonts could not all be read leaves the
    // document inside its DOCTYPE.
    void prologue(const DviFrame& frame, const std::string& fontsPath);
    // The closing tag, after the last page; what a page without eop left
    // open is closed first.
    void end();
    // Closes the document; false when a write or the close failed.
    bool close();

    TextState state() const { return machine; }

    void pageBegin(int32_t count0) override;
    void pageEnd() override;
    void fontSelect(int32_t font) override;
    void character(const CharEvent& c) override;
    void rule(const RuleEvent& r) override;
    void movement(int32_t h, int32_t v) override;
    void special(std::string_view text, uint64_t length) override;
    void plain(PlainCommand command) override;

private:
    enum class Input { Bop, Eop, Font, Character, Movement, Rule, Other };
    // One step of the text state machine: the transition's markup, then the
    // state into the trace.
    void dvipagetext(Input in, int32_t param, int32_t hBefore = 0, int32_t v = 0);
    void closePage();
    void startRun(int32_t hBefore, int32_t v);
    void append(int32_t code);
    void flush();

    FileHandle svg;
    std::FILE* const log;
    std::FILE* const out;
    float ptPerDvi = 0.0f;
    std::bitset<256> declared;  // the fonts with a style entity
    TextState machine = SM_OUTSIDE;
    TextRun run;
    std::string convText;  // the converted text of the run written last
};

}  // namespace morvex
