#include "svg/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex {
namespace {

using testing::OutCapture;

constexpr float kPtPerDvi = 1.0f / 65536.0f;

enum : int32_t {
    SET_RULE = 132,
    PUT1 = 133,
    PUT_RULE = 137,
    NOP = 138,
    BOP = 139,
    EOP = 140,
    PUSH = 141,
    POP = 142,
    RIGHT3 = 145,
    W0 = 147,
    DOWN2 = 158,
    Z0 = 166,
    FNT_NUM_0 = 171,
    FNT1 = 235,
    XXX1 = 239,
    FNT_DEF1 = 243,
};

// One machine with its three output streams; cmd() hands it a command as
// the page loop does.
struct Machine {
    TextMachine tm;
    OutCapture svg, log, out;
    float ptPerDvi = kPtPerDvi;

    void cmd(int32_t opcode, int32_t param = 0, int32_t hBefore = 0, int32_t v = 0, int32_t ruleHeight = 0) {
        DviRegisters regs;
        regs.h = 0x7777;  // only v may matter
        regs.v = v;
        dvipagetext(tm, ptPerDvi, opcode, param, ruleHeight, hBefore, svg.f, log.f, regs, out.f);
    }
    // The states of the "\nSM=<%d>" lines in order, as digits.
    std::string states() {
        std::string s, l = log.str();
        for (size_t p = l.find("\nSM=<"); p != std::string::npos; p = l.find("\nSM=<", p + 1)) s += l[p + 5];
        return s;
    }
};

std::string tspan(const std::string& x, const std::string& y, const std::string& text) {
    return "\n<tspan x=\"" + x + "pt\" y=\"" + y + "pt\">" + text + "</tspan>";
}

TEST(TextMachine, WritesTheWordsOfAPage) {
    Machine m;
    m.cmd(BOP, 1);
    m.cmd(FNT_NUM_0, 0);
    m.cmd('H', 'H', 655360, 0);
    m.cmd('i', 'i', 655360 + 491520, 0);
    m.cmd(RIGHT3, 0);
    m.cmd('!', '!', 1545557, 0);
    m.cmd(EOP);
    EXPECT_EQ(m.svg.str(), "\n<text id=\"page1\">\n<tspan style=\"&st0;\">" + tspan("82.27", "72.27", "Hi") +
                               tspan("95.85", "72.27", "!") + "\n</tspan>\n</text>");
    EXPECT_EQ(m.log.str(), "\nSM=<1>\nSM=<2>SM=(H)\nSM=<3>SM=(Hi)\nSM=<3>\nSM=<4>SM=(!)\nSM=<3>\nSM=<0>");
    EXPECT_EQ(m.states(), "1233430");
    EXPECT_EQ(m.out.str(), "");
}

// Every cell of the transition table, entered by setting the state directly.
// In SM_RUN a run "A" at (0, 0) is pending.
TEST(TextMachine, TransitionTable) {
    const std::string runA = tspan("72.27", "72.27", "A");
    const std::string rect = "\n<rect width=\"655360\" height=\"26214\"/>";
    struct Input {
        const char* name;
        int32_t opcode, param;
    };
    const std::vector<Input> inputs = {{"bop", BOP, 7},       {"eop", EOP, 0},       {"font", FNT_NUM_0 + 5, 5},
                                       {"char", 'B', 'B'},    {"move", RIGHT3, 0},   {"rule", SET_RULE, 655360},
                                       {"other", PUSH, 0}};
    struct Cell {
        std::string svg;
        TextState next;
    };
    // Rows by state, columns as in inputs.
    const std::vector<std::vector<Cell>> table = {
        /* SM_OUTSIDE */ {{"\n<text id=\"page7\">", SM_TEXT}, {"", SM_OUTSIDE}, {"", SM_OUTSIDE}, {"", SM_OUTSIDE},
                          {"", SM_OUTSIDE}, {rect, SM_OUTSIDE}, {"", SM_OUTSIDE}},
        /* SM_TEXT */ {{"", SM_TEXT}, {"\n</text>", SM_OUTSIDE}, {"\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_TEXT},
                       {"", SM_TEXT}, {rect, SM_TEXT}, {"", SM_TEXT}},
        /* SM_SPAN */ {{"", SM_SPAN}, {"\n</tspan>\n</text>", SM_OUTSIDE},
                       {"\n</tspan>\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_RUN}, {"", SM_SPAN}, {rect, SM_SPAN},
                       {"", SM_SPAN}},
        /* SM_RUN */ {{"", SM_RUN}, {runA + "\n</tspan>\n</text>", SM_OUTSIDE},
                      {runA + "\n</tspan>\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_RUN}, {runA, SM_MOVED},
                      {rect, SM_RUN}, {"", SM_RUN}},
        /* SM_MOVED */ {{"", SM_MOVED}, {"\n</tspan>\n</text>", SM_OUTSIDE},
                        {"\n</tspan>\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_RUN}, {"", SM_MOVED},
                        {rect, SM_MOVED}, {"", SM_MOVED}},
    };
    for (int s = SM_OUTSIDE; s <= SM_MOVED; ++s) {
        for (size_t i = 0; i < inputs.size(); ++i) {
            SCOPED_TRACE(std::string("state ") + std::to_string(s) + ", " + inputs[i].name);
            Machine m;
            m.tm.state = static_cast<TextState>(s);
            if (s == SM_RUN) m.tm.run.codes = "A";
            m.cmd(inputs[i].opcode, inputs[i].param, 65536, 131072, 26214);
            const Cell& want = table[s][i];
            EXPECT_EQ(m.svg.str(), want.svg);
            EXPECT_EQ(static_cast<int>(m.tm.state), static_cast<int>(want.next));
            std::string trace = "\nSM=<" + std::to_string(static_cast<int>(want.next)) + ">";
            bool appends = inputs[i].opcode == 'B' && s >= SM_SPAN;
            if (appends) {
                // A run that starts takes the h before the character and v.
                std::string codes = s == SM_RUN ? "AB" : "B";
                trace = "SM=(" + codes + ")" + trace;
                EXPECT_EQ(m.tm.run.codes, codes);
                EXPECT_EQ(m.tm.run.startH, s == SM_RUN ? 0 : 65536);
                EXPECT_EQ(m.tm.run.startV, s == SM_RUN ? 0 : 131072);
            } else {
                // Writing a run empties it; nothing else touches it.
                bool flushed = s == SM_RUN && want.svg.rfind(runA, 0) == 0;
                EXPECT_EQ(m.tm.run.codes, s == SM_RUN && !flushed ? "A" : "");
            }
            EXPECT_EQ(m.log.str(), trace);
        }
    }
}

// Which commands count as characters, movements, fonts and rules, over all
// 256 opcodes, seen from a pending run.
TEST(TextMachine, ClassifiesEveryOpcode) {
    for (int op = 0; op < 256; ++op) {
        SCOPED_TRACE(op);
        Machine m;
        m.tm.state = SM_RUN;
        m.tm.run.codes = "A";
        m.cmd(op, 'B', 0, 0, 1);
        bool character = op <= 128 || op == PUT1;
        bool movement = op >= 143 && op <= 170;
        bool font = op >= FNT_NUM_0 && op <= FNT1;
        bool rule = op == SET_RULE || op == PUT_RULE;
        TextState want = character ? SM_RUN : movement ? SM_MOVED : font ? SM_SPAN : op == EOP ? SM_OUTSIDE : SM_RUN;
        EXPECT_EQ(static_cast<int>(m.tm.state), static_cast<int>(want));
        EXPECT_EQ(m.tm.run.codes, character ? "AB" : (want == SM_RUN ? "A" : ""));
        EXPECT_EQ(m.svg.str().find("<rect") != std::string::npos, rule);
        // Only bop opens a text element from outside.
        Machine o;
        o.cmd(op, 3);
        EXPECT_EQ(o.svg.str(), op == BOP ? "\n<text id=\"page3\">" : rule ? "\n<rect width=\"3\" height=\"0\"/>" : "");
    }
}

TEST(TextMachine, PositionsInPoints) {
    struct Case {
        int32_t h, v;
        float ptPerDvi;
        const char* x;
        const char* y;
    };
    const std::vector<Case> cases = {
        {0, 0, kPtPerDvi, "72.27", "72.27"},
        {-65536, -6553600, kPtPerDvi, "71.27", "-27.73"},
        // The product is rounded to single precision before the margin is
        // added in double precision.
        {1963679703, -1346468276, kPtPerDvi, "30035.65", "-20473.20"},
        {-1785035121, 0, 4.650879055e-05f, "-82947.56", "72.27"},
        {-2147483647 - 1, 2147483647, kPtPerDvi, "-32695.73", "32840.27"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        Machine m;
        m.ptPerDvi = c.ptPerDvi;
        m.tm.state = SM_SPAN;
        m.cmd('a', 'a', c.h, c.v);
        m.cmd(W0);
        EXPECT_EQ(m.svg.str(), tspan(c.x, c.y, "a"));
    }
}

TEST(TextMachine, RunsEndOnlyAtMovementsFontsAndPageEnds) {
    Machine m;
    m.cmd(BOP, 2);
    m.cmd(FNT_NUM_0 + 1, 1);
    m.cmd('a', 'a', 0, 65536);
    m.cmd(PUSH);
    m.cmd(SET_RULE, 655360, 0, 0, 26214);  // a rule stands before the pending run
    m.cmd(POP);
    m.cmd(NOP);
    m.cmd(XXX1);
    m.cmd(FNT_DEF1);
    m.cmd('b', 'b', 720896, 99999);
    m.cmd(DOWN2);
    m.cmd(Z0);  // a second movement writes nothing
    m.cmd(PUT_RULE, -5, 0, 0, 0);
    m.cmd('c', 'c', 131072, 131072);
    m.cmd(FNT1, 200);  // the font change writes the run and opens a new span
    m.cmd('d', 'd', 196608, 131072);
    m.cmd(EOP);  // the run still pending at the end of the page is written
    EXPECT_EQ(m.svg.str(), "\n<text id=\"page2\">\n<tspan style=\"&st1;\">\n<rect width=\"655360\" height=\"26214\"/>" +
                               tspan("72.27", "73.27", "ab") + "\n<rect width=\"-5\" height=\"0\"/>" +
                               tspan("74.27", "74.27", "c") + "\n</tspan>\n<tspan style=\"&st200;\">" +
                               tspan("75.27", "74.27", "d") + "\n</tspan>\n</text>");
    EXPECT_EQ(m.states(), "12333333334443230");
}

// A page without a font selection closes its text element; a font selection
// right after another replaces the span; both keep the markup balanced.
TEST(TextMachine, EmptyPagesAndRepeatedFontSelections) {
    Machine m;
    m.cmd(BOP, 5);
    m.cmd(EOP);
    m.cmd(NOP);  // between pages
    m.cmd(BOP, 5);
    m.cmd(FNT_NUM_0 + 3, 3);
    m.cmd(FNT_NUM_0 + 4, 4);
    m.cmd('x', 'x', 0, 0);
    m.cmd(EOP);
    EXPECT_EQ(m.svg.str(), "\n<text id=\"page5\">\n</text>\n<text id=\"page5\">\n<tspan style=\"&st3;\">"
                           "\n</tspan>\n<tspan style=\"&st4;\">" +
                               tspan("72.27", "72.27", "x") + "\n</tspan>\n</text>");
    EXPECT_EQ(m.states(), "10012230");
}

TEST(TextMachine, FullRunIsWrittenAndANewOneStartsAtTheNextCharacter) {
    Machine m;
    m.tm.state = SM_SPAN;
    for (int i = 0; i < 4095; ++i) m.cmd('a', 'a', i * 65536, 0);
    EXPECT_EQ(m.tm.run.codes.size(), 4095u);
    EXPECT_EQ(m.svg.str(), "");
    m.cmd('b', 'b', 4095 * 65536, 65536);
    EXPECT_EQ(m.tm.state, SM_RUN);
    EXPECT_EQ(m.tm.run.codes, "b");
    m.cmd('c', 'c', 4096 * 65536, 65536);
    m.cmd(EOP);
    EXPECT_EQ(m.svg.str(), tspan("72.27", "72.27", std::string(4095, 'a')) + tspan("4167.27", "73.27", "bc") +
                               "\n</tspan>\n</text>");
    std::string log = m.log.str();
    EXPECT_NE(log.find("SM=(" + std::string(4095, 'a') + ")\nSM=<3>SM=(b)\nSM=<3>SM=(bc)\nSM=<3>\nSM=<0>"),
              std::string::npos);
}

// Code 0 is a character like any other: the run keeps it and what follows,
// the trace shows the raw codes.
TEST(TextMachine, CodeZeroIsCarriedThrough) {
    Machine m;
    m.tm.state = SM_SPAN;
    m.cmd('a', 'a', 0, 0);
    m.cmd(0, 0, 1000, 0);
    m.cmd(PUT1, 0x100 + 'b', 2000, 0);  // only the low eight bits are a code
    m.cmd(RIGHT3);
    EXPECT_EQ(m.svg.str(), tspan("72.27", "72.27", "a\xEE\x80\x80" "b"));
    using namespace std::string_literals;
    EXPECT_EQ(m.log.str(), "SM=(a)\nSM=<3>SM=(a\0)\nSM=<3>SM=(a\0b)\nSM=<3>\nSM=<4>"s);
    EXPECT_EQ(m.out.str(), "Warning: conv()");
}

// Any command sequence, however malformed, ending with an end of page gives
// markup that a real XML parser reads.
TEST(TextMachine, AnyCommandSequenceGivesWellFormedMarkup) {
    std::mt19937 rng(20261209);
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE svg [";
    for (int f = 0; f < 256; ++f) doc += "\n<!ENTITY st" + std::to_string(f) + " \"font-family:f" + std::to_string(f) + "\">";
    doc += "\n]>\n<svg>";
    Machine m;
    const std::vector<int32_t> common = {BOP, EOP, FNT_NUM_0, FNT1, 'a', '&', '<', 0, 2, 0x87, RIGHT3, SET_RULE, PUSH};
    for (int page = 0; page < 200; ++page) {
        int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            int32_t op = (rng() % 2) != 0 ? common[rng() % common.size()] : static_cast<int32_t>(rng() % 256);
            int32_t param = op >= FNT_NUM_0 && op <= FNT1 ? static_cast<int32_t>(rng() % 256)
                                                           : static_cast<int32_t>(rng() % 256);
            m.cmd(op, op <= 128 ? op : param, static_cast<int32_t>(rng()), static_cast<int32_t>(rng()),
                  static_cast<int32_t>(rng()));
        }
        m.cmd(EOP);
        ASSERT_EQ(m.tm.state, SM_OUTSIDE);
    }
    doc += m.svg.str() + "\n</svg>\n";
    testing::TempDir dir;
    ASSERT_TRUE(testing::writeFile(dir.file("out.svg"), doc));
    auto r = testing::runProcess({"xmllint", "--noent", "--noout", dir.file("out.svg")}, dir.path);
    EXPECT_EQ(r.exitCode, 0) << r.err.substr(0, 2000);
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace morvex
