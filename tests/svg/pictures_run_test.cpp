// The picture run of --paths on pages typeset at test time, through the
// built binary: a special with a PostScript error, one that never ends, a
// figure outside the DVI file's directory; a page without pictures starts
// no picture run; the preview package's page hook does not break it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/morvex_run.h"
#include "support/svg_walk.h"

namespace morvex::testing {
namespace {

constexpr int kExitPictures = 70;

// A plain TeX page: a red square, then body, then a blue square, each in
// dvips's " special (PostScript points, y up, at the current point).
std::string pageWith(const std::string& body) {
    return R"(\nopagenumbers\hsize=3in\vsize=2in
\special{" 1 0 0 setrgbcolor newpath 0 0 moveto 20 0 rlineto 0 20 rlineto -20 0 rlineto closepath fill}%
)" + body + R"(%
\special{" 0 0 1 setrgbcolor newpath 30 0 moveto 20 0 rlineto 0 20 rlineto -20 0 rlineto closepath fill}%
Text after the pictures.
\bye
)";
}

struct Converted {
    ProcessResult run;
    std::string svg, log;
};

Converted convert(const TempDir& dir, const std::string& name, const std::string& source,
                  const std::vector<std::string>& options = {}, const std::string& engine = "tex") {
    Converted c;
    EXPECT_TRUE(writeFile(dir.file(name + ".tex"), source));
    ProcessResult t = runProcess({engine, "-interaction=nonstopmode", "-halt-on-error", name + ".tex"}, dir.path);
    EXPECT_EQ(t.exitCode, 0) << t.out;
    std::vector<std::string> args = {"--paths", "-o", name + ".svg", "-O", name + ".log"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(name + ".dvi");
    c.run = runMorvex(dir.path, args);
    c.svg = readFile(dir.file(name + ".svg"));
    c.log = readFile(dir.file(name + ".log"));
    return c;
}

void expectBothSquares(const Converted& c) {
    EXPECT_NE(c.svg.find("fill=\"#ff0000\""), std::string::npos) << c.svg;
    EXPECT_NE(c.svg.find("fill=\"#0000ff\""), std::string::npos) << c.svg;
    // The page's text is drawn too.
    EXPECT_NE(c.svg.find("<use "), std::string::npos);
}

TEST(PicturesRun, AnErrorInASpecialIsToldAndTheRestOfThePageDrawn) {
    TempDir dir;
    const Converted c = convert(dir, "broken", pageWith(R"(\special{" 0 0 moveto nosuchoperator 10 10 lineto stroke})"));
    EXPECT_EQ(c.run.exitCode, kExitPictures) << c.run.out;
    EXPECT_NE(c.run.out.find("PostScript error on page 1 (undefined in nosuchoperator) in the special "
                             "\"\" 0 0 moveto nosuchoperator 10 10 lineto...\"; the rest of the page is drawn."),
              std::string::npos)
        << c.run.out;
    expectBothSquares(c);
}

TEST(PicturesRun, ASpecialThatNeverEndsIsLeftOutAtTheTimeLimit) {
    TempDir dir;
    const Converted c = convert(dir, "endless", pageWith(R"(\special{" { 1 pop } loop})"), {"--gs-time-limit=2"});
    EXPECT_EQ(c.run.exitCode, kExitPictures) << c.run.out;
    EXPECT_NE(c.run.out.find("A special on page 1 did not end (time limit of 2 s) and is left out: \"\" { 1 pop } loop\"."),
              std::string::npos)
        << c.run.out;
    expectBothSquares(c);
}

// A figure named by an absolute path, or by one leaving the DVI file's
// directory, is not read unless --figure-dir allows its directory.
TEST(PicturesRun, FiguresOutsideTheDocumentsDirectoryAreNotRead) {
    TempDir dir;
    ASSERT_EQ(runProcess({"mkdir", dir.file("doc")}, "/").exitCode, 0);
    // A green square, were it read.
    ASSERT_TRUE(writeFile(dir.file("x.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n"
                                             "0 1 0 setrgbcolor 0 0 10 10 rectfill\n"));
    const std::string body = R"(\special{psfile=/etc/passwd llx=0 lly=0 urx=10 ury=10 rwi=100}%
\special{psfile=../x.eps llx=0 lly=0 urx=10 ury=10 rwi=100})";
    struct Case {
        std::vector<std::string> options;
        bool sibling;  // ../x.eps is read
    } cases[] = {{{}, false}, {{"--figure-dir=" + dir.path}, true}};
    for (const Case& k : cases) {
        const std::string at = dir.path + "/doc";
        Converted c;
        EXPECT_TRUE(writeFile(at + "/fig.tex", pageWith(body)));
        ProcessResult t = runProcess({"tex", "-interaction=nonstopmode", "fig.tex"}, at);
        ASSERT_EQ(t.exitCode, 0) << t.out;
        std::vector<std::string> args = {"--paths", "-o", "fig.svg", "-O", "fig.log"};
        args.insert(args.end(), k.options.begin(), k.options.end());
        args.push_back("fig.dvi");
        c.run = runMorvex(at, args);
        c.svg = readFile(at + "/fig.svg");
        EXPECT_EQ(c.run.exitCode, kExitPictures) << c.run.out;
        EXPECT_NE(c.run.out.find("A picture special is not drawn: page 1: figure /etc/passwd:"), std::string::npos)
            << c.run.out;
        EXPECT_EQ(c.run.out.find("figure ../x.eps:") == std::string::npos, k.sibling) << c.run.out;
        EXPECT_EQ(c.svg.find("fill=\"#00ff00\"") != std::string::npos, k.sibling) << c.svg;
        EXPECT_EQ(c.svg.find("root:"), std::string::npos);
        expectBothSquares(c);
    }
}

TEST(PicturesRun, AFigureDirectoryMustBeADirectory) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("file"), "x"));
    for (const std::string& bad : {std::string("missing"), std::string("file"), std::string("")}) {
        const ProcessResult r = runMorvex(dir.path, {"--paths", "--figure-dir=" + bad, "none.dvi"});
        EXPECT_EQ(r.exitCode, 204) << bad;
        EXPECT_NE(r.err.find("--figure-dir names no directory"), std::string::npos) << r.err;
        EXPECT_EQ(filesIn(dir.path), std::set<std::string>{"file"});
    }
}

// Only a selected page with picture specials starts the picture run.
TEST(PicturesRun, PagesWithoutPicturesStartNoRun) {
    TempDir dir;
    const std::string source = R"(\nopagenumbers\hsize=3in\vsize=2in
Plain text.\vfill\eject
\special{" 0 0 1 setrgbcolor 0 0 20 20 rectfill}Picture.
\bye
)";
    const Converted plain = convert(dir, "two", source, {"--pages=1"});
    EXPECT_EQ(plain.run.exitCode, 0) << plain.run.out;
    EXPECT_EQ(plain.log.find("Pictures: Ghostscript ran"), std::string::npos);
    const Converted drawn = convert(dir, "two", source, {"--pages=2"});
    EXPECT_EQ(drawn.run.exitCode, 0) << drawn.run.out;
    EXPECT_NE(drawn.log.find("Pictures: Ghostscript ran"), std::string::npos);
    EXPECT_NE(drawn.svg.find("fill=\"#0000ff\""), std::string::npos);
}

// The preview package's bop-hook reads its box from the file it stands
// in: it finds none (the job's text is not that file) and the page goes
// on; its data special is the page box's, not run.
TEST(PicturesRun, PreviewsPageHookDoesNotBreakTheRun) {
    if (runProcess({"kpsewhich", "preview.sty"}, "/").out.empty() ||
        runProcess({"kpsewhich", "tikz.sty"}, "/").out.empty())
        GTEST_SKIP() << "no preview or TikZ";
    TempDir dir;
    const Converted c = convert(dir, "snippet", R"(\documentclass{article}
\usepackage{tikz}
\usepackage[active,tightpage]{preview}
\PreviewEnvironment{tikzpicture}
\begin{document}
\begin{tikzpicture}\fill[red] (0,0) rectangle (1,1); \node at (2,0.5) {Node};\end{tikzpicture}
\end{document}
)",
                                {"--bbox=preview"}, "latex");
    EXPECT_EQ(c.run.exitCode, 0) << c.run.out;
    EXPECT_EQ(c.run.out.find("PostScript error"), std::string::npos) << c.run.out;
    EXPECT_NE(c.svg.find("fill=\"#ff0000\""), std::string::npos);
}

