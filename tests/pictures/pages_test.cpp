// Real pages made by latex at test time: TikZ, pgfplots, PSTricks,
// graphicx and hyperref. Their specials are gathered from the DVI file,
// built into a job, and run through the picture program; the records must
// hold what each page draws, where it draws it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>

#include "pictures/latex_pages.h"

namespace morvex::testing {
namespace {

using pictures::Fill;
using pictures::Gradient;
using pictures::Rgb8;
using pictures::Stroke;

constexpr double kCm = 72.27 / 2.54;

struct Pt {
    double x = 0, y = 0;
};
Pt map(const pictures::Affine& m, double x, double y) { return {m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f}; }
Pt center(const Box& b) { return {(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2}; }
// The corners of a closed polygon path, mapped.
std::vector<Pt> corners(const pictures::Path& p, const pictures::Affine& m = {}) {
    std::vector<Pt> out;
    for (size_t i = 0; i + 1 < p.coords.size(); i += 2) out.push_back(map(m, p.coords[i], p.coords[i + 1]));
    return out;
}
double angleOf(Pt a, Pt b) { return std::atan2(b.y - a.y, b.x - a.x) * 180 / M_PI; }
double dist(Pt a, Pt b) { return std::hypot(b.x - a.x, b.y - a.y); }
bool isTranslation(const pictures::Affine& t) {
    return std::fabs(t.a - 1) < 1e-5 && std::fabs(t.d - 1) < 1e-5 && std::fabs(t.b) < 1e-5 && std::fabs(t.c) < 1e-5;
}
// The angle in degrees a transformation turns by, and its scales.
double turn(const pictures::Affine& t) { return std::atan2(t.b, t.a) * 180 / M_PI; }

template <class T>
std::vector<T> withColor(const std::vector<T>& paints, Rgb8 c) {
    std::vector<T> out;
    for (const T& p : paints)
        if (p.color == c) out.push_back(p);
    return out;
}

void expectCleanPage(const LatexPictures& p) {
    EXPECT_TRUE(p.problems.empty()) << p.problems.front();
    expectClean(p.run);
}

const std::string kTikz = R"(\documentclass{article}
\usepackage{tikz}
\pagestyle{empty}
\begin{document}
\begin{tikzpicture}
\draw[thick,->] (0,0) -- (2,1);
\fill[red] (3,0) circle (0.5);
\draw[dashed,blue] (0,-1) .. controls (1,0) and (2,-2) .. (3,-1);
\node[draw,fill=yellow] at (1,-2) {Box};
\begin{scope}[rotate=30] \draw (0,0) rectangle (1,0.5); \end{scope}
\begin{scope} \clip (4,0) rectangle (5,1); \fill[green] (4.5,0.5) circle (0.8); \end{scope}
\shade[left color=red,right color=blue] (0,-4) rectangle (2,-3);
\fill[blue,opacity=0.5] (4,-3.5) circle (0.5);
\end{tikzpicture}
\end{document}
)";

TEST(LatexPages, Tikz) {
    if (!havePackages({"tikz"})) GTEST_SKIP() << "no TikZ";
    TempDir dir;
    LatexPictures p = latexPictures(dir, "tikz", kTikz);
    expectCleanPage(p);
    std::cout << "[ TIME     ] TikZ page: Ghostscript " << p.run.seconds << " s\n";
    const std::vector<Fill> fills = paintsOf<Fill>(p.run);
    const std::vector<Stroke> strokes = paintsOf<Stroke>(p.run);

    // The red circle: 1 cm across; the picture's origin 3 cm to its left.
    std::vector<Fill> red = withColor(fills, Rgb8{255, 0, 0});
    ASSERT_EQ(red.size(), 1u);
    const Box circle = pathBox(red[0].path);
    EXPECT_NEAR(circle.x1 - circle.x0, 1 * kCm, 0.05);
    EXPECT_NEAR(circle.y1 - circle.y0, 1 * kCm, 0.05);
    const Pt o = {center(circle).x - 3 * kCm, center(circle).y};

    // The thick arrow from the origin, its tip filled.
    ASSERT_FALSE(strokes.empty());
    const Stroke& arrow = strokes[0];
    Pt start = map(arrow.matrix, arrow.path.coords[0], arrow.path.coords[1]);
    EXPECT_NEAR(start.x, o.x, 0.05);
    EXPECT_NEAR(start.y, o.y, 0.05);
    EXPECT_NEAR(arrow.width * std::sqrt(std::fabs(arrow.matrix.a * arrow.matrix.d - arrow.matrix.b * arrow.matrix.c)),
                0.8, 0.01);

    // The dashed blue curve, from (0,-1) to (3,-1): y grows down the page.
    std::vector<Stroke> blue = withColor(strokes, Rgb8{0, 0, 255});
    ASSERT_EQ(blue.size(), 1u);
    EXPECT_FALSE(blue[0].dashes.empty());
    ASSERT_EQ(blue[0].path.ops.at(1), pictures::PathOp::Curve);
    std::vector<Pt> ends = corners(blue[0].path, blue[0].matrix);
    EXPECT_NEAR(ends.front().x, o.x, 0.05);
    EXPECT_NEAR(ends.front().y, o.y + kCm, 0.05);
    EXPECT_NEAR(ends.back().x, o.x + 3 * kCm, 0.05);

    // The node: a yellow box about (1,-2), its text moved there by a pure
    // translation while pgf places it.
    std::vector<Fill> yellow = withColor(fills, Rgb8{255, 255, 0});
    ASSERT_EQ(yellow.size(), 1u);
    EXPECT_NEAR(center(pathBox(yellow[0].path)).x, o.x + kCm, 0.05);
    EXPECT_NEAR(center(pathBox(yellow[0].path)).y, o.y + 2 * kCm, 0.05);
    int moved = 0;
    for (const pictures::ChunkReport& c : p.run.report.chunks)
        if (c.end && !c.end->transform.identity()) moved += isTranslation(c.end->transform);
    EXPECT_GE(moved, 1);

    // The rotated scope's rectangle: sides of 1 and 0.5 cm, the long one
    // turned 30 degrees counterclockwise (up the page).
    bool rotated = false;
    for (const Stroke& s : strokes) {
        std::vector<Pt> c = corners(s.path, s.matrix);
        bool turnedSide = false, shortSide = false;
        for (size_t i = 0; i + 1 < c.size(); ++i) {
            const double a = angleOf(c[i], c[i + 1]), d = dist(c[i], c[i + 1]);
            turnedSide |= std::fabs(d - kCm) < 0.05 && (std::fabs(a + 30) < 0.5 || std::fabs(a - 150) < 0.5);
            shortSide |= std::fabs(d - 0.5 * kCm) < 0.05;
        }
        rotated |= turnedSide && shortSide;
    }
    EXPECT_TRUE(rotated);

    // The clip and the green circle within it.
    std::vector<Fill> green = withColor(fills, Rgb8{0, 255, 0});
    ASSERT_EQ(green.size(), 1u);
    ASSERT_NE(green[0].clip, 0u);
    const Box clip = pathBox(p.run.report.clips.at(green[0].clip).path);
    expectBox(clip, o.x + 4 * kCm, o.y - kCm, o.x + 5 * kCm, o.y, 0.05);

    // The shading: red at its left, blue at its right, within its rectangle
    // (the clip it paints in, or one that clip lies in).
    std::vector<Gradient> gradients = paintsOf<Gradient>(p.run);
    ASSERT_EQ(gradients.size(), 1u);
    const Gradient& g = gradients[0];
    bool within = false;
    for (uint32_t id = g.clip; id != 0; id = p.run.report.clips.at(id).parent) {
        const Box b = pathBox(p.run.report.clips.at(id).path);
        within |= std::fabs(b.x0 - o.x) < 0.05 && std::fabs(b.x1 - o.x - 2 * kCm) < 0.05 &&
                  std::fabs(b.y0 - o.y - 3 * kCm) < 0.05 && std::fabs(b.y1 - o.y - 4 * kCm) < 0.05;
    }
    EXPECT_TRUE(within);
    Pt from = map(g.matrix, g.coords[0], g.coords[1]), to = map(g.matrix, g.coords[2], g.coords[3]);
    const Rgb8 left = from.x < to.x ? g.stops.front().color : g.stops.back().color;
    const Rgb8 right = from.x < to.x ? g.stops.back().color : g.stops.front().color;
    EXPECT_EQ(left, (Rgb8{255, 0, 0}));
    EXPECT_EQ(right, (Rgb8{0, 0, 255}));

    // pgf found the program's alpha operator: the blue disc is half opaque.
    std::vector<Fill> translucent = withColor(fills, Rgb8{0, 0, 255});
    ASSERT_EQ(translucent.size(), 1u);
    EXPECT_DOUBLE_EQ(translucent[0].alpha, 0.5);
}

const std::string kPgfplots = R"(\documentclass{article}
\usepackage{pgfplots}
\pgfplotsset{compat=1.16}
\pagestyle{empty}
\begin{document}
\begin{tikzpicture}
\begin{axis}[grid=major,legend pos=north west,width=6cm]
\addplot[blue,mark=*] coordinates {(0,0) (1,1) (2,4) (3,9)};
\addlegendentry{$x^2$}
\end{axis}
\end{tikzpicture}
\end{document}
)";

TEST(LatexPages, Pgfplots) {
    if (!havePackages({"pgfplots"})) GTEST_SKIP() << "no pgfplots";
    TempDir dir;
    LatexPictures p = latexPictures(dir, "plot", kPgfplots);
    expectCleanPage(p);
    const std::vector<Fill> fills = paintsOf<Fill>(p.run);
    const std::vector<Stroke> strokes = paintsOf<Stroke>(p.run);
    // The grid: light gray lines, several in one stroke.
    bool grid = false;
    for (const Stroke& s : strokes)
        grid |= s.color.r == s.color.g && s.color.g == s.color.b && s.color.r > 150 && s.color.r < 255 &&
                s.path.ops.size() >= 4;
    EXPECT_TRUE(grid);
    // The plot: a blue line through four points, x evenly spaced, y up the
    // page as x^2.
    std::vector<Stroke> blue = withColor(strokes, Rgb8{0, 0, 255});
    const Stroke* line = nullptr;
    for (const Stroke& s : blue)
        if (s.path.ops.size() == 4 && s.path.ops[3] == pictures::PathOp::Line) line = &s;
    ASSERT_NE(line, nullptr);
    std::vector<Pt> pts = corners(line->path, line->matrix);
    EXPECT_NEAR(pts[1].x - pts[0].x, pts[2].x - pts[1].x, 0.05);
    const double unit = pts[0].y - pts[1].y;  // y of 1
    EXPECT_GT(unit, 0);
    EXPECT_NEAR(pts[0].y - pts[2].y, 4 * unit, 0.1);
    EXPECT_NEAR(pts[0].y - pts[3].y, 9 * unit, 0.1);
    // The marks: filled blue discs on the points, and one in the legend.
    std::vector<Fill> marks = withColor(fills, Rgb8{0, 0, 255});
    ASSERT_GE(marks.size(), 5u);
    int onPoints = 0;
    for (const Fill& m : marks)
        for (const Pt& q : pts) onPoints += dist(center(pathBox(m.path)), q) < 0.1;
    EXPECT_EQ(onPoints, 4);
    // The plot is clipped to the axis; the legend's white box is drawn.
    EXPECT_FALSE(p.run.report.clips.empty());
    EXPECT_FALSE(withColor(fills, Rgb8{255, 255, 255}).empty());
}

const std::string kPstricks = R"(\documentclass{article}
\usepackage{pstricks}
\pagestyle{empty}
\begin{document}
\begin{pspicture}(0,0)(5,3)
\psframe[linecolor=blue](0,0)(2,1)
\pscircle*[linecolor=red](3,1){0.5}
\psline[linewidth=1pt]{->}(0,2)(2,3)
\rput{30}(4,2){Text}
\psbezier[linestyle=dashed](0,0)(1,2)(2,-1)(3,1)
\end{pspicture}
\end{document}
)";

