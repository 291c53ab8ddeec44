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
using testing::NARROW;
using testing::PageRun;
using testing::WIDE;

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
    std::string trace;  // after the bop line
    int32_t param = 1;  // bop leaves the page number
    int32_t ruleHeight = 0;
    int32_t hBefore = 0;
    int32_t font = 0;
};

std::vector<Row> rows() {
    std::vector<Row> r;
    r.push_back({"right1 FF", Bytes().u1(143).u1(0xFF), {-1, 0, 0, 0, 0, 0}, "<r1>"});
    r.push_back({"right2 0100", Bytes().u1(144).u2(0x0100), {256, 0, 0, 0, 0, 0}, "<r2>"});
    r.push_back({"right3", Bytes().u1(145).u3(0xFFFFFE), {-2, 0, 0, 0, 0, 0}, "<r3>"});
    r.push_back({"right4", Bytes().u1(146).u4(0x80000000u), {INT32_MIN, 0, 0, 0, 0, 0}, "<r4>"});
    r.push_back({"w1 80 then w0", Bytes().u1(148).u1(0x80).u1(147), {-256, 0, -128, 0, 0, 0}, "<w1><w0>"});
    r.push_back({"w2 w3 w4", Bytes().u1(149).u2(2).u1(150).u3(3).u1(151).u4(4), {9, 0, 4, 0, 0, 0},
                 "<w2><w3><w4>"});
    r.push_back({"x1 then x0", Bytes().u1(153).u1(5).u1(152), {10, 0, 0, 5, 0, 0}, "<x1><x0>"});
    r.push_back({"x2 x3 x4", Bytes().u1(154).u2(0xFFFF).u1(155).u3(3).u1(156).u4(4), {6, 0, 0, 4, 0, 0},
                 "<x2><x3><x4>"});
    r.push_back({"down1 80", Bytes().u1(157).u1(0x80), {0, -128, 0, 0, 0, 0}, "<d1>"});
    r.push_back({"down2 3 4", Bytes().u1(158).u2(2).u1(159).u3(3).u1(160).u4(4), {0, 9, 0, 0, 0, 0},
                 "<d2><d3><d4>"});
    r.push_back({"y1..y4 and y0", Bytes().u1(162).u1(1).u1(163).u2(2).u1(164).u3(3).u1(165).u4(4).u1(161),
                 {0, 14, 0, 0, 4, 0}, "<y1><y2><y3><y4><y0>"});
    r.push_back({"z1..z4 and z0", Bytes().u1(167).u1(1).u1(168).u2(2).u1(169).u3(3).u1(170).u4(4).u1(166),
                 {0, 14, 0, 0, 0, 4}, "<z1><z2><z3><z4><z0>"});
    r.push_back({"h wraps", Bytes().u1(146).u4(0x7FFFFFFF).u1(143).u1(1), {INT32_MIN, 0, 0, 0, 0, 0}, "<r4><r1>"});
    r.push_back({"set_rule", Bytes().u1(132).u4(26214).u4(655360), {655360, 0, 0, 0, 0, 0}, "<setrule>", 655360,
                 26214});
    r.push_back({"put_rule", Bytes().u1(137).u4(26214).u4(655360), {}, "<putrule>", 655360, 26214});
    r.push_back({"nop", Bytes().u1(138), {}, "<nop>"});
    r.push_back({"push pop", Bytes().u1(143).u1(7).u1(141).u1(143).u1(9).u1(142), {7, 0, 0, 0, 0, 0},
                 "<r1><push><r1><pop>"});
    r.push_back({"eop", Bytes().u1(140), {}, "\neop"});
    r.push_back({"fnt_num_5", Bytes().u1(176), {}, "\n[fnt_num_5]", 5, 0, 0, 5});
    r.push_back({"fnt_num_63", Bytes().u1(234), {}, "\n[fnt_num_63]", 63, 0, 0, 63});
    r.push_back({"fnt1 200", Bytes().u1(235).u1(200), {}, "[fnt_1_200]", 200, 0, 0, 200});
    r.push_back({"xxx1 empty", Bytes().u1(239).u1(0).u1(138), {}, "xxx_1:<nop>"});
    r.push_back({"xxx1 up to zero byte", Bytes().u1(239).u1(5).raw({'a', 'b', 0, 'c', 'd'}).u1(138), {},
                 "xxx_1:ab<nop>"});
    r.push_back({"xxx2 32768 bytes", Bytes().u1(240).raw({0x80, 0x00}).repeat('x', 32768).u1(138), {},
                 "xxx_2:" + std::string(32768, 'x') + "<nop>"});
    // Characters, with font mvxpage selected as font 0.
    r.push_back({"set_char 65", withFont().u1(143).u1(100).u1(65), {100 + WIDE, 0, 0, 0, 0, 0}, "<r1>A", 65, 0,
                 100});
    r.push_back({"set_char 9, 0, 31, 32", withFont().u1(9).u1(0).u1(31).u1(32), {4 * NARROW, 0, 0, 0, 0, 0},
                 "^I^@^_ ", 32, 0, 3 * NARROW});
    r.push_back({"set_char 127", withFont().u1(127), {NARROW, 0, 0, 0, 0, 0}, "\x7f", 127, 0, 0});
    r.push_back({"set1 200", withFont().u1(65).u1(128).u1(200), {WIDE + NARROW, 0, 0, 0, 0, 0}, "A<set1>", 200, 0,
                 WIDE});
    r.push_back({"put1 leaves h", withFont().u1(65).u1(133).u1(65), {WIDE, 0, 0, 0, 0, 0}, "A<put1>", 65, 0, WIDE});
    r.push_back({"character without a font", Bytes().u1(143).u1(3).u1(65), {3, 0, 0, 0, 0, 0}, "<r1>A", 65, 0, 3});
    return r;
}

