// Pictures of TikZ, pgfplots, PSTricks and graphicx in the --paths
// document: LaTeX pages made at test time, converted by the built binary,
// drawn by headless Chromium (one start for all) and compared with dvips
// and Ghostscript's rendering of the same page box at the same resolution.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/render.h"

namespace morvex::testing {
namespace {

const std::string kBinary = MORVEX_BINARY;
const std::string kConfigDir = MORVEX_TEST_CONFIG_DIR;

constexpr int kScale = 2;          // Chromium's device pixels per CSS pixel
constexpr int kDpi = 96 * kScale;  // Ghostscript's resolution for the same pixels
constexpr double kCssPerPt = 96.0 / 72.27;
constexpr double kMinSimilarity = 0.95;

struct Case {
    const char* name;
    std::vector<std::string> packages;
    const char* source;
};

// Each page holds what its package is used for most; the boxes are small
// so that the pictures fill them.
const Case kCases[] = {
    {"tikz", {"geometry", "tikz"}, R"TEX(\documentclass{article}
\usepackage[paperwidth=4in,paperheight=3.5in,margin=0.3in]{geometry}
\usepackage{tikz}
\usetikzlibrary{patterns}
\pagestyle{empty}
\begin{document}
\begin{tikzpicture}
\draw[thick,->] (0,0) -- (2,1);
\fill[red] (3,0) circle (0.5);
\draw[dashed,blue,line width=1pt] (0,-1) .. controls (1,0) and (2,-2) .. (3,-1);
\node[draw,fill=yellow] at (1,-2) {Box};
\begin{scope}[rotate=30] \draw (0,0) rectangle (1.5,0.6); \node at (0.75,0.3) {Turned}; \end{scope}
\begin{scope} \clip (4,0) rectangle (5,1); \fill[green!60!black] (4.5,0.5) circle (0.8); \end{scope}
\shade[left color=red,right color=blue] (0,-4) rectangle (2,-3);
\fill[blue,opacity=0.5] (3.5,-0.5) circle (0.5);
\shade[inner color=white,outer color=black] (4.5,-1.5) circle (0.4);
\fill[pattern=north east lines,pattern color=red] (3.5,-2.5) rectangle (5,-2);
\draw[line width=2pt,line cap=round,line join=round,dash pattern=on 4pt off 3pt] (3,-3) -- (4,-4) -- (5,-3);
\end{tikzpicture}
\end{document}
)TEX"},
    {"pgfplots", {"geometry", "pgfplots"}, R"TEX(\documentclass{article}
\usepackage[paperwidth=4.5in,paperheight=3.5in,margin=0.3in]{geometry}
\usepackage{pgfplots}
\pgfplotsset{compat=1.9}
\pagestyle{empty}
\begin{document}
\begin{tikzpicture}
\begin{axis}[width=9cm,height=6cm,grid=major,xlabel={$x$},ylabel={$y$},legend pos=north west]
\addplot[blue,mark=*] coordinates {(0,1) (1,3) (2,2) (3,5) (4,4)};
\addlegendentry{data}
\addplot[red,domain=0:4,samples=20] {x^2/4};
\addlegendentry{$x^2/4$}
\end{axis}
\end{tikzpicture}
\end{document}
)TEX"},
    {"pstricks", {"geometry", "pstricks"}, R"TEX(\documentclass{article}
\usepackage[paperwidth=4in,paperheight=3in,margin=0.3in]{geometry}
\usepackage{pstricks}
\pagestyle{empty}
\begin{document}
\begin{pspicture}(0,0)(8,5)
\psframe[linewidth=1pt](0,0)(8,5)
\pscircle[fillstyle=solid,fillcolor=red](2,3){1}
\psline[linewidth=1.5pt]{->}(4,1)(7,4)
\rput(2,1){Label}
\rput{45}(5,3){Turned}
\psbezier[linestyle=dashed,linecolor=blue](0.5,0.5)(2,4)(5,0)(7.5,2)
\end{pspicture}
\end{document}
)TEX"},
    {"graphicx", {"geometry", "graphicx"}, R"TEX(\documentclass{article}
\usepackage[paperwidth=4in,paperheight=3in,margin=0.3in]{geometry}
\usepackage{graphicx}
\pagestyle{empty}
\begin{document}
\includegraphics{figure.eps}\quad
\includegraphics[angle=30,width=2cm]{figure.eps}

\rotatebox{20}{Rotated text}\quad \scalebox{2}{Big}\quad \reflectbox{Mirror}
\end{document}
)TEX"},
};

// An EPS file of the test's own: a frame, a filled triangle, a circle, a
// checkered image and a striped mask.
constexpr const char* kFigure = R"PS(%!PS-Adobe-3.0 EPSF-3.0
%%BoundingBox: 0 0 72 48
newpath 2 2 moveto 70 2 lineto 70 46 lineto 2 46 lineto closepath 1 setlinewidth stroke
0 0.5 0 setrgbcolor newpath 10 8 moveto 40 8 lineto 25 38 lineto closepath fill
0 0 1 setrgbcolor newpath 55 24 12 0 360 arc fill
gsave 48 30 translate 16 16 scale 4 4 8 [4 0 0 -4 0 4] {<00ff00ff ff00ff00 00ff00ff ff00ff00>} image grestore
gsave 1 0 0 setrgbcolor 4 4 translate 8 8 scale 8 2 true [8 0 0 -2 0 2] {<f00f>} imagemask grestore
showpage
)PS";

struct Page {
    std::string name, dvi, svg;
    bool skipped = false;
    double width = 0, height = 0;  // the document's box, TeX points
    int left = 0;  // CSS pixels in the shared screenshot
    GrayImage reference;
    std::string output;  // morvex's standard output
    int exitCode = -1;
};

int pixels(double pt) { return static_cast<int>(std::ceil(pt * kCssPerPt * kScale - 1e-9)); }

struct Renders {
    TempDir dir;
    std::string error;
    std::vector<Page> pages;
    GrayImage shot;
};

bool haveAll(const std::vector<std::string>& packages) {
    for (const std::string& p : packages)
        if (runProcess({"kpsewhich", p + ".sty"}, "/").out.empty()) return false;
    return true;
}

// dvips, then Ghostscript on the page box's pixels: the DVI origin one
// inch in from the top left corner, as in the --paths document.
GrayImage dvipsReference(Renders& r, const Page& p) {
    const std::string ps = r.dir.file(p.name + ".ps"), png = r.dir.file(p.name + "-gs.png");
    ProcessResult d = runProcess({"dvips", "-q", "-o", ps, p.dvi}, r.dir.path);
    if (d.exitCode != 0) {
        r.error = "dvips failed on " + p.name + ": " + d.err;
        return {};
    }
    // dvips sets the paper of the page's papersize special; its top left
    // corner is the document's.
    ProcessResult g = runProcess({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dALLOWPSTRANSPARENCY",
                                  "-sDEVICE=pnggray", "-r" + std::to_string(kDpi), "-dTextAlphaBits=4",
                                  "-dGraphicsAlphaBits=4", "-sOutputFile=" + png, ps},
                                 r.dir.path);
    Rendered img = readPng(png);
    if (g.exitCode != 0 || !img.ok()) {
        r.error = "Ghostscript failed on " + p.name + ": " + g.err + img.error;
        return {};
    }
    return crop(img.image, 0, 0, pixels(p.width), pixels(p.height));
}

std::string rootElement(const std::string& svg) {
    const size_t at = svg.find("<svg ");
    return at == std::string::npos ? "" : svg.substr(at);
}

bool readViewBox(const std::string& svg, double& width, double& height) {
    const size_t at = svg.find("viewBox=\"");
    if (at == std::string::npos) return false;
    std::istringstream in(svg.substr(at + 9));
    double x = 0, y = 0;
    return static_cast<bool>(in >> x >> y >> width >> height);
}

void convert(Renders& r, const Case& c) {
    Page& p = r.pages.emplace_back();
    p.name = std::string("page-") + c.name;  // not the name of a package file latex reads
    if (!haveAll(c.packages)) {
        p.skipped = true;
        return;
    }
    if (!writeFile(r.dir.file(p.name + ".tex"), c.source)) {
        r.error = "cannot write " + p.name + ".tex";
        return;
    }
    ProcessResult t = runProcess({"latex", "-interaction=nonstopmode", "-halt-on-error", p.name + ".tex"}, r.dir.path);
    if (t.exitCode != 0) {
        r.error = "latex failed on " + p.name + ":\n" + t.out.substr(t.out.size() > 2000 ? t.out.size() - 2000 : 0);
        return;
    }
    p.dvi = r.dir.file(p.name + ".dvi");
    ProcessResult m = runProcess({kBinary, "--paths", "-c", kConfigDir, "-O", p.name + ".log", "-o", p.name + ".svg",
                                  p.dvi},
                                 r.dir.path);
    p.output = m.out;
    p.exitCode = m.exitCode;
    p.svg = readFile(r.dir.file(p.name + ".svg"));
    if (!readViewBox(p.svg, p.width, p.height)) {
        r.error = "no document for " + p.name + ":\n" + m.out;
        return;
    }
    p.reference = dvipsReference(r, p);
}

void render(Renders& r) {
    if (!writeFile(r.dir.file("figure.eps"), kFigure)) {
        r.error = "cannot write figure.eps";
        return;
    }
    for (const Case& c : kCases) {
        convert(r, c);
        if (!r.error.empty()) return;
    }
    std::ostringstream html;
    int left = 0, height = 0;
    for (Page& p : r.pages) {
        if (p.skipped) continue;
        p.left = left;
        html << "<div style=\"left:" << left << "px;top:0\">" << rootElement(p.svg) << "</div>";
        left += pixels(p.width) / kScale + 8;
        height = std::max(height, pixels(p.height) / kScale + 1);
    }
    if (left == 0) return;
    std::ofstream page(r.dir.file("pictures.xhtml"), std::ios::binary);
    page << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
            "<style>html,body{margin:0;padding:0;background:#fff;overflow:hidden}"
            "div{position:absolute}div svg{display:block}</style></head><body>"
         << html.str() << "</body></html>\n";
    page.close();
    Rendered shot = renderChromium(r.dir.file("pictures.xhtml"), left, height, kScale);
    if (!shot.ok()) {
        r.error = shot.error;
        return;
    }
    r.shot = shot.image;
}

class PicturesRenderTest : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() {
        renders = std::make_unique<Renders>();
        render(*renders);
    }
    static void TearDownTestSuite() { renders.reset(); }