TEST(LatexPages, Pstricks) {
    if (!havePackages({"pstricks"})) GTEST_SKIP() << "no PSTricks";
    TempDir dir;
    LatexPictures p = latexPictures(dir, "pst", kPstricks);
    expectCleanPage(p);
    const std::vector<Fill> fills = paintsOf<Fill>(p.run);
    const std::vector<Stroke> strokes = paintsOf<Stroke>(p.run);
    // The frame: 2 by 1 cm, blue, its line within the box (PSTricks's
    // dimen=outer); the box's lower left corner is the picture's origin.
    std::vector<Stroke> frame = withColor(strokes, Rgb8{0, 0, 255});
    ASSERT_EQ(frame.size(), 1u);
    const Box f = pathBox(frame[0].path, frame[0].matrix);
    const double line = 0.8;
    EXPECT_NEAR(f.x1 - f.x0, 2 * kCm - line, 0.05);
    EXPECT_NEAR(f.y1 - f.y0, 1 * kCm - line, 0.05);
    const Pt o = {f.x0 - line / 2, f.y1 + line / 2};
    // The red disc about (3,1), 1 cm across.
    std::vector<Fill> red = withColor(fills, Rgb8{255, 0, 0});
    ASSERT_EQ(red.size(), 1u);
    const Box disc = pathBox(red[0].path);
    EXPECT_NEAR(disc.x1 - disc.x0, kCm, 0.05);
    EXPECT_NEAR(center(disc).x, o.x + 3 * kCm, 0.05);
    EXPECT_NEAR(center(disc).y, o.y - kCm, 0.05);
    // The arrow's line and its filled head, near (2,3).
    bool head = false;
    for (const Fill& x : withColor(fills, Rgb8{0, 0, 0})) head |= dist(center(pathBox(x.path)), {o.x + 2 * kCm, o.y - 3 * kCm}) < 0.3 * kCm;
    EXPECT_TRUE(head);
    // \rput{30}: the text turned 30 degrees counterclockwise, up the page.
    bool turned = false;
    for (const pictures::ChunkReport& c : p.run.report.chunks)
        if (c.end) turned |= std::fabs(turn(c.end->transform) + 30) < 0.01;
    EXPECT_TRUE(turned);
    // The dashed Bezier curve, which PSTricks dashes as a flattened path,
    // from (0,0) to (3,1).
    bool dashedCurve = false;
    for (const Stroke& s : strokes) {
        std::vector<Pt> c = corners(s.path, s.matrix);
        dashedCurve |= !s.dashes.empty() && c.size() > 8 && dist(c.front(), o) < 0.1 &&
                       dist(c.back(), {o.x + 3 * kCm, o.y - kCm}) < 0.1;
    }
    EXPECT_TRUE(dashedCurve);
}

