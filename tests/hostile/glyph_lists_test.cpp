// The glyph lists of a --paths run as kpathsea finds them, the working
// directory first: missing, hostile, too large, or pipes that no one
// writes. The run ends, the document stays well-formed text, and the
// lists it could read give the words.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "hostile/bounded_run.h"
#include "support/bytes.h"
#include "support/invisible_text.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace morvex::testing {
namespace {

// cmr10 setting "o", the ffi ligature (OT1 code 14), "ce", a word space
// and "fjord".
std::string officePage() {
    DviWriter w;
    w.pre("glyph lists");
    w.bop(1);
    w.fntdef(0, "cmr10");
    w.b.u1(171).text("o").u1(14).text("ce").u1(146).u4(218453).text("fjord");
    w.eop();
    w.post();
    w.fntdef(0, "cmr10");
    w.postpost();
    return w.str();
}

constexpr const char* kNotFound = "\nPaths: glyphlist.txt not found; the text is that of the codes";

// The UTF-8 of conv's private-use character for OT1's ffi (U+E000 + 14).
constexpr const char* kCodeOfFfi = "\uE00E";

// A pdftex list that is input from outside: markup characters, a control
// character, a lone surrogate, NUL and high bytes, a line of 2 MiB.
std::string hostilePdftexList() {
    std::string s = "\\pdfglyphtounicode{o}{003C 0026 0022}\n";
    s += "\\pdfglyphtounicode{c}{0007}\n";
    s += "\\pdfglyphtounicode{e}{D800}\n";
    s += std::string("\\pdfglyphtounicode{f\0}{0041}\n", 29);
    s += "\\pdfglyphtounicode{j}{00\xff\xfe}\r\n";
    s += "\\pdfglyphtounicode{r}{" + std::string(2u << 20, '0') + "}\n";
    s += "\\pdfglyphtounicode{ffi}{0046 0046 0049}\n";
    return s;
}

struct ListCase {
    const char* name;
    // Makes the run directory's files (given its path) and names the
    // environment of the run (given an empty directory).
    std::function<void(const std::string& dir)> files;
    std::function<std::vector<std::string>(const std::string& empty)> env;
    bool notFound;              // the trace says no list was found
    std::vector<std::string> text;  // found in the document's text
};

// The case by its name in test listings, not as bytes.
void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> noEnv(const std::string&) { return {}; }
void noFiles(const std::string&) {}

const ListCase kCases[] = {
    {"InstalledLists", noFiles, noEnv, false, {"office fjord"}},
    // Neither TeX's inputs nor its font maps hold a list.
    {"NoListFound", noFiles,
     [](const std::string& empty) {
         return std::vector<std::string>{"TEXINPUTS=" + empty, "TEXFONTMAPS=" + empty};
     },
     true, {std::string("o") + kCodeOfFfi + "ce fjord"}},
    // Without pdftex's list the Adobe list's ligature sign stands.
    {"OnlyTheAdobeLists", noFiles,
     [](const std::string& empty) { return std::vector<std::string>{"TEXINPUTS=" + empty}; }, false,
     {"o\uFB03ce fjord"}},
    // What is text of a hostile list is taken, escaped; the rest is left to
    // the next lists.
    {"HostileListInTheWorkingDirectory",
     [](const std::string& dir) { writeFile(dir + "/glyphtounicode.tex", hostilePdftexList()); }, noEnv, false,
     {"<&\"FFIce fj<&\"rd"}},
    // A list larger than any glyph list is not read at all.
    {"ListTooLarge",
     [](const std::string& dir) {
         writeFile(dir + "/glyphtounicode.tex",
                   "\\pdfglyphtounicode{ffi}{0058}\n" + std::string(5u << 20, '%') + "\n");
     },
     noEnv, false, {"o\uFB03ce fjord"}},
    // Pipes without a writer, where kpathsea looks first.
    {"PipesInTheWorkingDirectory",
     [](const std::string& dir) {
         for (const char* name : {"glyphtounicode.tex", "texglyphlist.txt", "glyphlist.txt"})
             mkfifo((dir + "/" + name).c_str(), 0600);
     },
     noEnv, true, {"fjord"}},
};

class GlyphListsTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(GlyphListsTest, TheRunEndsWithAWellFormedText) {
    const ListCase& c = GetParam();
    TempDir dir;
    const std::string tmp = dir.file("tmp"), empty = dir.file("empty");
    mkdir(tmp.c_str(), 0700);
    mkdir(empty.c_str(), 0700);
    ASSERT_TRUE(writeFile(dir.file("in.dvi"), officePage()));
    c.files(dir.path);
    Limits limits;
    limits.wallSeconds = 30;
    const BoundedResult r = runBounded(morvexArgs({"--paths", "in.dvi"}), dir.path, tmp, c.env(empty), limits);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string svg = readFile(dir.file("out.svg"));
    ProcessResult lint = runProcess({"xmllint", "--noout", dir.file("out.svg")}, "/");
    EXPECT_EQ(lint.exitCode, 0) << lint.err.substr(0, 2000);
    for (unsigned char b : svg) ASSERT_TRUE(b >= 0x20 || b == '\n') << "control byte " << static_cast<int>(b);
    EXPECT_EQ(readFile(dir.file("out.log")).find(kNotFound) != std::string::npos, c.notFound);
    const std::string text = invisibleText(svg);
    for (const std::string& s : c.text) EXPECT_NE(text.find(s), std::string::npos) << s << "\n" << text;
}

INSTANTIATE_TEST_SUITE_P(Lists, GlyphListsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ListCase>& info) { return info.param.name; });

}  // namespace
}  // namespace morvex::testing