// Glyphs and rules set while a special leaves the transformation turned
// or scaled are drawn turned or scaled about that point, as dvips draws
// them; those after the special that puts it back are not.
TEST(PicturesRun, GlyphsAndRulesFollowTheTransformationASpecialLeaves) {
    TempDir dir;
    const Converted c = convert(dir, "turned", R"(\nopagenumbers\hsize=3in\vsize=2in
\noindent\special{ps: gsave currentpoint currentpoint translate 30 neg rotate neg exch neg exch translate}%
A\vrule width 10pt height 2pt\special{ps: currentpoint grestore moveto}%
\special{ps: gsave currentpoint currentpoint translate 2 2 scale neg exch neg exch translate}%
B\special{ps: currentpoint grestore moveto}C
\bye
)");
    ASSERT_EQ(c.run.exitCode, 0) << c.run.out;
    std::vector<DrawnElement> drawn = drawnElements(c.svg);
    ASSERT_EQ(drawn.size(), 4u) << c.svg;  // A, its rule, B, C
    const double turnA = std::atan2(drawn[0].toDocument.b, drawn[0].toDocument.a) * 180 / M_PI;
    const double turnRule = std::atan2(drawn[1].toDocument.b, drawn[1].toDocument.a) * 180 / M_PI;
    EXPECT_NEAR(turnA, -30, 0.01);  // up the page: y grows down
    EXPECT_NEAR(turnRule, -30, 0.01);
    EXPECT_EQ(drawn[1].element.rfind("<rect", 0), 0u);
    const double scaleB = std::hypot(drawn[2].toDocument.a, drawn[2].toDocument.b);
    const double scaleC = std::hypot(drawn[3].toDocument.a, drawn[3].toDocument.b);
    EXPECT_NEAR(scaleB / scaleC, 2, 1e-3);
    EXPECT_NEAR(drawn[3].toDocument.b, 0, 1e-9);
}