const std::string kBoxEps =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n"
    "newpath 0 0 moveto 100 0 lineto 100 50 lineto 0 50 lineto closepath 0 0 1 setrgbcolor fill\n%%EOF\n";

const std::string kGraphicx = R"(\documentclass{article}
\usepackage{graphicx}
\pagestyle{empty}
\begin{document}
\includegraphics[width=2cm]{box.eps}
\includegraphics[width=2cm,angle=30]{box.eps}

\rotatebox{45}{Rot} \scalebox{2}[1]{Wide} \reflectbox{Refl}
\end{document}
)";

TEST(LatexPages, Graphicx) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("box.eps"), kBoxEps));
    LatexPictures p = latexPictures(dir, "graphics", kGraphicx);
    expectCleanPage(p);
    std::vector<Fill> boxes = withColor(paintsOf<Fill>(p.run), Rgb8{0, 0, 255});
    ASSERT_EQ(boxes.size(), 2u);
    // graphicx gives dvips the width in whole tenths of a big point: 566.
    const double width = 56.6 * kBp;
    const Box plain = pathBox(boxes[0].path);
    EXPECT_NEAR(plain.x1 - plain.x0, width, 0.01);
    EXPECT_NEAR(plain.y1 - plain.y0, width / 2, 0.01);
    std::vector<Pt> c = corners(boxes[1].path);
    ASSERT_GE(c.size(), 4u);
    EXPECT_NEAR(dist(c[0], c[1]), width, 0.01);
    EXPECT_NEAR(angleOf(c[0], c[1]), -30, 0.1);
    // The glyphs' transformations: turned by 45, stretched twice, mirrored.
    bool rotated = false, stretched = false, mirrored = false;
    for (const pictures::ChunkReport& r : p.run.report.chunks) {
        if (!r.end) continue;
        const pictures::Affine& t = r.end->transform;
        rotated |= std::fabs(turn(t) + 45) < 0.01;
        stretched |= std::fabs(t.a - 2) < 1e-5 && std::fabs(t.d - 1) < 1e-5;
        mirrored |= std::fabs(t.a + 1) < 1e-5 && std::fabs(t.d - 1) < 1e-5;
    }
    EXPECT_TRUE(rotated);
    EXPECT_TRUE(stretched);
    EXPECT_TRUE(mirrored);
    // Each transformation is undone by the special after it: the page ends plain.
    const pictures::ChunkReport& last = p.run.report.chunks[p.run.report.chunks.size() - 2];
    ASSERT_TRUE(last.end);
    EXPECT_TRUE(last.end->transform.identity());
}

