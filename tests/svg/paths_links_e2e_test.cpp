// hyperref's hypertex links and its dvips driver's marks on LaTeX pages
// made at test time, and raw
// html: specials of plain TeX, through the built binary: every \href, \url,
// \ref, \hyperlink and \cite a link with its target over its own words (the
// glyphs' uses in the document), a link broken over two lines two areas,
// one open over a page's end an area on each page, internal links that
// find their place in the document and across page documents, and a
// javascript: target left out with a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "support/svg_walk.h"

namespace morvex::testing {
namespace {

constexpr const char* kLatex = R"TEX(\documentclass{article}
\usepackage[hypertex]{hyperref}
\pagestyle{empty}
\hyphenpenalty=10000
\begin{document}
\section{Start}\label{sec:start}
See \href{https://example.org/a?b=1&c=2}{the example site} and \url{http://tug.org/}.
Section~\ref{sec:start} and \hyperlink{there}{a link there}.
Never \href{javascript:alert(1)}{this one} at all, says \cite{knuth}.

\parbox[t]{45mm}{Words, and then \href{http://wrap.example/}{a link whose words run over the line end} now.}
\newpage
\hypertarget{there}{Here} it is.
\begin{thebibliography}{1}
\bibitem{knuth} D. E. Knuth, The \TeX book.
\end{thebibliography}
\end{document}
)TEX";

// The same page through hyperref's default driver for DVI files, dvips:
// its links and places are PostScript marks that the picture run reports.
std::string dvipsDriverPage() {
    std::string page = kLatex;
    const std::string hypertex = "\\usepackage[hypertex]{hyperref}";
    page.replace(page.find(hypertex), hypertex.size(), "\\usepackage[pdftitle={Links, \\& Places}]{hyperref}");
    return page;
}

// A link that starts on one page and ends on the next, in the old
// spelling, and a place after it.
constexpr const char* kPlain = R"TEX(\nopagenumbers
\hsize=4in \vsize=2in
Words \special{HTML:<A HREF="\string#far">}go on\vfill\eject
over the page\special{html:</a>} and
\special{html:<a name="far">}\special{html:</a>}end.
\bye
)TEX";

// A glyph's use: the character of its code and its reference point in
// the document.
struct Glyph {
    char c;
    double x, y;
};

struct Area {
    std::string href;
    double x0, y0, x1, y1;
    // A reference point inside, its baseline on the bottom edge included
    // (the numbers are rounded to 0.001): the next glyph's point, where
    // the last glyph ends, is outside.
    bool holds(const Glyph& g) const {
        constexpr double kRounding = 0.01;
        return g.x >= x0 - kRounding && g.x < x1 - kRounding && g.y >= y0 - kRounding && g.y <= y1 + kRounding;
    }
};

struct Drawn {
    std::vector<Glyph> glyphs;
    std::vector<Area> areas;
};

Drawn drawnOf(const std::string& svg) {
    Drawn d;
    // The target of each link rectangle, in document order.
    std::vector<std::string> hrefs;
    static const std::regex kLink(R"re(<a href="([^"]*)"[^>]*>((<rect [^>]*/>)+)</a>)re");
    for (std::sregex_iterator it(svg.begin(), svg.end(), kLink), end; it != end; ++it) {
        const std::string rects = (*it)[2];
        for (size_t at = rects.find("<rect"); at != std::string::npos; at = rects.find("<rect", at + 1))
            hrefs.push_back((*it)[1]);
    }
    static const std::regex kCode(R"re(xlink:href="#mvx-[^"]*-([0-9]+)")re");
    for (const DrawnElement& e : drawnElements(svg)) {
        std::smatch m;
        if (e.element.rfind("<use", 0) == 0 && std::regex_search(e.element, m, kCode)) {
            const auto [x, y] = e.toDocument.apply(0, 0);
            d.glyphs.push_back({static_cast<char>(std::stoi(m[1])), x, y});
        } else if (e.element.find("pointer-events=\"all\"") != std::string::npos) {
            const std::vector<double> n = numbersIn(e.element);
            const auto [x0, y0] = e.toDocument.apply(n.at(0), n.at(1));
            const auto [x1, y1] = e.toDocument.apply(n.at(0) + n.at(2), n.at(1) + n.at(3));
            d.areas.push_back({d.areas.size() < hrefs.size() ? hrefs[d.areas.size()] : "?", x0, y0, x1, y1});
        }
    }
    return d;
}

// The glyphs of text (without its spaces) right after those of before,
// with the glyph before them and the one after.
struct Words {
    std::vector<Glyph> glyphs;
    std::vector<Glyph> neighbours;
};

Words wordsOf(const Drawn& d, const std::string& before, const std::string& text) {
    std::string letters;
    for (const Glyph& g : d.glyphs) letters += g.c;
    std::string wanted;
    for (char c : before + text)
        if (c != ' ') wanted += c;
    Words w;
    const size_t at = letters.find(wanted);
    if (at == std::string::npos) return w;
    const size_t first = at + wanted.size() - std::count_if(text.begin(), text.end(), [](char c) { return c != ' '; });
    const size_t last = at + wanted.size();
    w.glyphs.assign(d.glyphs.begin() + first, d.glyphs.begin() + last);
    if (first > 0) w.neighbours.push_back(d.glyphs[first - 1]);
    if (last < d.glyphs.size()) w.neighbours.push_back(d.glyphs[last]);
    return w;
}

std::vector<Area> areasTo(const Drawn& d, const std::string& href) {
    std::vector<Area> out;
    for (const Area& a : d.areas)
        if (a.href == href) out.push_back(a);
    return out;
}

struct Made {
    std::string skip, error;
    TempDir dir;
    std::string svg, pageOne, pageTwo, plain;
    std::string dvips, dvipsOne;  // the dvips driver's document, and its first page alone
    ProcessResult dvipsRun;
    ProcessResult run;
};

std::unique_ptr<Made> make() {
    auto m = std::make_unique<Made>();
    if (runProcess({"kpsewhich", "hyperref.sty"}, m->dir.path).out.empty()) {
        m->skip = "hyperref is not installed";
        return m;
    }
    writeFile(m->dir.file("doc.tex"), kLatex);
    writeFile(m->dir.file("plain.tex"), kPlain);
    writeFile(m->dir.file("dvips.tex"), dvipsDriverPage());
    for (const char* doc : {"doc.tex", "dvips.tex"}) {
        for (int pass = 0; pass < 2; ++pass) {  // the second for \ref
            ProcessResult tex = runProcess({"latex", "-interaction=nonstopmode", "-halt-on-error", doc}, m->dir.path);
            if (tex.exitCode != 0) m->error = "latex failed:\n" + tex.out;
        }
    }
    ProcessResult tex = runProcess({"tex", "-interaction=nonstopmode", "plain.tex"}, m->dir.path);
    if (tex.exitCode != 0) m->error += "tex failed:\n" + tex.out;
    if (!m->error.empty()) return m;
    m->run = runMorvex(m->dir.path, {"--paths", "--pages=all", "-o", "doc.svg", "-O", "doc.trace", "doc.dvi"});
    ProcessResult pages =
        runMorvex(m->dir.path, {"--paths", "--pages=all", "-o", "page-%p.svg", "-O", "pages.trace", "doc.dvi"});
    ProcessResult plain =
        runMorvex(m->dir.path, {"--paths", "--pages=all", "-o", "plain.svg", "-O", "plain.trace", "plain.dvi"});
    m->dvipsRun = runMorvex(m->dir.path, {"--paths", "--pages=all", "-o", "dvips.svg", "-O", "dvips.trace", "dvips.dvi"});
    ProcessResult dvipsPages =
        runMorvex(m->dir.path, {"--paths", "--pages=all", "-o", "dvips-%p.svg", "-O", "dvips.trace", "dvips.dvi"});
    if (m->run.exitCode != 0 || pages.exitCode != 0 || plain.exitCode != 0 || m->dvipsRun.exitCode != 0 ||
        dvipsPages.exitCode != 0) {
        m->error = "morvex failed:\n" + m->run.out + pages.out + plain.out + m->dvipsRun.out + dvipsPages.out;
        return m;
    }
    m->svg = readFile(m->dir.file("doc.svg"));
    m->pageOne = readFile(m->dir.file("page-1.svg"));
    m->pageTwo = readFile(m->dir.file("page-2.svg"));
    m->plain = readFile(m->dir.file("plain.svg"));
    m->dvips = readFile(m->dir.file("dvips.svg"));
    m->dvipsOne = readFile(m->dir.file("dvips-1.svg"));
    return m;
}

class PathsLinks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { made = make(); }
    static void TearDownTestSuite() { made.reset(); }
    void SetUp() override {
        if (!made->skip.empty()) GTEST_SKIP() << made->skip;
        ASSERT_EQ(made->error, "");
    }
    static std::unique_ptr<Made> made;
};
std::unique_ptr<Made> PathsLinks::made;

// What the program wrote on standard error, without the summary of
// suppressed leaks a sanitizer build adds at the end.
std::string programErr(const std::string& err) {
    return err.substr(0, err.find("-----------------------------------------------------\nSuppressions used:"));
}

struct CoverCase {
    std::string href;
    const char* before;  // the words before the link's own
    const char* text;
};

// Each link's one area holds its own words, neither neighbour, and not
// far more. The dvips driver's rectangles are the words' box grown by a
// margin on each side (hyperref's border, as a PDF viewer takes it): a
// neighbour may stand in the margin.
void expectCovered(const std::string& svg, const std::string& stem, double margin) {
    const Drawn d = drawnOf(svg);
    const std::vector<CoverCase> cases = {
        {"https://example.org/a?b=1&amp;c=2", "See", "the example site"},
        {"http://tug.org/", "and", "http://tug.org/"},
        {"#mvx-" + stem + "_-section.1", "Section", "1"},
        {"#mvx-" + stem + "_-there", "and", "a link there"},
        {"#mvx-" + stem + "_-cite.knuth", "says [", "1"},
    };
    for (const CoverCase& c : cases) {
        const std::vector<Area> areas = areasTo(d, c.href);
        ASSERT_EQ(areas.size(), 1u) << c.href;
        const Area& a = areas[0];
        const Words w = wordsOf(d, c.before, c.text);
        ASSERT_FALSE(w.glyphs.empty()) << c.text;
        for (const Glyph& g : w.glyphs)
            EXPECT_TRUE(a.holds(g)) << c.href << ": '" << g.c << "' at " << g.x << "," << g.y << ", area " << a.x0
                                    << "," << a.y0 << " to " << a.x1 << "," << a.y1;
        const Area inner{a.href, a.x0 + margin, a.y0 + margin, a.x1 - margin, a.y1 - margin};
        for (const Glyph& g : w.neighbours)
            EXPECT_FALSE(inner.holds(g)) << c.href << ": neighbour '" << g.c << "'";
        // Not far more: from the first glyph to a glyph's width past the
        // last, and about a line high.
        EXPECT_NEAR(a.x0, w.glyphs.front().x - margin, 0.01) << c.href;
        EXPECT_LT(a.x1, w.glyphs.back().x + 8 + margin) << c.href;
        EXPECT_GT(a.y1 - a.y0, 4) << c.href;
        EXPECT_LT(a.y1 - a.y0, 12 + 2 * margin) << c.href;
    }
}

TEST_F(PathsLinks, EachLinkCoversItsOwnWordsAndNoOthers) { expectCovered(made->svg, "doc", 0); }

// hyperref's dvips driver: the marks' rectangles, the places, the title,
// and the refusal, as with hypertex.
TEST_F(PathsLinks, TheDvipsDriversLinksCoverTheirWordsAndFindTheirPlaces) {
    expectCovered(made->dvips, "dvips", 1);
    EXPECT_NE(made->dvips.find("<title>Links, &amp; Places</title>"), std::string::npos);
    for (const char* id : {"mvx-dvips_-page.2", "mvx-dvips_-section.1", "mvx-dvips_-there", "mvx-dvips_-cite.knuth"})
        EXPECT_NE(made->dvips.find(std::string("<rect id=\"") + id + "\""), std::string::npos) << id;
    EXPECT_NE(made->dvipsOne.find("<a href=\"dvips-2.svg#mvx-dvips_-there\""), std::string::npos);
    EXPECT_EQ(made->dvips.find("javascript"), std::string::npos);
    EXPECT_EQ(programErr(made->dvipsRun.err),
              "morvex: page 1: the link to \"javascript:alert(1)\" is left out: only http, https, mailto and ftp "
              "addresses and relative ones are linked\n");
    EXPECT_EQ(made->dvipsRun.exitCode, 0);
}

TEST_F(PathsLinks, ALinkBrokenOverTwoLinesHasAnAreaOnEach) {
    const Drawn d = drawnOf(made->svg);
    const std::vector<Area> areas = areasTo(d, "http://wrap.example/");
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_NEAR(areas[1].y0 - areas[0].y0, 12, 2) << "a line apart";
    const Words w = wordsOf(d, "then", "a link whose words run over the line end");
    ASSERT_FALSE(w.glyphs.empty());
    for (const Glyph& g : w.glyphs)
        EXPECT_TRUE(areas[0].holds(g) != areas[1].holds(g)) << "'" << g.c << "' at " << g.x << "," << g.y;
    for (const Glyph& g : w.neighbours) EXPECT_FALSE(areas[0].holds(g) || areas[1].holds(g)) << g.c;
}

TEST_F(PathsLinks, InternalLinksFindTheirPlacesInTheDocumentAndAcrossPageDocuments) {
    static const std::regex kInternal(R"re(<a href="#([^"]*)")re");
    size_t internal = 0;
    for (std::sregex_iterator it(made->svg.begin(), made->svg.end(), kInternal), end; it != end; ++it, ++internal)
        EXPECT_NE(made->svg.find("<rect id=\"" + (*it)[1].str() + "\""), std::string::npos) << (*it)[1];
    EXPECT_EQ(internal, 3u);
    EXPECT_NE(made->svg.find("<a href=\"#mvx-doc_-cite.knuth\""), std::string::npos);
    // hyperref's page places, the section's and the citation's.
    for (const char* id :
         {"mvx-doc_-page.1", "mvx-doc_-page.2", "mvx-doc_-section.1", "mvx-doc_-there", "mvx-doc_-cite.knuth"})
        EXPECT_NE(made->svg.find(std::string("id=\"") + id + "\""), std::string::npos) << id;
    // One file per page: the place on page 2 is named by its file.
    EXPECT_NE(made->pageOne.find("<a href=\"page-2.svg#mvx-doc_-there\""), std::string::npos);
    EXPECT_NE(made->pageOne.find("<a href=\"#mvx-doc_-section.1\""), std::string::npos);
    EXPECT_NE(made->pageTwo.find("<rect id=\"mvx-doc_-there\""), std::string::npos);
    EXPECT_EQ(made->pageTwo.find("<a "), std::string::npos);
}

TEST_F(PathsLinks, AJavascriptTargetIsLeftOutWithAMessage) {
    EXPECT_EQ(made->svg.find("javascript"), std::string::npos);
    EXPECT_EQ(programErr(made->run.err),
              "morvex: page 1: the link to \"javascript:alert(1)\" is left out: only http, https, mailto and ftp "
              "addresses and relative ones are linked\n");
    EXPECT_EQ(made->run.exitCode, 0);
    // Its words are drawn all the same.
    EXPECT_FALSE(wordsOf(drawnOf(made->svg), "Never", "this one").glyphs.empty());
}

TEST_F(PathsLinks, APlainTeXLinkOpenOverAPagesEndCoversItsWordsOnBothPages) {
    const Drawn d = drawnOf(made->plain);
    const std::vector<Area> areas = areasTo(d, "#mvx-plain_-far");
    ASSERT_EQ(areas.size(), 2u) << made->plain;
    const Words first = wordsOf(d, "Words", "go on"), second = wordsOf(d, "", "over the page");
    ASSERT_FALSE(first.glyphs.empty());
    ASSERT_FALSE(second.glyphs.empty());
    for (const Glyph& g : first.glyphs) EXPECT_TRUE(areas[0].holds(g)) << g.c;
    for (const Glyph& g : second.glyphs) EXPECT_TRUE(areas[1].holds(g)) << g.c;
    EXPECT_GT(areas[1].y0, areas[0].y1) << "on the second page, stacked below";
    EXPECT_NE(made->plain.find("<rect id=\"mvx-plain_-far\""), std::string::npos);
}

}  // namespace
}  // namespace morvex::testing
