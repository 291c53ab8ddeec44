// Choosing pages by position (--pages) and writing one document per page
// (%p) through the built program: lists refused before anything is written,
// positions past the last page named, the documents each page gets, and
// the same pages chosen by position or by number.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex::testing {
namespace {

const std::string kBinary = MORVEX_BINARY;
const std::string kConfigDir = MORVEX_TEST_CONFIG_DIR;
const std::string kDviDir = MORVEX_TEST_DVI_DIR;

ProcessResult morvex(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {kBinary, "-c", kConfigDir});
    return runProcess(args, dir.path);
}

// Pages of rules only, their \count0 as given: no font, no Ghostscript.
std::string rulePages(const std::vector<int32_t>& numbers) {
    DviWriter w;
    w.pre("rules");
    int32_t n = 0;
    for (int32_t count0 : numbers) {
        w.bop(count0);
        ++n;
        // A rule n points wide, so that each page's document differs.
        w.b.u1(137).u4(65536).u4(static_cast<uint32_t>(n * 65536));
        w.eop();
    }
    w.post(39321600, 26214400, 2, static_cast<uint32_t>(numbers.size())).postpost();
    return w.str();
}

struct Input {
    TempDir dir;
    std::string dvi;
    explicit Input(const std::string& bytes) : dvi(dir.file("doc.dvi")) { writeFile(dvi, bytes); }
};

TEST(PagesCli, ListsAndOptionsThatCannotBeAreRefusedBeforeAnythingIsWritten) {
    Input in(rulePages({1, 2, 3}));
    struct Case {
        std::vector<std::string> args;
        std::string diagnostic;
    };
    const Case cases[] = {
        {{"--paths", "--pages="}, "--pages=: the list is empty"},
        {{"--paths", "--pages=0"}, "--pages=0: 0 is not a page position (the first page is 1)"},
        {{"--paths", "--pages=2-0"}, "--pages=2-0: 0 is not a page position (the first page is 1)"},
        {{"--paths", "--pages=3-1"}, "--pages=3-1: the range 3-1 runs backwards"},
        {{"--paths", "--pages=1,,2"}, "--pages=1,,2: item 2 is empty"},
        {{"--paths", "--pages=2,"}, "--pages=2,: item 2 is empty"},
        {{"--paths", "--pages=x"}, "--pages=x: \"x\" is not a page position, a range (1-5, 7-, -4) or all"},
        {{"--paths", "--pages=1;2"}, "--pages=1;2: \"1;2\" is not a page position"},
        {{"--paths", "--pages=all,1"}, "--pages=all,1: \"all\" is not a page position"},
        {{"--paths", "--pages=99999999999"}, "--pages=99999999999: 99999999999 is past the largest position"},
        {{"--pages=2", "-p", "1"}, "-p chooses pages by number and --pages by position: give one of them"},
        {{"-p", "1", "--paths", "--pages=all"}, "-p chooses pages by number and --pages by position"},
        {{"--bbox=min"}, "--bbox sets the box of the --paths document; give --paths too"},
        {{"--paths", "--bbox=tight"}, "--bbox takes page, min, paper or preview, not tight"},
        {{"--paths", "--bbox="}, "--bbox takes page, min, paper or preview, not \n"},
        {{"--paths", "--pages=all", "--pages=0"}, "--pages=0: 0 is not a page position"},
    };
    for (const Case& c : cases) {
        TempDir out;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", "page-%p.svg", in.dvi});
        ProcessResult r = morvex(out, args);
        const std::string what = c.args.back();
        EXPECT_EQ(r.exitCode, 204) << what << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find(c.diagnostic), std::string::npos) << what << ": " << r.err;
        EXPECT_TRUE(filesIn(out.path).empty()) << what;
        EXPECT_EQ(r.out.find("This is MORVEX"), std::string::npos) << what;
    }
    TempDir out;
    ProcessResult r = morvex(out, {"--paths", in.dvi, "--pages"});
    EXPECT_EQ(r.exitCode, 204);
    EXPECT_NE(r.err.find("requires an argument"), std::string::npos) << r.err;
    EXPECT_TRUE(filesIn(out.path).empty());
}