const std::string kHyperref = R"(\documentclass{article}
\usepackage[colorlinks]{hyperref}
\hypersetup{pdftitle={A title}}
\pagestyle{empty}
\begin{document}
\section{First}\label{first}
Text \href{https://example.org/a?b=1}{a link} and \hyperref[first]{back}.
\end{document}
)";

TEST(LatexPages, Hyperref) {
    if (!havePackages({"hyperref"})) GTEST_SKIP() << "no hyperref";
    TempDir dir;
    LatexPictures p = latexPictures(dir, "links", kHyperref);
    expectCleanPage(p);
    std::vector<pictures::Link> links;
    std::vector<pictures::Destination> dests;
    for (const pictures::ChunkReport& c : p.run.report.chunks) {
        links.insert(links.end(), c.links.begin(), c.links.end());
        dests.insert(dests.end(), c.destinations.begin(), c.destinations.end());
    }
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].kind, 'U');
    EXPECT_EQ(links[0].target, "https://example.org/a?b=1");
    EXPECT_EQ(links[1].kind, 'D');
    EXPECT_EQ(links[1].target, "section.1");
    // Both on one line of text: one height, the first to the left.
    EXPECT_NEAR(links[0].y0, links[1].y0, 0.5);
    EXPECT_LT(links[0].x1, links[1].x0);
    EXPECT_GT(links[0].x1 - links[0].x0, 10);
    bool section = false;
    for (const pictures::Destination& d : dests) section |= d.name == "section.1" && d.placed && d.y < links[0].y0;
    EXPECT_TRUE(section);
    ASSERT_TRUE(p.run.report.title);
    EXPECT_NE(p.run.report.title->find('t'), std::string::npos);
}