// Pages stacked in one document share the definitions of their like
// clips: every id is defined once.
TEST(PicturesRun, StackedPagesDefineEachIdOnce) {
    TempDir dir;
    const std::string page = R"(\special{" newpath 0 0 moveto 20 0 rlineto 0 20 rlineto closepath clip
1 0 0 setrgbcolor 0 0 30 30 rectfill}Text.\vfill\eject
)";
    const Converted c = convert(dir, "stack", "\\nopagenumbers\\hsize=2in\\vsize=1in\n" + page + page + "\\bye\n",
                                {"--pages=all"});
    ASSERT_EQ(c.run.exitCode, 0) << c.run.out;
    std::set<std::string> ids;
    for (size_t at = c.svg.find(" id=\""); at != std::string::npos; at = c.svg.find(" id=\"", at + 1)) {
        const std::string id = c.svg.substr(at + 5, c.svg.find('"', at + 5) - at - 5);
        EXPECT_TRUE(ids.insert(id).second) << "defined twice: " << id;
    }
    const std::regex clipId("mvx-c[0-9a-f]{16}");
    EXPECT_EQ(std::count_if(ids.begin(), ids.end(), [&](const std::string& id) { return std::regex_match(id, clipId); }),
              1);
    size_t uses = 0;
    for (size_t at = c.svg.find("clip-path=\"url(#mvx-c"); at != std::string::npos;
         at = c.svg.find("clip-path=\"url(#mvx-c", at + 1))
        ++uses;
    EXPECT_EQ(uses, 2u);
}

