// The words of the --paths document's invisible text, on real pages made by
// plain tex and latex at test time (Computer Modern in OT1, Latin Modern
// and CM-Super in T1): ligatures as their letters, quotes, dashes, accented
// letters, sharp s, Greek letters and symbols of the mathematics, found by
// a plain search of the text; nothing left of ligature signs, look-alike
// signs or private-use characters.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/invisible_text.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace morvex::testing {
namespace {

// Words with every ligature of the Computer Modern fonts (ffi, fi, ffl, ff,
// fl) and one without (no fj ligature), at no line's end.
constexpr const char* kWords =
    "The office staff were efficient and affluent; a fjord, a shuffle, five fine flowers.\n"
    "``Quotes'' and `single', dashes -- and --- and a-b. Stra\\ss e, \\ae on.\n";
constexpr const char* kMath =
    "\\alpha+\\beta=\\Gamma\\Delta\\Omega\\mu\\phi\\varphi\\le\\infty\\in\\to-\\sum_k\\int"
    "\\bigl(x\\bigr)\\Bigl[y\\Bigr]";
// What LaTeX adds: a mark that parts a ligature, accents, \L, \SS.
constexpr const char* kLatexWords =
    "shelf\\textcompwordmark ful. Caf\\'e, na\\\"\\i ve, G\\\"odel, {\\L}\\'od\\'z, STRA\\SS E.\n";

std::string latexSource(const std::string& preamble) {
    return "\\documentclass{article}" + preamble + "\\pagestyle{empty}\\hyphenpenalty=10000\n\\begin{document}\n" +
           kWords + kLatexWords + "\\[" + kMath + "\\]\n\\end{document}\n";
}

struct WordsDocument {
    std::string name;
    std::string program;  // tex or latex
    std::string source;
    std::string fontNeeded;  // a font the document needs in the build's map, "" for none
    std::vector<std::string> found;
};

// Found in every document: the words, quotes, dashes, sharp s, and the
// mathematics (cmmi's straight \phi and loopy \varphi; cmex's sized
// delimiters and operators as their symbols).
const std::vector<std::string> kEverywhere = {
    "office", "efficient", "affluent", "fjord", "shuffle", "five fine flowers", "\u201CQuotes\u201D",
    "\u2018single\u2019", " \u2013 ", " \u2014 ", "a-b", "Stra\u00DFe", "\u00E6on", "\u03B1", "\u03B2",
    "\u0393\u0394\u03A9\u03BC\u03D5\u03C6", "\u2264", "\u221E", "\u2208", "\u2192", "\u2212", "\u2211", "\u222B",
    "(", ")", "[", "]"};
// LaTeX's: the mark gives nothing; \SS is two letters.
const std::vector<std::string> kLatexFound = {"shelfful", "STRASSE"};
// T1's accented letters are letters of their own (OT1 sets the accent
// before the letter).
const std::vector<std::string> kT1Found = {"Caf\u00E9", "na\u00EFve", "G\u00F6del", "\u0141\u00F3d\u017A"};

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const std::vector<WordsDocument>& documents() {
    static const std::vector<WordsDocument> docs = {
        {"PlainCmr", "tex",
         std::string("\\hyphenpenalty=10000 \\nopagenumbers\n") + kWords + "$$" + kMath + "$$\n\\bye\n", "",
         kEverywhere},
        {"LatexOt1", "latex", latexSource(""), "", joined({kEverywhere, kLatexFound})},
        {"LatexT1LatinModern", "latex", latexSource("\\usepackage[T1]{fontenc}\\usepackage{lmodern}"), "ec-lmr10",
         joined({kEverywhere, kLatexFound, kT1Found})},
        {"LatexT1CmSuper", "latex", latexSource("\\usepackage[T1]{fontenc}"), "ecrm1000",
         joined({kEverywhere, kLatexFound, kT1Found})},
    };
    return docs;
}

// Characters a reader does not search for: the ligature signs, the signs
// that look like Greek letters, the mark between letters, private use.
std::string strayCharacter(const std::string& text) {
    static const std::map<std::string, std::string> kStray = {
        {"\uFB00", "ff sign"},        {"\uFB01", "fi sign"},         {"\uFB02", "fl sign"},
        {"\uFB03", "ffi sign"},       {"\uFB04", "ffl sign"},        {"\u2206", "increment sign"},
        {"\u2126", "ohm sign"},       {"\u00B5", "micro sign"},      {"\u200C", "zero width non-joiner"}};
    for (const auto& [c, what] : kStray)
        if (text.find(c) != std::string::npos) return what;
    // U+E000 to U+F8FF: EE 80 80 to EF A3 BF in UTF-8.
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(text[i]), b1 = static_cast<unsigned char>(text[i + 1]);
        if (b0 == 0xEE || (b0 == 0xEF && b1 <= 0xA3)) return "private use character";
    }
    return "";
}

struct Converted {
    std::string skip;  // why the document cannot be made here
    std::string error;
    std::string text;
};

class PathsWordsTest : public ::testing::TestWithParam<WordsDocument> {
protected:
    static void TearDownTestSuite() { dir.reset(); }

    // Each document typeset and converted once, on first use.
    static const Converted& converted(const WordsDocument& doc) {
        static std::map<std::string, Converted> done;
        if (!dir) dir = std::make_unique<TempDir>();
        auto [it, added] = done.try_emplace(doc.name);
        if (added) it->second = convert(doc);
        return it->second;
    }

    static Converted convert(const WordsDocument& doc) {
        Converted c;
        if (!doc.fontNeeded.empty() &&
            readFile(kBuildConfigDir + "/morvex.map").find("\n" + doc.fontNeeded + " ") == std::string::npos) {
            c.skip = doc.fontNeeded + " is not in the build's font map";
            return c;
        }
        if (!writeFile(dir->file(doc.name + ".tex"), doc.source)) {
            c.error = "cannot write " + doc.name + ".tex";
            return c;
        }
        ProcessResult tex =
            runProcess({doc.program, "-interaction=nonstopmode", "-halt-on-error", doc.name + ".tex"}, dir->path);
        if (tex.exitCode != 0) {
            c.error = doc.program + " failed:\n" + tex.out;
            return c;
        }
        ProcessResult run = runMorvex(dir->path, {"--paths", "-o", doc.name + ".svg", "-O", doc.name + ".trace",
                                                  doc.name + ".dvi"});
        if (run.exitCode != 0) {
            c.error = "morvex --paths ended with " + std::to_string(run.exitCode) + ":\n" + run.out;
            return c;
        }
        c.text = invisibleText(readFile(dir->file(doc.name + ".svg")));
        return c;
    }

    static std::unique_ptr<TempDir> dir;
};

std::unique_ptr<TempDir> PathsWordsTest::dir;

TEST_P(PathsWordsTest, APlainSearchFindsTheWords) {
    const Converted& c = converted(GetParam());
    if (!c.skip.empty()) GTEST_SKIP() << c.skip;
    ASSERT_EQ(c.error, "");
    for (const std::string& s : GetParam().found) EXPECT_NE(c.text.find(s), std::string::npos) << s << "\n" << c.text;
}

TEST_P(PathsWordsTest, NoSignOrMarkStandsForALetter) {
    const Converted& c = converted(GetParam());
    if (!c.skip.empty()) GTEST_SKIP() << c.skip;
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(strayCharacter(c.text), "") << c.text;
}

INSTANTIATE_TEST_SUITE_P(Documents, PathsWordsTest, ::testing::ValuesIn(documents()),
                         [](const ::testing::TestParamInfo<WordsDocument>& info) { return info.param.name; });

}  // namespace
}  // namespace morvex::testing
