// A LaTeX page with hyperref's hypertex links in Chromium: the link layer
// changes nothing of the picture (the page with it and without it, pixel
// for pixel; and against dvipng's picture of the DVI page), and Chromium takes a pointer over each link area as the
// link's, and places each named place where the document says.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "support/render.h"

namespace morvex::testing {
namespace {

constexpr int kScale = 2;          // Chromium's device pixels per CSS pixel
constexpr int kDpi = 96 * kScale;  // dvipng's resolution for the same pixels
constexpr int kOversample = 4;

constexpr const char* kPage = R"TEX(\documentclass{article}
\usepackage[hypertex]{hyperref}
\pagestyle{empty}
\hyphenpenalty=10000
\begin{document}
\section{Links}\label{sec:links}
See \href{https://example.org/}{the example site}, \url{http://tug.org/} and
Section~\ref{sec:links}; \href{mailto:a@example.org}{write} to us, or follow
\href{http://wrap.example/}{a link whose words run over the end of the line and on}.
\end{document}
)TEX";

struct Page {
    TempDir dir;
    std::string skip, error;
    PageBox box;
    GrayImage reference, withLinks, withoutLinks;
    std::map<std::string, std::string> report;  // what the page's script found
};

// The root element, with or without the link layer (its links and places).
std::string rootElement(const std::string& svg, bool withLinks) {
    std::string root = svg.substr(svg.find("<svg "));
    if (!withLinks) {
        root = std::regex_replace(root, std::regex(R"(\n<a [^>]*>(<rect [^>]*/>)+</a>)"), "");
        root = std::regex_replace(root, std::regex(R"(\n<rect id="[^"]*"[^>]*/>)"), "");
    }
    return root;
}

// A page that shows the document inline at its top left corner. With
// the script, it checks for each link that the element at the middle of
// each of its areas belongs to it, and where each named place stands.
std::string pageOf(const std::string& root, bool script) {
    std::ostringstream html;
    html << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "style-src 'unsafe-inline'; script-src 'unsafe-inline'\"/>"
            "<style>html,body{margin:0;padding:0;background:#fff;overflow:hidden}svg{display:block}</style>"
            "</head><body>"
         << root;
    if (script)
        html << "<pre id=\"report\" style=\"display:none\">none</pre><script>//<![CDATA[\n"
                "var out = [];\n"
                "for (const a of document.querySelectorAll('svg a')) {\n"
                "  const hits = [];\n"
                "  for (const rect of a.querySelectorAll('rect')) {\n"
                "    const r = rect.getBoundingClientRect();\n"
                "    const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);\n"
                "    hits.push(hit !== null && hit.closest('a') === a);\n"
                "  }\n"
                "  out.push('link ' + a.getAttribute('href') + ' ' + hits.join(','));\n"
                "}\n"
                "for (const p of document.querySelectorAll('svg rect[id]')) {\n"
                "  const r = p.getBoundingClientRect();\n"
                "  out.push('place ' + p.id + ' ' + r.left.toFixed(1) + ',' + r.top.toFixed(1));\n"
                "}\n"
                "document.getElementById('report').textContent = out.join('\\n');\n//]]></script>";
    html << "</body></html>\n";
    return html.str();
}

void readReport(Page& p, const std::string& dom) {
    const size_t from = dom.find("<pre id=\"report\"");
    const size_t start = dom.find('>', from);
    const size_t to = dom.find("</pre>", from);
    if (from == std::string::npos || start == std::string::npos || to == std::string::npos) {
        p.error = "the page's script left no report";
        return;
    }
    std::istringstream in(dom.substr(start + 1, to - start - 1));
    for (std::string line; std::getline(in, line);) {
        const size_t space = line.rfind(' ');
        if (space != std::string::npos) p.report[line.substr(0, space)] += line.substr(space + 1) + " ";
    }
}

bool typeset(Page& p) {
    if (runProcess({"kpsewhich", "hyperref.sty"}, p.dir.path).out.empty()) {
        p.skip = "hyperref is not installed";
        return false;
    }
    if (!writeFile(p.dir.file("links.tex"), kPage)) {
        p.error = "cannot write links.tex";
        return false;
    }
    for (int pass = 0; pass < 2; ++pass) {  // the second for \ref
        ProcessResult tex =
            runProcess({"latex", "-interaction=nonstopmode", "-halt-on-error", "links.tex"}, p.dir.path);
        if (tex.exitCode != 0) {
            p.error = "latex failed:\n" + tex.out;
            return false;
        }
    }
    ProcessResult run = runMorvex(p.dir.path, {"--paths", "-o", "links.svg", "-O", "links.trace", "links.dvi"});
    if (run.exitCode != 0) {
        p.error = "morvex --paths ended with " + std::to_string(run.exitCode) + ":\n" + run.out;
        return false;
    }
    return true;
}

void make(Page& p) {
    if (!typeset(p)) return;
    const std::string dvi = p.dir.file("links.dvi");
    p.box = readPageBox(dvi);
    if (!p.box.ok()) {
        p.error = p.box.error;
        return;
    }
    const int w = p.box.cssWidth(), h = p.box.cssHeight();
    Rendered reference = renderDvipng(dvi, 1, kDpi, w * kScale, h * kScale, kOversample);
    if (!reference.ok()) {
        p.error = reference.error;
        return;
    }
    p.reference = reference.image;
    // Two browser starts, so that both pictures stand at the same place:
    // the same page at another place in one picture differs in the
    // antialiasing of a few pixels.
    const std::string svg = readFile(p.dir.file("links.svg"));
    for (bool withLinks : {true, false}) {
        const std::string page = p.dir.file(withLinks ? "links.xhtml" : "bare.xhtml");
        if (!writeFile(page, pageOf(rootElement(svg, withLinks), withLinks))) {
            p.error = "cannot write " + page;
            return;
        }
        std::string dom;
        Rendered shot = renderChromium(page, w, h, kScale, nullptr, &dom);
        if (!shot.ok()) {
            p.error = shot.error;
            return;
        }
        (withLinks ? p.withLinks : p.withoutLinks) = shot.image;
        if (withLinks) readReport(p, dom);
    }
}

class PathsLinksRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        page = std::make_unique<Page>();
        make(*page);
    }
    static void TearDownTestSuite() { page.reset(); }
    void SetUp() override {
        if (!page->skip.empty()) GTEST_SKIP() << page->skip;
        ASSERT_EQ(page->error, "");
    }
    static std::unique_ptr<Page> page;
};

std::unique_ptr<Page> PathsLinksRenderTest::page;

TEST_F(PathsLinksRenderTest, TheLinkLayerChangesNothingOfThePicture) {
    ASSERT_EQ(page->withLinks.width, page->withoutLinks.width);
    ASSERT_EQ(page->withLinks.height, page->withoutLinks.height);
    size_t differing = 0;
    for (size_t i = 0; i < page->withLinks.pixels.size(); ++i)
        differing += page->withLinks.pixels[i] != page->withoutLinks.pixels[i];
    EXPECT_EQ(differing, 0u) << "pixels that differ from the page without its link layer";
    if (differing != 0)
        writeComparison("paths-links-layer.png", page->withoutLinks, page->withLinks,
                        compareInk(page->withoutLinks, page->withLinks, InkCompareOptions::forDpi(kDpi)));
    const InkReport layer = compareInk(page->withoutLinks, page->withLinks, InkCompareOptions::forDpi(kDpi));
    std::cout << "  against the page without links: " << layer.describe(kDpi) << "\n";
    EXPECT_GE(layer.global, 0.99999);
    const InkReport dvipng = compareInk(page->reference, page->withLinks, InkCompareOptions::forDpi(kDpi));
    std::cout << "  against dvipng: " << dvipng.describe(kDpi) << "\n";
    if (!looksAlike(dvipng)) {
        writeComparison("paths-links.png", page->reference, page->withLinks, dvipng);
        ADD_FAILURE() << dvipng.describe(kDpi) << "\n  picture: paths-links.png";
    }
}

TEST_F(PathsLinksRenderTest, ChromiumTakesEachAreaForItsLink) {
    const std::map<std::string, std::string> expected = {
        {"link https://example.org/", "true "},
        {"link http://tug.org/", "true "},
        {"link #mvx-links_-section.1", "true "},
        {"link mailto:a@example.org", "true "},
        {"link http://wrap.example/", "true,true "},
    };
    for (const auto& [link, hits] : expected) EXPECT_EQ(page->report[link], hits) << link;
}

TEST_F(PathsLinksRenderTest, APlaceStandsWhereItsSpecialIs) {
    // hyperref raises a section's place above its heading (by
    // \baselineskip): it stands left of the heading's first glyph, above
    // its baseline, in the page's first inches.
    std::istringstream at(page->report["place mvx-links_-section.1"]);
    double x = -1, y = -1;
    char comma = 0;
    at >> x >> comma >> y;
    ASSERT_EQ(comma, ',') << page->report["place mvx-links_-section.1"];
    const double inch = 96;
    EXPECT_GT(x, inch);
    EXPECT_LT(x, 2 * inch);
    EXPECT_GT(y, inch);
    EXPECT_LT(y, 2 * inch);
    EXPECT_NE(page->report["place mvx-links_-page.1"], "");
}

}  // namespace
}  // namespace morvex::testing