    static std::unique_ptr<Renders> renders;
};

std::unique_ptr<Renders> PicturesRenderTest::renders;

// Each page: converted without a message, and drawn by Chromium as dvips
// and Ghostscript draw it.
TEST_P(PicturesRenderTest, PageIsDrawnAsDvipsDrawsIt) {
    Renders& r = *renders;
    ASSERT_EQ(r.error, "");
    const Page& p = r.pages.at(static_cast<size_t>(GetParam()));
    if (p.skipped) GTEST_SKIP() << "the installation lacks the packages of " << p.name;
    EXPECT_EQ(p.exitCode, 0) << p.output;
    EXPECT_EQ(p.output.find("PostScript error"), std::string::npos) << p.output;
    const GrayImage ours = crop(r.shot, p.left * kScale, 0, pixels(p.width), pixels(p.height));
    const InkReport report = compareInk(ours, p.reference, InkCompareOptions::forDpi(kDpi));
    std::cout << "  " << p.name << ": " << report.describe(kDpi) << "\n";
    // The blurred-ink similarity of the whole box: Ghostscript draws thin
    // lines of a pattern a pixel wide at least, so a tile of hatching may
    // differ more than a page of text would.
    if (report.global < kMinSimilarity || !report.error.empty()) {
        const std::string file = "pictures-" + p.name + ".png";
        writeComparison(file, ours, p.reference, report);
        ADD_FAILURE() << p.name << ": " << report.describe(kDpi) << "\n  picture: " << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, PicturesRenderTest, ::testing::Range(0, static_cast<int>(std::size(kCases))),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(kCases[info.param].name); });

}  // namespace
}  // namespace morvex::testing
