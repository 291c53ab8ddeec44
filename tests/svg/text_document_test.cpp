// The text state machine of the default document: every cell of its
// transition table, run positions, and markup that stays balanced.
#include "svg/text_document.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex {
namespace {

using testing::HandedCapture;
using testing::OutCapture;

constexpr float kPtPerDvi = 1.0f / 65536.0f;

// The events of a page, by the command class the machine tells apart.
enum class In { Bop, Eop, Font, Char, Put, Move, Rule, Other };

// One document with its trace and message streams; after the prologue only
// the markup and the trace of the events handed to it count.
struct Machine {
    OutCapture log, out;
    HandedCapture svgBytes;
    TextDocument doc;
    size_t svgMark = 0;
    size_t logMark = 0;

    explicit Machine(float ptPerDvi = kPtPerDvi) : doc(svgBytes.handle(), log.f, out.f) {
        DviFrame frame;
        frame.ptPerDvi = ptPerDvi;
        frame.fontsComplete = true;
        // Every font number has its style entity but 77.
        for (int32_t k = 0; k < 256; ++k)
            if (k != 77) frame.fonts.push_back({k, 0, 655360, 655360, "f" + std::to_string(k)});
        doc.prologue(frame, "fonts.svg");
        markHere();
    }

    // param is the page, font, code or rule width, as the event has it.
    void cmd(In in, int32_t param = 0, int32_t h = 0, int32_t v = 0, int32_t ruleHeight = 0) {
        switch (in) {
            case In::Bop: doc.pageBegin(param, 1); break;
            case In::Eop: doc.pageEnd(); break;
            case In::Font: doc.fontSelect(param); break;
            case In::Char: doc.character({param, 0, nullptr, h, v, 100, false}); break;
            case In::Put: doc.character({param, 0, nullptr, h, v, 100, true}); break;
            case In::Move: doc.movement(h, v); break;
            case In::Rule: doc.rule({h, v, ruleHeight, param, false}); break;
            case In::Other: doc.plain(PlainCommand::Push); break;
        }
    }
    void chr(char c, int32_t h = 0, int32_t v = 0) { cmd(In::Char, static_cast<unsigned char>(c), h, v); }

