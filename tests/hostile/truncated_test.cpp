// Streams cut short at every byte, in process: the page commands with their
// operands, and a TFM file through every section.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dvi/dvipage.h"
#include "svg/text_document.h"
#include "support/bytes.h"
#include "tfm/dvitfm.h"
#include "tfm/tfm_fixture.h"

namespace morvex::testing {
namespace {

// Page 1 with a command of every operand shape; the offsets of the font
// definition's fields are where a cut leaves a name that no file has.
struct PageBytes {
    std::string bytes;
    size_t fontDefStart = 0;
    size_t fontDefEnd = 0;
};

PageBytes everyShape() {
    writeTfm("mvxcut", TfmWriter::font(0, std::vector<uint8_t>(256, 1), {0.5}).bytes());
    DviWriter w;
    w.bop(1);
    PageBytes p;
    p.fontDefStart = w.b.size();
    w.fntdef(4, "mvxcut");
    p.fontDefEnd = w.b.size();
    w.b.u1(235).u1(4);                                  // fnt1
    w.b.u1('A').u1(128).u1(200).u1(133).u1(66);         // set_char, set1, put1
    w.b.u1(132).u4(100).u4(200).u1(137).u4(1).u4(2);    // set_rule, put_rule
    w.b.u1(141).u1(143).u1(5).u1(144).u2(300);          // push, right1, right2
    w.b.u1(145).u3(70000).u1(146).u4(1u << 20);         // right3, right4
    w.b.u1(148).u1(1).u1(153).u2(2).u1(159).u3(3);      // w1, x2, down3
    w.b.u1(164).u4(4).u1(170).u4(5).u1(142);            // y3, z4, pop
    w.b.u1(239).u1(3).text("abc").u1(240).u2(2).text("de");
    w.b.u1(138).u1(171).u1('C');                        // nop, fnt_num_0
    w.eop();
    p.bytes = w.str();
    return p;
}

TEST(Truncated, PagesCutAtEveryByteStopAtTheEndOfTheFile) {
    const PageBytes page = everyShape();
    for (size_t n = 0; n <= page.bytes.size(); ++n) {
        OutCapture out, log;
        HandedCapture svg;
        TextDocument document(svg.handle(), log.f, out.f);
        PageInterpreter pages(1, 4, log.f, out.f);
        MemStream in(page.bytes.substr(0, n));
        const Result r = pages.dvipage(in.f, document);
        const int result = r.code;
        // A cut inside the font definition leaves a name of 255 bytes that
        // no file has; any other cut reads the end of the file as opcode 255.
        bool inFontDef = n > page.fontDefStart && n < page.fontDefEnd;
        const std::string text = out.str() + r.message;
        if (inFontDef) {
            EXPECT_EQ(result, kDvipageNoMetrics) << n;
            EXPECT_NE(text.find("\nCan not find font metrics "), std::string::npos) << n << ": " << text;
        } else {
            EXPECT_EQ(result, kDvipageUnsupported) << n;
            EXPECT_EQ(text.substr(text.size() - 8), "\n?\?(ff)\n") << n << ": " << text;
        }
    }
}

TEST(Truncated, MetricsCutAtEveryByteLoadAndTraceEverySection) {
    TfmWriter t = TfmWriter::font(30, {1, 2, 3}, {0.5, 0.25, -1.0});
    t.lh = 4;
    t.headerRest = {'a', 'b', 0, '.', 0x80, 1, 2, 3};
    t.lf = static_cast<int16_t>(t.lf + 2);
    const std::string whole = t.bytes().str();
    for (size_t n = 0; n <= whole.size(); ++n) {
        TfmState tfm;
        OutCapture log;
        MemStream in(whole.substr(0, n));
        readTfm(tfm, in.f, 9, log.f);
        std::string trace = log.str();
        EXPECT_NE(trace.find("CHARACTERS SECTION (ec-bc+1)\n"), std::string::npos) << n;
        const std::string last = "WIDTHS SECTION (nw)\n";
        EXPECT_TRUE(trace.size() >= last.size() && trace.substr(trace.size() - last.size()) == last)
            << n << ": " << trace;
        // The lengths of the tables follow the fields as read, whatever they
        // are: a cut before them reads 0xFFFF (-1) everywhere.
        const FontMetrics* m = tfm.tables.fonts[9].get();
        ASSERT_NE(m, nullptr) << n;
        EXPECT_LE(m->widthIndex.size(), 256u) << n;
        EXPECT_LE(m->widths.size(), 32767u) << n;
        for (int ch = -1; ch <= 256; ++ch) (void)tfmWidth(tfm, 9, ch);
        if (n == whole.size()) {
            EXPECT_FLOAT_EQ(tfmWidth(tfm, 9, 30), 5.0f);
            EXPECT_FLOAT_EQ(tfmWidth(tfm, 9, 32), -10.0f);
        }
    }
}

}  // namespace
}  // namespace morvex::testing
