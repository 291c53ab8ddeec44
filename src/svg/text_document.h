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
#include "text/text_machine.h"

namespace morvex {

class TextDocument final : public PageSink, private TextMarkup {
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

    TextState state() const { return machine.state(); }

    void pageBegin(int32_t count0, uint64_t position) override;
    void pageEnd() override;
    void fontSelect(int32_t font) override;
    void character(const CharEvent& c) override;
    void rule(const RuleEvent& r) override;
    void movement(int32_t h, int32_t v) override;
    void special(const SpecialEvent& special) override;
    void plain(PlainCommand command) override;

private:
    // The markup of the machine's transitions.
    void openText(int32_t page) override;
    void openSpan(int32_t font) override;
    void closeSpan() override;
    void closeText() override;
    void endRun(const TextRun& run) override;

    FileHandle svg;
    std::FILE* const log;
    std::FILE* const out;
    float ptPerDvi = 0.0f;
    std::bitset<256> declared;  // the fonts with a style entity
    TextMachine machine{*this, log};
    std::string convText;  // the converted text of the run written last
};

}  // namespace morvex