TEST(PagesCli, EachSelectedPageGetsItsDocumentAndPositionsPastTheEndAreNamed) {
    Input in(rulePages({5, 6, 7}));
    TempDir out;
    ProcessResult r = morvex(out, {"--paths", "--pages=2,3-9,12", "-o", "p%%-%p.svg", in.dvi});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("\nNo page at positions 4-9, 12: the file has 3 pages.\n"), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(out.path), (std::set<std::string>{"p%-2.svg", "p%-3.svg", "out.log"}));
    // The page's mark, then its dimensions.
    EXPECT_NE(r.out.find("Pages:.(.)\nwidth=472.270000pt, height=672.270000pt, depth=0.000000pt\n(.)\nwidth="),
              std::string::npos)
        << r.out;
    EXPECT_EQ(count(r.out, "width="), 2u);
    // The rule of page 2 is 2pt wide, that of page 3 3pt.
    EXPECT_NE(readFile(out.file("p%-2.svg")).find("width=\"2\" height=\"1\""), std::string::npos);
    EXPECT_NE(readFile(out.file("p%-3.svg")).find("width=\"3\" height=\"1\""), std::string::npos);

    // -p chooses by number, %p still names the position.
    TempDir byNumber;
    r = morvex(byNumber, {"--paths", "-p", "6", "-o", "n-%p.svg", in.dvi});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(filesIn(byNumber.path), (std::set<std::string>{"n-2.svg", "out.log"}));
    EXPECT_EQ(readFile(byNumber.file("n-2.svg")), readFile(out.file("p%-2.svg")));
}

TEST(PagesCli, NothingLeftEndsWithTheNoPageCode) {
    Input in(rulePages({1, 2}));
    {
        TempDir out;
        ProcessResult r = morvex(out, {"--paths", "--pages=3-", "-o", "p-%p.svg", in.dvi});
        EXPECT_EQ(r.exitCode, 104) << r.out;
        EXPECT_NE(r.out.find("\nNo page at positions 3-: the file has 2 pages.\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\nNone of the pages asked for is in the file.\n"), std::string::npos) << r.out;
        EXPECT_EQ(filesIn(out.path), (std::set<std::string>{"out.log"}));
    }
    {
        // One document for the pages: written, with the empty page box.
        TempDir out;
        ProcessResult r = morvex(out, {"--paths", "--pages=7", "-o", "all.svg", in.dvi});
        EXPECT_EQ(r.exitCode, 104) << r.out;
        EXPECT_NE(r.out.find("\nNo page at position 7: the file has 2 pages.\n"), std::string::npos) << r.out;
        EXPECT_NE(readFile(out.file("all.svg")).find("viewBox=\"0 0 472.27 672.27\""), std::string::npos);
    }
}

TEST(PagesCli, APageDocumentThatWouldOverwriteAnotherFileIsRefused) {
    {
        // Page 2's document would be the trace log.
        Input in(rulePages({1, 2}));
        TempDir out;
        ProcessResult r = morvex(out, {"--paths", "--pages=all", "-O", "x-2.svg", "-o", "x-%p.svg", in.dvi});
        EXPECT_EQ(r.exitCode, 40) << r.out;
        EXPECT_NE(r.out.find("the SVG document x-2.svg and the trace log x-2.svg are the same file; nothing was written."),
                  std::string::npos)
            << r.out;
        EXPECT_TRUE(filesIn(out.path).empty());
    }
    {
        // Page 1's document would be the DVI file itself.
        TempDir dir;
        const std::string bytes = rulePages({1, 2});
        writeFile(dir.file("1.dvi"), bytes);
        ProcessResult r = morvex(dir, {"--paths", "--pages=1", "-O", "/dev/null", "-o", "%p.dvi", "1.dvi"});
        EXPECT_EQ(r.exitCode, 40) << r.out;
        EXPECT_EQ(readFile(dir.file("1.dvi")), bytes);
        EXPECT_EQ(filesIn(dir.path), (std::set<std::string>{"1.dvi"}));
    }
    // Outside --paths %p is a part of the name like any other.
    Input in(rulePages({1, 2}));
    TempDir out;
    ProcessResult r = morvex(out, {"-o", "x-%p.svg", in.dvi});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(filesIn(out.path), (std::set<std::string>{"x-%p.svg", "out.log", "fonts.svg"}));
}