// A magnified document's figures grow with it, as dvips prints them.
TEST(PicturesRun, MagnificationScalesThePictures) {
    TempDir dir;
    const Converted c = convert(dir, "mag", R"(\mag=2000 \nopagenumbers\hsize=2in\vsize=1in
\noindent A\special{" 1 0 0 setrgbcolor 0 0 20 10 rectfill}
\bye
)");
    ASSERT_EQ(c.run.exitCode, 0) << c.run.out;
    EXPECT_NE(c.svg.find("l40.15 0l0-20.07"), std::string::npos) << c.svg;
}

// The ink box takes in what the pictures paint, cut down to their clip.
TEST(PicturesRun, TheInkBoxHoldsThePictures) {
    TempDir dir;
    const Converted c = convert(dir, "ink", R"(\nopagenumbers\hsize=3in\vsize=2in
\noindent\special{" 0 0 1 setrgbcolor -100 -100 1000 1000 rectfill}%
\special{" newpath 0 0 moveto 72 0 rlineto 0 36 rlineto -72 0 rlineto closepath clip 1 0 0 setrgbcolor -100 -100 1000 1000 rectfill}%
\bye
)",
                                {"--bbox=min"});
    ASSERT_EQ(c.run.exitCode, 0) << c.run.out;
    // The blue fill covers the page box; the red one, clipped, 72 by 36 bp.
    const size_t at = c.svg.find("viewBox=\"");
    ASSERT_NE(at, std::string::npos);
    const std::vector<double> box = numbersIn(c.svg.substr(at, c.svg.find('"', at + 9) - at));
    ASSERT_EQ(box.size(), 4u);
    EXPECT_GT(box[2], 1000 * 72.27 / 72 - 1);

    const Converted clipped = convert(dir, "clipped", R"(\nopagenumbers\hsize=3in\vsize=2in
\noindent\special{" newpath 0 0 moveto 72 0 rlineto 0 36 rlineto -72 0 rlineto closepath clip 1 0 0 setrgbcolor -100 -100 1000 1000 rectfill}%
\bye
)",
                                      {"--bbox=min"});
    ASSERT_EQ(clipped.run.exitCode, 0) << clipped.run.out;
    const size_t at2 = clipped.svg.find("viewBox=\"");
    const std::vector<double> small = numbersIn(clipped.svg.substr(at2, clipped.svg.find('"', at2 + 9) - at2));
    ASSERT_EQ(small.size(), 4u);
    EXPECT_NEAR(small[2], 72 * 72.27 / 72, 0.05);
    EXPECT_NEAR(small[3], 36 * 72.27 / 72, 0.05);

    // Glyphs a special moves are where it moves them: the box moves along.
    std::vector<double> xs;
    for (const char* shift : {"0", "100"}) {
        const Converted moved = convert(dir, std::string("moved") + shift,
                                        std::string("\\nopagenumbers\\hsize=2in\\vsize=1in\n\\noindent\\special{ps: gsave ") +
                                            shift + " 0 translate}AB\\special{ps: grestore}\n\\bye\n",
                                        {"--bbox=min"});
        ASSERT_EQ(moved.run.exitCode, 0) << moved.run.out;
        const size_t v = moved.svg.find("viewBox=\"");
        xs.push_back(numbersIn(moved.svg.substr(v, 40)).at(0));
    }
    EXPECT_NEAR(xs[1] - xs[0], 100, 0.01);
}

// What a special says never reaches the document as markup: only the
// numbers and colours of what it paints.
TEST(PicturesRun, NothingASpecialSaysReachesTheDocument) {
    TempDir dir;
    const Converted c = convert(dir, "hostile", pageWith(R"(\special{" (</svg><script>alert(1)</script>) print
(<g onload="x">) = flush}\special{" /Times-Roman findfont 12 scalefont setfont 0 0 moveto (<a>) show})"));
    EXPECT_EQ(c.run.exitCode, 0) << c.run.out;
    EXPECT_EQ(c.svg.find("script"), std::string::npos);
    EXPECT_EQ(c.svg.find("onload"), std::string::npos);
    EXPECT_EQ(c.svg.find("<a>"), std::string::npos);
    expectBothSquares(c);
}

}  // namespace
}  // namespace morvex::testing