TEST(DvipageTable, EveryRowChangesRegistersStateAndTrace) {
    for (Row& row : rows()) {
        PageRun p;
        EXPECT_EQ(p.go(onePage(row.cmds)), DVIPAGE_UNSUPPORTED) << row.name;
        const PageLoopState& st = p.run->loop;
        EXPECT_EQ(st.regs.h, row.regs.h) << row.name;
        EXPECT_EQ(st.regs.v, row.regs.v) << row.name;
        EXPECT_EQ(st.regs.w, row.regs.w) << row.name;
        EXPECT_EQ(st.regs.x, row.regs.x) << row.name;
        EXPECT_EQ(st.regs.y, row.regs.y) << row.name;
        EXPECT_EQ(st.regs.z, row.regs.z) << row.name;
        EXPECT_EQ(st.param, row.param) << row.name;
        EXPECT_EQ(st.ruleHeight, row.ruleHeight) << row.name;
        EXPECT_EQ(st.hBefore, row.hBefore) << row.name;
        EXPECT_EQ(st.currentFont, row.font) << row.name;
        std::string trace = p.traceAfterBop();
        // The font definition of the character rows writes its own lines.
        size_t sel = trace.find("\n[fnt_num_0]");
        if (sel != std::string::npos) trace = trace.substr(sel + 12);
        EXPECT_EQ(trace, row.trace) << row.name;
    }
}

