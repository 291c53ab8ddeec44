// The page command loop: every row of its opcode table, the progress marks,
// the selected page, the stack across pages and the two stops.
#include "dvi/dvipage.h"

#include <gtest/gtest.h>

#include <climits>

#include "dvi/page_fixture.h"

namespace morvex {
namespace {

using testing::Bytes;
using testing::DviWriter;
using testing::kNarrow;
using testing::PageRun;
using testing::kWide;

// One page numbered 1 holding cmds, then the opcode 255 that ends the loop.
std::string onePage(const Bytes& cmds, int32_t page = 1) {
    DviWriter w;
    w.bop(page);
    w.b.data.insert(w.b.data.end(), cmds.data.begin(), cmds.data.end());
    w.b.u1(255);
    return w.str();
}

Bytes withFont() { return DviWriter().fntdef(0, "mvxpage").b.u1(171); }

struct Row {
    const char* name;
    Bytes cmds;
    DviRegisters regs;
    std::string trace;      // after the bop line, page not selected
    std::string lastEvent;  // the last event when the page is selected
    int32_t font = 0;
};

std::vector<Row> rows() {
    const std::string c = " v0 a" + std::to_string(kNarrow);
    std::vector<Row> r;
    r.push_back({"right1 FF", Bytes().u1(143).u1(0xFF), {-1, 0, 0, 0, 0, 0}, "<r1>", "move h-1 v0"});
    r.push_back({"right2 0100", Bytes().u1(144).u2(0x0100), {256, 0, 0, 0, 0, 0}, "<r2>", "move h256 v0"});
    r.push_back({"right3", Bytes().u1(145).u3(0xFFFFFE), {-2, 0, 0, 0, 0, 0}, "<r3>", "move h-2 v0"});
    r.push_back({"right4", Bytes().u1(146).u4(0x80000000u), {INT32_MIN, 0, 0, 0, 0, 0}, "<r4>",
                 "move h-2147483648 v0"});
    r.push_back({"w1 80 then w0", Bytes().u1(148).u1(0x80).u1(147), {-256, 0, -128, 0, 0, 0}, "<w1><w0>",
                 "move h-256 v0"});
    r.push_back({"w2 w3 w4", Bytes().u1(149).u2(2).u1(150).u3(3).u1(151).u4(4), {9, 0, 4, 0, 0, 0},
                 "<w2><w3><w4>", "move h9 v0"});
    r.push_back({"x1 then x0", Bytes().u1(153).u1(5).u1(152), {10, 0, 0, 5, 0, 0}, "<x1><x0>", "move h10 v0"});
    r.push_back({"x2 x3 x4", Bytes().u1(154).u2(0xFFFF).u1(155).u3(3).u1(156).u4(4), {6, 0, 0, 4, 0, 0},
                 "<x2><x3><x4>", "move h6 v0"});
    r.push_back({"down1 80", Bytes().u1(157).u1(0x80), {0, -128, 0, 0, 0, 0}, "<d1>", "move h0 v-128"});
    r.push_back({"down2 3 4", Bytes().u1(158).u2(2).u1(159).u3(3).u1(160).u4(4), {0, 9, 0, 0, 0, 0},
                 "<d2><d3><d4>", "move h0 v9"});
    r.push_back({"y1..y4 and y0", Bytes().u1(162).u1(1).u1(163).u2(2).u1(164).u3(3).u1(165).u4(4).u1(161),
                 {0, 14, 0, 0, 4, 0}, "<y1><y2><y3><y4><y0>", "move h0 v14"});
    r.push_back({"z1..z4 and z0", Bytes().u1(167).u1(1).u1(168).u2(2).u1(169).u3(3).u1(170).u4(4).u1(166),
                 {0, 14, 0, 0, 0, 4}, "<z1><z2><z3><z4><z0>", "move h0 v14"});
    r.push_back({"h wraps", Bytes().u1(146).u4(0x7FFFFFFF).u1(143).u1(1), {INT32_MIN, 0, 0, 0, 0, 0}, "<r4><r1>",
                 "move h-2147483648 v0"});
    // A rule's event carries the position before it; set_rule then moves.
    r.push_back({"set_rule", Bytes().u1(143).u1(5).u1(157).u1(7).u1(132).u4(26214).u4(655360),
                 {655365, 7, 0, 0, 0, 0}, "<r1><d1><setrule>", "setrule h5 v7 height26214 width655360"});
    r.push_back({"put_rule", Bytes().u1(143).u1(5).u1(137).u4(26214).u4(655360), {5, 0, 0, 0, 0, 0},
                 "<r1><putrule>", "putrule h5 v0 height26214 width655360"});
    r.push_back({"nop", Bytes().u1(138), {}, "<nop>", "nop"});
    r.push_back({"push pop", Bytes().u1(143).u1(7).u1(141).u1(143).u1(9).u1(142), {7, 0, 0, 0, 0, 0},
                 "<r1><push><r1><pop>", "pop"});
    r.push_back({"eop", Bytes().u1(140), {}, "\neop", "eop"});
    r.push_back({"fnt_num_5", Bytes().u1(176), {}, "\n[fnt_num_5]", "font 5", 5});
    r.push_back({"fnt_num_63", Bytes().u1(234), {}, "\n[fnt_num_63]", "font 63", 63});
    r.push_back({"fnt1 200", Bytes().u1(235).u1(200), {}, "[fnt_1_200]", "font 200", 200});
    r.push_back({"xxx1 empty", Bytes().u1(239).u1(0), {}, "xxx_1:", "special 0 "});
    r.push_back({"xxx1 up to zero byte", Bytes().u1(239).u1(5).raw({'a', 'b', 0, 'c', 'd'}), {}, "xxx_1:ab",
                 "special 5 " + std::string("ab\0cd", 5)});
    r.push_back({"xxx2 32768 bytes", Bytes().u1(240).raw({0x80, 0x00}).repeat('x', 32768), {},
                 "xxx_2:" + std::string(32768, 'x'), "special 32768 " + std::string(32768, 'x')});
    // The long forms carry the specials of LaTeX packages (hyperref, TikZ).
    r.push_back({"xxx3 300 bytes", Bytes().u1(241).u3(300).repeat('y', 300), {}, "xxx_3:" + std::string(300, 'y'),
                 "special 300 " + std::string(300, 'y')});
    r.push_back({"xxx4 up to zero byte", Bytes().u1(242).u4(4).raw({'p', 0, 'q', 'r'}), {}, "xxx_4:p",
                 "special 4 " + std::string("p\0qr", 4)});
    r.push_back({"xxx4 empty", Bytes().u1(242).u4(0), {}, "xxx_4:", "special 0 "});
    // Characters, with font mvxpage selected as font 0.
    r.push_back({"set_char 65", withFont().u1(143).u1(100).u1(65), {100 + kWide, 0, 0, 0, 0, 0}, "<r1>A",
                 "set 65 f0 h100 v0 a" + std::to_string(kWide)});
    r.push_back({"set_char 9, 0, 31, 32", withFont().u1(9).u1(0).u1(31).u1(32), {4 * kNarrow, 0, 0, 0, 0, 0},
                 "^I^@^_ ", "set 32 f0 h" + std::to_string(3 * kNarrow) + c});
    r.push_back({"set_char 127", withFont().u1(127), {kNarrow, 0, 0, 0, 0, 0}, "\x7f", "set 127 f0 h0" + c});
    r.push_back({"set1 200", withFont().u1(65).u1(128).u1(200), {kWide + kNarrow, 0, 0, 0, 0, 0}, "A<set1>",
                 "set 200 f0 h" + std::to_string(kWide) + c});
    r.push_back({"put1 leaves h", withFont().u1(65).u1(133).u1(65), {kWide, 0, 0, 0, 0, 0}, "A<put1>",
                 "put 65 f0 h" + std::to_string(kWide) + " v0 a" + std::to_string(kWide)});
    r.push_back({"character without a font", Bytes().u1(143).u1(3).u1(65), {3, 0, 0, 0, 0, 0}, "<r1>A",
                 "set 65 f0 h3 v0 a0"});
    return r;
}

TEST(DvipageTable, EveryRowChangesRegistersAndTrace) {
    for (Row& row : rows()) {
        PageRun p;
        EXPECT_EQ(p.go(onePage(row.cmds)), kDvipageUnsupported) << row.name;
        const DviRegisters& regs = p.pages->registers();
        EXPECT_EQ(regs.h, row.regs.h) << row.name;
        EXPECT_EQ(regs.v, row.regs.v) << row.name;
        EXPECT_EQ(regs.w, row.regs.w) << row.name;
        EXPECT_EQ(regs.x, row.regs.x) << row.name;
        EXPECT_EQ(regs.y, row.regs.y) << row.name;
        EXPECT_EQ(regs.z, row.regs.z) << row.name;
        EXPECT_EQ(p.pages->currentFont(), row.font) << row.name;
        std::string trace = p.traceAfterBop();
        // The font definition of the character rows writes its own lines.
        size_t sel = trace.find("\n[fnt_num_0]");
        if (sel != std::string::npos) trace = trace.substr(sel + 12);
        EXPECT_EQ(trace, row.trace) << row.name;
        EXPECT_TRUE(p.events.events.empty()) << row.name;  // no page selected
    }
}

TEST(DvipageTable, OnTheSelectedPageEveryCommandIsOneEvent) {
    for (Row& row : rows()) {
        PageRun p(1);
        p.go(onePage(row.cmds));
        const auto& events = p.events.events;
        ASSERT_FALSE(events.empty()) << row.name;
        EXPECT_EQ(events.front(), "bop 1 at 1") << row.name;
        EXPECT_EQ(events.back(), row.lastEvent) << row.name;
    }
}

TEST(DvipageTable, UnsupportedOpcodesStopWithTheirCode) {
    std::vector<int> ops = {129, 130, 131, 134, 135, 136, 236, 237, 238, 244, 245, 246, 247, 249};
    for (int op = 250; op <= 255; ++op) ops.push_back(op);
    for (int op : ops) {
        PageRun p;
        EXPECT_EQ(p.go(onePage(Bytes().u1(138).u1(op).u1(138))), kDvipageUnsupported) << op;
        char msg[32];
        std::snprintf(msg, sizeof msg, "Pages:.\n?\?(%x)\n", op);
        EXPECT_EQ(p.out.str(), msg);
        // Nothing is traced for it, and nothing after it is read.
        EXPECT_EQ(p.traceAfterBop(), "<nop>") << op;
    }
    // The end of the stream reads as 255.
    PageRun p;
    DviWriter w;
    w.bop(1);
    EXPECT_EQ(p.go(w.str()), kDvipageUnsupported);
    EXPECT_EQ(p.out.str(), "Pages:.\n?\?(ff)\n");
}

// A long special reaches the sink whole, at the position it stands at; its
// text up to the first zero byte the trace.
TEST(DvipageSpecial, LongSpecialsReachTheSinkWholeWithTheirPosition) {
    const std::string text = "ps:" + std::string(100000, 'z');
    PageRun p(1);
    p.go(onePage(Bytes().u1(146).u4(300).u1(160).u4(0xFFFFFF38u).u1(242).u4(static_cast<uint32_t>(text.size())).text(text).u1(138)));
    ASSERT_EQ(p.events.specials.size(), 1u);
    const auto& s = p.events.specials[0];
    EXPECT_EQ(s.h, 300);
    EXPECT_EQ(s.v, -200);
    EXPECT_EQ(s.length, text.size());
    EXPECT_TRUE(s.text == text);
    EXPECT_NE(p.log.str().find("xxx_4:" + text + "\nSM=<1><nop>"), std::string::npos);
}

// A special that claims more bytes than the file holds reaches the sink
// with the bytes there are: what it keeps never outgrows the file.
TEST(DvipageSpecial, ASpecialCutByTheEndOfTheFileHasTheBytesThereAre) {
    DviWriter w;
    w.bop(1);
    const Bytes cmds = Bytes().u1(242).u4(0x7FFFFFFF).text("color push Red");
    w.b.data.insert(w.b.data.end(), cmds.data.begin(), cmds.data.end());
    PageRun p(1);
    EXPECT_EQ(p.go(w.str()), kDvipageUnsupported);
    ASSERT_EQ(p.events.specials.size(), 1u);
    EXPECT_EQ(p.events.specials[0].text, "color push Red");
    EXPECT_EQ(p.events.specials[0].length, 0x7FFFFFFFu);
}

TEST(DvipageSpecial, MalformedLongSpecialsEndTheLoop) {
    struct Case {
        const char* what;
        Bytes cmds;
        std::string message;
    };
    const Case cases[] = {
        {"xxx4 with a negative length", Bytes().u1(242).u4(0x80000000u).text("abc"),
         "\nError in DVI: xxx4 with the negative length -2147483648.\n"},
        {"xxx4 -1", Bytes().u1(242).u4(0xFFFFFFFFu), "\nError in DVI: xxx4 with the negative length -1.\n"},
        // A length past the end: the text stops there and the end of the
        // file is read as the next opcode, however long the special claims
        // to be.
        {"xxx4 past the end", Bytes().u1(242).u4(0x7FFFFFFF).text("abc"), "\n?\?(ff)\n"},
        {"xxx3 past the end", Bytes().u1(241).u3(0xFFFFFF).text("abc"), "\n?\?(ff)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DviWriter w;
        w.bop(1);
        w.b.data.insert(w.b.data.end(), c.cmds.data.begin(), c.cmds.data.end());
        PageRun p(1);
        EXPECT_EQ(p.go(w.str()), kDvipageUnsupported);
        EXPECT_EQ(p.out.str(), "Pages:(." + c.message);
    }
}

TEST(DvipageStart, TracesStackDepthAndStartsProgress) {
    PageRun p(1, 5);
    DviWriter w;
    w.bop(1).eop();
    p.go(w.str() + "\xff");
    std::string log = p.log.str();
    EXPECT_EQ(log.rfind("#### dvipage\nStack depth: 5\nbop: Page 1\n", 0), 0u) << log;
}

TEST(DvipageProgress, SelectedPageInParenthesesAndAnAsteriskPerDefinition) {
    PageRun p(2);
    DviWriter w;
    w.bop(1).fntdef(0, "mvxpage").eop().bop(2).eop().bop(3).eop();
    EXPECT_EQ(p.go(w.str() + "\xff"), kDvipageUnsupported);
    EXPECT_EQ(p.out.str(), "Pages:.*(.).\n?\?(ff)\n");
}

TEST(DvipageProgress, PageNumbersCompareAsSignedAndRepeat) {
    PageRun p(-1);
    DviWriter w;
    w.bop(-1).eop().bop(4).eop().bop(-1).eop();
    p.go(w.str() + "\xff");
    EXPECT_EQ(p.out.str(), "Pages:(.).(.)\n?\?(ff)\n");

    PageRun none(7);
    none.go(w.str() + "\xff");
    EXPECT_EQ(none.out.str(), "Pages:...\n?\?(ff)\n");
    EXPECT_EQ(none.svg(), "");  // the text machine never ran
    EXPECT_TRUE(none.events.events.empty());
}

TEST(DvipageBop, ResetsRegistersButNotFontOrStack) {
    PageRun p(2);
    DviWriter w;
    w.bop(1).fntdef(0, "mvxpage");
    w.b.u1(171).u1(148).u1(9).u1(153).u1(8).u1(162).u1(7).u1(167).u1(6).u1(65).u1(141);
    w.eop().bop(2);
    w.b.u1(147).u1(65);   // w0 with w reset, then a character in font 0, still current
    w.b.u1(142).u1(147);  // pop brings back page 1's registers, w0 moves by its w
    p.go(w.str() + "\xff");
    EXPECT_EQ(p.events.text(), "bop 2 at 2\nmove h0 v0\nset 65 f0 h0 v0 a" + std::to_string(kWide) + "\npop\nmove h" +
                                   std::to_string(9 + 8 + kWide + 9) + " v13\n");
}

TEST(DvipageStack, EntriesLeftOnOnePageArePoppedOnTheNext) {
    PageRun p(2, 4);
    DviWriter w;
    w.bop(1);
    w.b.u1(143).u1(10).u1(141).u1(143).u1(20).u1(141);  // h 10 pushed, then h 30 pushed
    w.eop().bop(2);
    w.b.u1(142).u1(147);  // h 30
    w.b.u1(142).u1(147);  // h 10
    w.b.u1(142).u1(147);  // underflow: h stays
    p.go(w.str() + "\xff");
    EXPECT_EQ(p.events.text(), "bop 2 at 2\npop\nmove h30 v0\npop\nmove h10 v0\npop\nmove h10 v0\n");
    EXPECT_EQ(p.out.str(), "Pages:.(.\nStack underflow\n\n?\?(ff)\n");
}

TEST(DvipageUsed, MarksOnlyOnTheSelectedPage) {
    PageRun p(2);
    DviWriter w;
    w.bop(1).fntdef(0, "mvxpage").fntdef(1, "mvxpage");
    w.b.u1(171).u1(66);  // font 0 used on page 1 only
    w.eop().bop(2).fntdef(2, "mvxpage").fntdef(3, "mvxpage");
    w.b.u1(172).u1(65).u1(128).u1(250);  // font 1, defined on page 1
    w.b.u1(174).u1(133).u1(200);         // font 3: put1 200
    w.eop().bop(3).fntdef(3, "mvxpage");  // font 3 defined again, on a page not selected
    w.b.u1(171).u1(67);
    w.eop();
    EXPECT_EQ(p.go(w.str() + "\xff"), kDvipageUnsupported);
    const std::vector<FontUse> used = p.pages->usedFonts();
    // Font 0 has no table; font 1 got one at its first use; font 2 was
    // defined on the selected page and never used; font 3 keeps the code
    // put on the selected page through its later, same definition.
    ASSERT_EQ(used.size(), 3u);
    EXPECT_EQ(used[0].number, 1);
    EXPECT_EQ(used[0].name, "mvxpage");
    EXPECT_TRUE(used[0].codes[65]);
    EXPECT_TRUE(used[0].codes[250]);
    EXPECT_EQ(used[0].codes.count(), 2u);
    EXPECT_EQ(used[1].number, 2);
    EXPECT_EQ(used[1].codes.count(), 0u);
    EXPECT_EQ(used[2].number, 3);
    EXPECT_TRUE(used[2].codes[200]);
    EXPECT_EQ(used[2].codes.count(), 1u);
}

TEST(DvipageUsed, PutMarksWithoutMoving) {
    PageRun p(1);
    DviWriter w;
    w.bop(1).fntdef(0, "mvxpage");
    w.b.u1(171).u1(143).u1(50).u1(133).u1(200);
    p.go(w.str() + "\xff");
    EXPECT_EQ(p.pages->registers().h, 50);
    EXPECT_EQ(p.events.events.back(), "put 200 f0 h50 v0 a" + std::to_string(kNarrow));
    const std::vector<FontUse> used = p.pages->usedFonts();
    ASSERT_EQ(used.size(), 1u);
    EXPECT_TRUE(used[0].codes[200]);
}

TEST(DvipageText, EveryCommandOfTheSelectedPageReachesTheTextMachine) {
    PageRun p(1);
    DviWriter w;
    w.bop(1);
    w.b.u1(141).u1(144).u2(0x0100).u1(142).u1(138);
    w.eop();
    w.b.u1(138);  // between pages: still the selected page
    p.go(w.str() + "\xff");
    std::string trace = p.traceAfterBop();
    // Each label is followed by the text machine's state line; the movement
    // name comes before it.
    for (const char* label : {"<push>\nSM=<", "<r2>\nSM=<", "<pop>\nSM=<", "<nop>\nSM=<", "\neop\nSM=<"})
        EXPECT_NE(trace.find(label), std::string::npos) << label << " in " << trace;
    size_t calls = 0;
    for (size_t at = p.log.str().find("\nSM=<"); at != std::string::npos; at = p.log.str().find("\nSM=<", at + 1))
        ++calls;
    EXPECT_EQ(calls, 7u);  // bop, push, r2, pop, nop, eop, nop
    EXPECT_NE(p.svg().find("<text id=\"page1\">"), std::string::npos);
}

TEST(DvipageStop, MissingMetricsEndTheLoopAtOnce) {
    PageRun p(1);
    DviWriter w;
    w.bop(1).fntdef(4, "mvxnosuchfont");
    w.b.u1(65).u1(138);
    EXPECT_EQ(p.go(w.str()), kDvipageNoMetrics);
    EXPECT_EQ(p.out.str(), "Pages:(.*\nCan not find font metrics mvxnosuchfont.\n");
    std::string trace = p.log.str();
    std::string tail = "s/d: 1.000000\nn:mvxnosuchfont";
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(trace.substr(trace.size() - tail.size()), tail);
    EXPECT_EQ(trace.find("<nop>"), std::string::npos);
    EXPECT_EQ(trace.find("dvitfmfree"), std::string::npos);
    EXPECT_EQ(p.svg().find("</svg>"), std::string::npos);
    EXPECT_TRUE(p.pages->usedFonts().empty());
}

}  // namespace
}  // namespace morvex
