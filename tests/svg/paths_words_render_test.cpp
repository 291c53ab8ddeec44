// The words of a LaTeX page with ligatures in its --paths document, as a
// reader meets them in Chromium: found by find-in-page and copied with the
// selection, ligatures as their letters. The invisible text changes nothing
// of the picture: the page looks the same without it and as dvipng draws it.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/invisible_text.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "support/render.h"

namespace morvex::testing {
namespace {

constexpr int kScale = 2;          // Chromium's device pixels per CSS pixel
constexpr int kDpi = 96 * kScale;  // dvipng's resolution for the same pixels
constexpr int kOversample = 4;

constexpr const char* kPage = R"TEX(\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\pagestyle{empty}
\hyphenpenalty=10000
\begin{document}
The office staff were efficient and affluent; across the fjord they shuffle
the files. Five flowers, a staffer's first fifty affairs, and ``fine'' words
with a shelf\textcompwordmark ful of ligatures.
\end{document}
)TEX";

// Each has a ligature (ffi, ffl, fl, fi, ff) but fjord, which has none.
const std::vector<std::string> kWords = {"office", "efficient", "affluent", "fjord", "shuffle",
                                         "flowers", "staffer", "fifty", "shelfful"};

struct Page {
    TempDir dir;
    std::string error;
    PageBox box;
    GrayImage reference, withText, withoutText;
    std::string copied;
    std::map<std::string, std::string> found;  // word: what window.find said
};

// The root element of the document, and the same without its text
// elements.
std::string rootElement(const std::string& svg, bool withText) {
    std::string root = svg.substr(svg.find("<svg "));
    if (!withText)
        for (size_t at = root.find("<text "); at != std::string::npos; at = root.find("<text ", at))
            root.erase(at, root.find("</text>", at) + 7 - at);
    return root;
}

// A page that shows the document inline at its top left corner. With the
// text, its script copies the document's content with the selection and
// finds each word, then clears the selection for the screenshot.
std::string pageOf(const std::string& root, bool script) {
    std::ostringstream html;
    html << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "style-src 'unsafe-inline'; script-src 'unsafe-inline'\"/>"
            "<style>html,body{margin:0;padding:0;background:#fff;overflow:hidden}svg{display:block}</style>"
            "</head><body>"
         << root;
    if (script) {
        html << "<pre id=\"report\" style=\"display:none\">none</pre><script>//<![CDATA[\n"
                "var out = [];\nvar sel = window.getSelection();\n"
                "sel.removeAllRanges(); sel.selectAllChildren(document.querySelector('svg'));\n"
                "out.push('copy ' + encodeURIComponent(sel.toString()));\n"
                "for (const w of [";
        for (const std::string& w : kWords) html << "'" << w << "',";
        html << "]) {\n  sel.removeAllRanges();\n"
                "  out.push('find ' + w + ' ' + window.find(w));\n}\n"
                "sel.removeAllRanges();\nwindow.scrollTo(0, 0);\n"
                "document.getElementById('report').textContent = out.join('\\n');\n//]]></script>";
    }
    html << "</body></html>\n";
    return html.str();
}

void readReport(Page& p, const std::string& dom) {
    const std::optional<std::string> report = scriptReport(dom);
    if (!report) {
        p.error = "the page's script left no report";
        return;
    }
    std::istringstream in(*report);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("copy ", 0) == 0) p.copied = percentDecode(line.substr(5));
        if (line.rfind("find ", 0) == 0) {
            const size_t space = line.rfind(' ');
            p.found[line.substr(5, space - 5)] = line.substr(space + 1);
        }
    }
}

void make(Page& p) {
    if (!writeFile(p.dir.file("words.tex"), kPage)) {
        p.error = "cannot write words.tex";
        return;
    }
    ProcessResult tex = runProcess({"latex", "-interaction=nonstopmode", "-halt-on-error", "words.tex"}, p.dir.path);
    if (tex.exitCode != 0) {
        p.error = "latex failed:\n" + tex.out;
        return;
    }
    const std::string dvi = p.dir.file("words.dvi");
    ProcessResult run = runMorvex(p.dir.path, {"--paths", "-o", "words.svg", "-O", "words.trace", "words.dvi"});
    if (run.exitCode != 0) {
        p.error = "morvex --paths ended with " + std::to_string(run.exitCode) + ":\n" + run.out;
        return;
    }
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
    // Two browser starts, so that both pictures stand at the same place.
    const std::string svg = readFile(p.dir.file("words.svg"));
    for (bool withText : {true, false}) {
        const std::string page = p.dir.file(withText ? "words.xhtml" : "bare.xhtml");
        if (!writeFile(page, pageOf(rootElement(svg, withText), withText))) {
            p.error = "cannot write " + page;
            return;
        }
        std::string dom;
        Rendered shot = renderChromium(page, w, h, kScale, nullptr, &dom);
        if (!shot.ok()) {
            p.error = shot.error;
            return;
        }
        (withText ? p.withText : p.withoutText) = shot.image;
        if (withText) readReport(p, dom);
    }
}

class PathsWordsRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        page = std::make_unique<Page>();
        make(*page);
    }
    static void TearDownTestSuite() { page.reset(); }
    void SetUp() override { ASSERT_EQ(page->error, ""); }
    static std::unique_ptr<Page> page;
};

std::unique_ptr<Page> PathsWordsRenderTest::page;

TEST_F(PathsWordsRenderTest, FindInPageFindsTheWordsWithLigatures) {
    for (const std::string& w : kWords) EXPECT_EQ(page->found[w], "true") << w;
}

TEST_F(PathsWordsRenderTest, TheCopiedTextHoldsTheWords) {
    for (const std::string& w : kWords) EXPECT_NE(page->copied.find(w), std::string::npos) << w << "\n" << page->copied;
    // What the browser copies is what the document holds.
    const std::string text = invisibleText(readFile(page->dir.file("words.svg")));
    for (const std::string& w : kWords) EXPECT_NE(text.find(w), std::string::npos) << w;
}

// Measured against dvipng: 0.9985 / 0.9881 / 0.052 (global / worst tile /
// peak difference).
TEST_F(PathsWordsRenderTest, TheTextChangesNothingOfThePicture) {
    ASSERT_EQ(page->withText.width, page->withoutText.width);
    ASSERT_EQ(page->withText.height, page->withoutText.height);
    size_t differing = 0;
    for (size_t i = 0; i < page->withText.pixels.size(); ++i)
        differing += page->withText.pixels[i] != page->withoutText.pixels[i];
    EXPECT_EQ(differing, 0u) << "pixels that differ from the page without its text";
    const InkReport dvipng = compareInk(page->reference, page->withText, InkCompareOptions::forDpi(kDpi));
    std::cout << "  against dvipng: " << dvipng.describe(kDpi) << "\n";
    if (!looksAlike(dvipng)) {
        writeComparison("paths-words.png", page->reference, page->withText, dvipng);
        ADD_FAILURE() << dvipng.describe(kDpi) << "\n  picture: paths-words.png";
    }
}

}  // namespace
}  // namespace morvex::testing