    // Brings the machine into a state by the events of a page; a pending
    // run then holds "A" at (0, 0). What this writes is not looked at.
    void enter(TextState s) {
        if (s == SM_OUTSIDE) return;
        cmd(In::Bop, 1);
        if (s != SM_TEXT) cmd(In::Font, 0);
        if (s == SM_RUN || s == SM_MOVED) chr('A');
        if (s == SM_MOVED) cmd(In::Move);
        markHere();
    }
    void markHere() {
        std::fflush(log.f);
        svgMark = flushedSvg().size();
        logMark = log.str().size();
    }
    std::string flushedSvg() {
        svgBytes.flush();
        return svgBytes.str();
    }
    std::string svg() { return flushedSvg().substr(svgMark); }
    std::string trace() { return log.str().substr(logMark); }
    // The states of the "\nSM=<%d>" lines in order, as digits.
    std::string states() {
        std::string s, l = trace();
        for (size_t p = l.find("\nSM=<"); p != std::string::npos; p = l.find("\nSM=<", p + 1)) s += l[p + 5];
        return s;
    }
};

std::string tspan(const std::string& x, const std::string& y, const std::string& text) {
    return "\n<tspan x=\"" + x + "pt\" y=\"" + y + "pt\">" + text + "</tspan>";
}

TEST(TextMachine, WritesTheWordsOfAPage) {
    Machine m;
    m.cmd(In::Bop, 1);
    m.cmd(In::Font, 0);
    m.chr('H', 655360, 0);
    m.chr('i', 655360 + 491520, 0);
    m.cmd(In::Move);
    m.chr('!', 1545557, 0);
    m.cmd(In::Eop);
    EXPECT_EQ(m.svg(), "\n<text id=\"page1\">\n<tspan style=\"&st0;\">" + tspan("82.27", "72.27", "Hi") +
                           tspan("95.85", "72.27", "!") + "\n</tspan>\n</text>");
    EXPECT_EQ(m.trace(), "\nSM=<1>\nSM=<2>SM=(H)\nSM=<3>SM=(Hi)\nSM=<3>\nSM=<4>SM=(!)\nSM=<3>\nSM=<0>");
    EXPECT_EQ(m.states(), "1233430");
    EXPECT_EQ(m.out.str(), "");
}

// Every cell of the transition table. In SM_RUN a run "A" at (0, 0) is
// pending.
TEST(TextMachine, TransitionTable) {
    const std::string runA = tspan("72.27", "72.27", "A");
    const std::string rect = "\n<rect width=\"655360\" height=\"26214\"/>";
    struct Input {
        const char* name;
        In in;
        int32_t param;
    };
    const std::vector<Input> inputs = {{"bop", In::Bop, 7},        {"eop", In::Eop, 0},   {"font", In::Font, 5},
                                       {"char", In::Char, 'B'},    {"move", In::Move, 0}, {"rule", In::Rule, 655360},
                                       {"other", In::Other, 0}};
    struct Cell {
        std::string svg;
        TextState next;
    };
    // Rows by state, columns as in inputs. A bop while a page is open (a
    // page without eop) first closes that page as eop would.
    const std::string open7 = "\n<text id=\"page7\">";
    const std::vector<std::vector<Cell>> table = {
        /* SM_OUTSIDE */ {{open7, SM_TEXT}, {"", SM_OUTSIDE}, {"", SM_OUTSIDE}, {"", SM_OUTSIDE},
                          {"", SM_OUTSIDE}, {rect, SM_OUTSIDE}, {"", SM_OUTSIDE}},
        /* SM_TEXT */ {{"\n</text>" + open7, SM_TEXT}, {"\n</text>", SM_OUTSIDE}, {"\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_TEXT},
                       {"", SM_TEXT}, {rect, SM_TEXT}, {"", SM_TEXT}},
        /* SM_SPAN */ {{"\n</tspan>\n</text>" + open7, SM_TEXT}, {"\n</tspan>\n</text>", SM_OUTSIDE},
                       {"\n</tspan>\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_RUN}, {"", SM_SPAN}, {rect, SM_SPAN},
                       {"", SM_SPAN}},
        /* SM_RUN */ {{runA + "\n</tspan>\n</text>" + open7, SM_TEXT}, {runA + "\n</tspan>\n</text>", SM_OUTSIDE},
                      {runA + "\n</tspan>\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_RUN}, {runA, SM_MOVED},
                      {rect, SM_RUN}, {"", SM_RUN}},
        /* SM_MOVED */ {{"\n</tspan>\n</text>" + open7, SM_TEXT}, {"\n</tspan>\n</text>", SM_OUTSIDE},
                        {"\n</tspan>\n<tspan style=\"&st5;\">", SM_SPAN}, {"", SM_RUN}, {"", SM_MOVED},
                        {rect, SM_MOVED}, {"", SM_MOVED}},
    };
    for (int s = SM_OUTSIDE; s <= SM_MOVED; ++s) {
        for (size_t i = 0; i < inputs.size(); ++i) {
            SCOPED_TRACE(std::string("state ") + std::to_string(s) + ", " + inputs[i].name);
            Machine m;
            m.enter(static_cast<TextState>(s));
            ASSERT_EQ(m.doc.state(), s);
            m.cmd(inputs[i].in, inputs[i].param, 65536, 131072, 26214);
            const Cell& want = table[s][i];
            EXPECT_EQ(m.svg(), want.svg);
            EXPECT_EQ(static_cast<int>(m.doc.state()), static_cast<int>(want.next));
            std::string trace = "\nSM=<" + std::to_string(static_cast<int>(want.next)) + ">";
            if (inputs[i].in == In::Char && s >= SM_SPAN) trace = "SM=(" + std::string(s == SM_RUN ? "AB" : "B") + ")" + trace;
            if (inputs[i].in == In::Bop && s != SM_OUTSIDE) trace = "\nSM=<0>" + trace;
            EXPECT_EQ(m.trace(), trace);
        }
    }
}

// What a run holds and where it stands after each cell: a movement writes
// the run at the position of its first character.
TEST(TextMachine, RunsStartAtTheirFirstCharacter) {
    for (TextState s : {SM_SPAN, SM_RUN, SM_MOVED}) {
        SCOPED_TRACE(static_cast<int>(s));
        Machine m;
        m.enter(s);
        m.chr('B', 65536, 131072);
        m.cmd(In::Put, 'C', 999999, 999999);
        m.cmd(In::Move);
        EXPECT_EQ(m.svg(), s == SM_RUN ? tspan("72.27", "72.27", "ABC") : tspan("73.27", "74.27", "BC"));
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
        Machine m(c.ptPerDvi);
        m.enter(SM_SPAN);
        m.chr('a', c.h, c.v);
        m.cmd(In::Move);
        EXPECT_EQ(m.svg(), tspan(c.x, c.y, "a"));
    }
}

TEST(TextMachine, RunsEndOnlyAtMovementsFontsAndPageEnds) {
    Machine m;
    m.cmd(In::Bop, 2);
    m.cmd(In::Font, 1);
    m.chr('a', 0, 65536);
    m.cmd(In::Other);
    m.cmd(In::Rule, 655360, 0, 0, 26214);  // a rule stands before the pending run
    m.doc.plain(PlainCommand::Pop);
    m.doc.plain(PlainCommand::Nop);
    m.doc.special(SpecialEvent{0, 0, "color push rgb 1 0 0", 20});
    m.doc.plain(PlainCommand::FontDef);
    m.chr('b', 720896, 99999);
    m.cmd(In::Move);
    m.cmd(In::Move);  // a second movement writes nothing
    m.cmd(In::Rule, -5, 0, 0, 0);
    m.chr('c', 131072, 131072);
    m.cmd(In::Font, 200);  // the font change writes the run and opens a new span
    m.chr('d', 196608, 131072);
    m.cmd(In::Eop);  // the run still pending at the end of the page is written
    EXPECT_EQ(m.svg(), "\n<text id=\"page2\">\n<tspan style=\"&st1;\">\n<rect width=\"655360\" height=\"26214\"/>" +
                           tspan("72.27", "73.27", "ab") + "\n<rect width=\"-5\" height=\"0\"/>" +
                           tspan("74.27", "74.27", "c") + "\n</tspan>\n<tspan style=\"&st200;\">" +
                           tspan("75.27", "74.27", "d") + "\n</tspan>\n</text>");
    EXPECT_EQ(m.states(), "12333333334443230");
}

// A page without a font selection closes its text element; a font selection
// right after another replaces the span; both keep the markup balanced.
TEST(TextMachine, EmptyPagesAndRepeatedFontSelections) {
    Machine m;
    m.cmd(In::Bop, 5);
    m.cmd(In::Eop);
    m.cmd(In::Other);  // between pages
    m.cmd(In::Bop, 5);
    m.cmd(In::Font, 3);
    m.cmd(In::Font, 4);
    m.chr('x', 0, 0);
    m.cmd(In::Eop);
    EXPECT_EQ(m.svg(), "\n<text id=\"page5\">\n</text>\n<text id=\"page5\">\n<tspan style=\"&st3;\">"
                       "\n</tspan>\n<tspan style=\"&st4;\">" +
                           tspan("72.27", "72.27", "x") + "\n</tspan>\n</text>");
    EXPECT_EQ(m.states(), "10012230");
}

TEST(TextMachine, FullRunIsWrittenAndANewOneStartsAtTheNextCharacter) {
    Machine m;
    m.enter(SM_SPAN);
    for (int i = 0; i < 4095; ++i) m.chr('a', i * 65536, 0);
    EXPECT_EQ(m.svg(), "");
    m.chr('b', 4095 * 65536, 65536);
    EXPECT_EQ(m.doc.state(), SM_RUN);
    m.chr('c', 4096 * 65536, 65536);
    m.cmd(In::Eop);
    EXPECT_EQ(m.svg(), tspan("72.27", "72.27", std::string(4095, 'a')) + tspan("4167.27", "73.27", "bc") +
                           "\n</tspan>\n</text>");
    EXPECT_NE(m.trace().find("SM=(" + std::string(4095, 'a') + ")\nSM=<3>SM=(b)\nSM=<3>SM=(bc)\nSM=<3>\nSM=<0>"),
              std::string::npos);
}

// Malformed pages still give balanced markup: a font the postamble does
// not define gets a style without entity, a page without eop is closed at
// the next page and at the document's end.
TEST(TextMachine, MalformedPagesStayBalanced) {
    Machine m;
    m.cmd(In::Bop, 1);
    m.cmd(In::Font, 77);
    m.chr('a');
    m.cmd(In::Bop, 1);  // no eop before it
    m.cmd(In::Font, 3);
    m.chr('b');
    m.doc.end();  // nor before the end
    EXPECT_EQ(m.svg(), "\n<text id=\"page1\">\n<tspan style=\"font-family:undeclared-font-77;\">" +
                           tspan("72.27", "72.27", "a") + "\n</tspan>\n</text>\n<text id=\"page1\">\n<tspan style=\"&st3;\">" +
                           tspan("72.27", "72.27", "b") + "\n</tspan>\n</text>\n</svg>\n");
}

// Code 0 is a character like any other: the run keeps it and what follows,
// the trace shows the raw codes.
TEST(TextMachine, CodeZeroIsCarriedThrough) {
    Machine m;
    m.enter(SM_SPAN);
    m.chr('a', 0, 0);
    m.cmd(In::Char, 0, 1000, 0);
    m.cmd(In::Put, 'b', 2000, 0);
    m.cmd(In::Move);
    EXPECT_EQ(m.svg(), tspan("72.27", "72.27", "a\xEE\x80\x80" "b"));
    using namespace std::string_literals;
    EXPECT_EQ(m.trace(), "SM=(a)\nSM=<3>SM=(a\0)\nSM=<3>SM=(a\0b)\nSM=<3>\nSM=<4>"s);
    EXPECT_EQ(m.out.str(), "Warning: conv()");
}

// Any event sequence, however malformed, ending with an end of page gives
// markup that a real XML parser reads.
TEST(TextMachine, AnyEventSequenceGivesWellFormedMarkup) {
    std::mt19937 rng(20261209);
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE svg [";
    for (int f = 0; f < 256; ++f) doc += "\n<!ENTITY st" + std::to_string(f) + " \"font-family:f" + std::to_string(f) + "\">";
    doc += "\n]>\n<svg>";
    Machine m;
    const std::vector<int32_t> codes = {'a', '&', '<', 0, 2, 0x87, 0xFF};
    for (int page = 0; page < 200; ++page) {
        int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            In in = static_cast<In>(rng() % 8);
            int32_t param = in == In::Char || in == In::Put ? (rng() % 2 ? codes[rng() % codes.size()] : rng() % 256)
                                                           : static_cast<int32_t>(rng() % 256);
            m.cmd(in, param, static_cast<int32_t>(rng()), static_cast<int32_t>(rng()), static_cast<int32_t>(rng()));
        }
        m.cmd(In::Eop);
        ASSERT_EQ(m.doc.state(), SM_OUTSIDE);
    }
    doc += m.svg() + "\n</svg>\n";
    testing::TempDir dir;
    ASSERT_TRUE(testing::writeFile(dir.file("out.svg"), doc));
    auto r = testing::runProcess({"xmllint", "--noent", "--noout", dir.file("out.svg")}, dir.path);
    EXPECT_EQ(r.exitCode, 0) << r.err.substr(0, 2000);
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace morvex