// Files a page names outside what may be read: refused with their reasons
// before Ghostscript starts, never in its permits, the page drawn without
// them.
TEST(LatexPages, FilesOutsideAreNotRead) {
    TempDir root;
    ASSERT_EQ(mkdir(root.file("doc").c_str(), 0755), 0);
    ASSERT_TRUE(writeFile(root.file("outside.eps"), kBoxEps));
    ASSERT_TRUE(writeFile(root.file("x.pro"), "/x 1 def\n"));
    const std::string source = R"(\documentclass{article}
\pagestyle{empty}
\begin{document}
\special{header=../x.pro}\special{header=/etc/passwd}
\special{PSfile="/etc/passwd" llx=0 lly=0 urx=10 ury=10}
\special{PSfile="../outside.eps" llx=0 lly=0 urx=100 ury=50}
\special{PSfile="`cat /etc/passwd`" llx=0 lly=0 urx=10 ury=10}
\special{ps: 0 0 5 5 rectfill}Text.
\end{document}
)";
    // latex runs in doc/, beside which outside.eps and x.pro lie.
    const std::string dvi = [&] {
        if (!writeFile(root.file("doc/page.tex"), source)) return std::string();
        ProcessResult r = runProcess({"latex", "-interaction=nonstopmode", "-halt-on-error", "page.tex"}, root.file("doc"));
        EXPECT_EQ(r.exitCode, 0) << r.out;
        return root.file("doc/page.dvi");
    }();
    ASSERT_FALSE(dvi.empty());
    DviSpecials specials = readDviSpecials(dvi);
    std::vector<std::string> problems;
    pictures::Job job = jobFromDvi(dvi, specials, problems);
    ASSERT_EQ(problems.size(), 5u);
    EXPECT_NE(problems[0].find("../x.pro: a path leading out"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("/etc/passwd: an absolute path outside"), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("/etc/passwd: an absolute path outside"), std::string::npos) << problems[2];
    EXPECT_NE(problems[3].find("../outside.eps: a path leading out"), std::string::npos) << problems[3];
    EXPECT_NE(problems[4].find("shell command"), std::string::npos) << problems[4];
    for (const std::string& f : job.files()) EXPECT_NE(f.find(".pro"), std::string::npos) << f;
    PictureRun run = runPictures(job);
    expectClean(run);
    EXPECT_EQ(paintsOf<Fill>(run).size(), 1u);
}

}  // namespace
}  // namespace morvex::testing