TEST(DvipageTable, UnsupportedOpcodesStopWithTheirCode) {
    std::vector<int> ops = {129, 130, 131, 134, 135, 136, 236, 237, 238, 241, 242, 244, 245, 246, 247, 249};
    for (int op = 250; op <= 255; ++op) ops.push_back(op);
    for (int op : ops) {
        PageRun p;
        EXPECT_EQ(p.go(onePage(Bytes().u1(138).u1(op).u1(138))), DVIPAGE_UNSUPPORTED) << op;
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
    EXPECT_EQ(p.go(w.str()), DVIPAGE_UNSUPPORTED);
    EXPECT_EQ(p.out.str(), "Pages:.\n?\?(ff)\n");
}

TEST(DvipageStart, TracesStackDepthAndStartsProgress) {
    PageRun p(1, 5);
    DviWriter w;
    w.bop(1).eop();
    p.go(w.str() + "\xff");
    std::string log = p.log.str();
    EXPECT_EQ(log.rfind("#### dvipage\nStack depth: 5\nbop: Page 1\n", 0), 0u) << log;
    EXPECT_EQ(p.run->stack.capacity, 5);
}

TEST(DvipageProgress, SelectedPageInParenthesesAndAnAsteriskPerDefinition) {
    PageRun p(2);
    DviWriter w;
    w.bop(1).fntdef(0, "mvxpage").eop().bop(2).eop().bop(3).eop();
    EXPECT_EQ(p.go(w.str() + "\xff"), DVIPAGE_UNSUPPORTED);
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
    EXPECT_EQ(none.svg.str(), "");  // the text machine never ran
}

TEST(DvipageBop, ResetsRegistersButNotFontStackOrHBefore) {
    PageRun p;
    DviWriter w;
    w.bop(1).fntdef(0, "mvxpage");
    w.b.u1(171).u1(148).u1(9).u1(153).u1(8).u1(162).u1(7).u1(167).u1(6).u1(65).u1(141);
    w.b.u1(132).u4(11).u4(12);
    w.eop().bop(2);
    p.go(w.str() + "\xff");
    const PageLoopState& st = p.run->loop;
    EXPECT_EQ(st.regs.h, 0);
    EXPECT_EQ(st.regs.w, 0);
    EXPECT_EQ(st.regs.z, 0);
    EXPECT_EQ(st.currentPage, 2);
    EXPECT_EQ(st.param, 2);
    EXPECT_EQ(st.ruleHeight, 11);
    EXPECT_EQ(st.hBefore, 9 + 8);
    EXPECT_EQ(st.currentFont, 0);
    EXPECT_EQ(p.run->stack.depth, 1);
}

TEST(DvipageStack, EntriesLeftOnOnePageArePoppedOnTheNext) {
    PageRun p(99, 4);
    DviWriter w;
    w.bop(1);
    w.b.u1(143).u1(10).u1(141).u1(143).u1(20).u1(141);  // h 10 pushed, then h 30 pushed
    w.eop().bop(2);
    w.b.u1(142);  // h 30
    w.b.u1(142);  // h 10
    w.b.u1(142);  // underflow
    p.go(w.str() + "\xff");
    ASSERT_GE(p.states.size(), 3u);
    size_t n = p.states.size();
    EXPECT_EQ(p.states[n - 3].regs.h, 30);
    EXPECT_EQ(p.states[n - 2].regs.h, 10);
    EXPECT_EQ(p.states[n - 1].regs.h, 10);
    EXPECT_EQ(p.out.str(), "Pages:..\nStack underflow\n\n?\?(ff)\n");
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
    EXPECT_EQ(p.go(w.str() + "\xff"), DVIPAGE_UNSUPPORTED);
    const FontTable& f = p.run->fonts;
    EXPECT_EQ(f.slots[0]->used, nullptr);
    ASSERT_NE(f.slots[1]->used, nullptr);
    EXPECT_EQ((*f.slots[1]->used)[65], 1);
    EXPECT_EQ((*f.slots[1]->used)[250], 1);
    EXPECT_EQ((*f.slots[1]->used)[66], 0);
    ASSERT_NE(f.slots[2]->used, nullptr);  // defined on the selected page, never used
    for (uint8_t flag : *f.slots[2]->used) EXPECT_EQ(flag, 0);
    EXPECT_EQ(f.slots[3]->used, nullptr);
}

TEST(DvipageUsed, PutMarksWithoutMoving) {
    PageRun p(1);
    DviWriter w;
    w.bop(1).fntdef(0, "mvxpage");
    w.b.u1(171).u1(143).u1(50).u1(133).u1(200);
    p.go(w.str() + "\xff");
    EXPECT_EQ(p.run->loop.regs.h, 50);
    EXPECT_EQ(p.run->loop.hBefore, 50);
    EXPECT_EQ((*p.run->fonts.slots[0]->used)[200], 1);
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
    EXPECT_NE(p.svg.str().find("<text id=\"page1\">"), std::string::npos);
}

TEST(DvipageStop, MissingMetricsEndTheLoopAtOnce) {
    PageRun p(1);
    DviWriter w;
    w.bop(1).fntdef(4, "mvxnosuchfont");
    w.b.u1(65).u1(138);
    EXPECT_EQ(p.go(w.str()), DVIPAGE_NO_METRICS);
    EXPECT_EQ(p.out.str(), "Pages:(.*\nCan not find font metrics mvxnosuchfont.\n");
    std::string trace = p.log.str();
    std::string tail = "s/d: 1.000000\nn:mvxnosuchfont";
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(trace.substr(trace.size() - tail.size()), tail);
    EXPECT_EQ(trace.find("<nop>"), std::string::npos);
    EXPECT_EQ(trace.find("dvitfmfree"), std::string::npos);
    EXPECT_EQ(p.svg.str().find("</svg>"), std::string::npos);
    ASSERT_NE(p.run->fonts.slots[4], nullptr);
    EXPECT_EQ(p.run->fonts.slots[4]->used, nullptr);
}

}  // namespace
}  // namespace morvex