// A page between two others that the chain of back-pointers passes over:
// the pages after it stand at other positions in the file than the chain
// says, and a name never checked could be another file's.
TEST(PagesCli, APageTheChainDoesNotListGetsNoDocument) {
    DviWriter w;
    w.pre("hidden");
    const uint32_t first = static_cast<uint32_t>(w.b.size());
    w.bop(1).eop();
    w.bop(1).eop();  // hidden: the next page points past it
    w.lastBop = first;
    w.bop(1).eop();
    w.post(39321600, 26214400, 2, 2).postpost();
    Input in(w.str());
    TempDir out;
    ProcessResult r = morvex(out, {"--paths", "-p", "1", "-O", "x-3.svg", "-o", "x-%p.svg", in.dvi});
    EXPECT_NE(r.out.find("\nThe page at position 3 is not in the file's chain of pages; it was not written.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(filesIn(out.path), (std::set<std::string>{"x-1.svg", "x-2.svg", "x-3.svg"}));
    EXPECT_NE(readFile(out.file("x-3.svg")).find("#### dvipage"), std::string::npos) << "the log was overwritten";
}

// The first pass over the pages is silent: a stop in the pages is told
// once, with its code, and the trace log and the marks are those of one
// pass; the pages before the stop are written.
TEST(PagesCli, AStopInThePagesIsToldOnce) {
    struct Case {
        const char* name;
        std::string dvi;
        int code;
        std::string message;
    };
    std::vector<Case> cases;
    {
        DviWriter w;
        w.pre("stop").bop(1);
        w.b.u1(137).u4(65536).u4(65536);
        w.eop().bop(2).b.u1(250);  // an opcode DVI does not define
        w.eop().post(39321600, 26214400, 2, 2).postpost();
        cases.push_back({"an unknown command", w.str(), 102, "\n?\?(fa)\n"});
    }
    {
        DviWriter w;
        w.pre("stop").bop(1);
        w.b.u1(137).u4(65536).u4(65536);
        w.eop().bop(2).fntdef(0, "mvxnosuchfont");
        w.eop().post(39321600, 26214400, 2, 2).postpost();
        cases.push_back({"a font without metrics", w.str(), 200, "Can not find font metrics mvxnosuchfont"});
    }
    for (const Case& c : cases) {
        Input in(c.dvi);
        TempDir out;
        ProcessResult r = morvex(out, {"--paths", "--pages=all", "-o", "p-%p.svg", in.dvi});
        EXPECT_EQ(r.exitCode, c.code) << c.name << "\n" << r.out;
        EXPECT_EQ(count(r.out, c.message), 1u) << c.name << "\n" << r.out;
        EXPECT_EQ(count(r.out, "Pages:"), 1u) << c.name << "\n" << r.out;
        EXPECT_EQ(count(readFile(out.file("out.log")), "#### dvipage"), 1u) << c.name;
        EXPECT_TRUE(filesIn(out.path).count("p-1.svg")) << c.name;
    }
}

// The default document chooses pages by position as by number: the same
// bytes in all three files.
TEST(PagesCli, ThePageAtAPositionIsThePageOfItsNumber) {
    const std::string dvi = kDviDir + "/multi.dvi";
    TempDir byNumber, byPosition;
    ProcessResult n = morvex(byNumber, {"-p", "2", dvi});
    ProcessResult p = morvex(byPosition, {"--pages=2", dvi});
    ASSERT_EQ(n.exitCode, 0) << n.out;
    ASSERT_EQ(p.exitCode, 0) << p.out;
    for (const char* file : {"out.svg", "fonts.svg", "out.log"})
        EXPECT_EQ(readFile(byPosition.file(file)), readFile(byNumber.file(file))) << file;
    std::string withoutPage = n.out;
    withoutPage.erase(withoutPage.find("Page: 2\n"), std::string("Page: 2\n").size());
    EXPECT_EQ(p.out, withoutPage);
}

}  // namespace
}  // namespace morvex::testing
