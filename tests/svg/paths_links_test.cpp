// The link layer of the --paths document from page events: which addresses
// are linked, the places' ids and the names between page documents, the
// areas a link's glyphs and rules give (a line each, a page each), internal
// links and their places, the title, and documents that stay well-formed
// whatever bytes the names and targets hold.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "base/printable.h"
#include "support/bytes.h"
#include "support/paths_harness.h"
#include "support/process.h"
#include "svg/link_layer.h"
#include "svg/link_scheme.h"
#include "svg/xml_text.h"

namespace morvex::testing {
namespace {

TEST(LinkScheme, LinksHttpHttpsMailtoFtpAndRelativeAddressesOnly) {
    struct Case {
        std::string target;
        bool linked;
    };
    const std::vector<Case> cases = {
        {"http://tug.org/", true}, {"HTTPS://example.org/a?b=1&c=2", true}, {"mailto:a@b.org", true},
        {"ftp://ftp.dante.de/", true}, {"chapter2.html#sec", true}, {"../x.svg", true}, {"/abs/path", true},
        {"#place", true}, {"", true}, {"//host/x", true}, {"a/b:c", true}, {"1x:y", true},
        {"?q=javascript:x", true}, {"javascript", true},
        // Refused: what could run or read.
        {"javascript:alert(1)", false}, {"JaVaScRiPt:alert(1)", false}, {" javascript:alert(1)", false},
        {"   JAVASCRIPT:x", false}, {"java\tscript:alert(1)", false}, {"java\nscript:x", false},
        {"\x01javascript:x", false}, {"javascript\x7f:x", false}, {"vbscript:msgbox", false},
        {"data:text/html,<script>alert(1)</script>", false}, {"file:///etc/passwd", false},
        {"x-unknown+scheme.1:foo", false}, {"http\r://x", false}, {"https:x\x1b", false},
    };
    for (const Case& c : cases) EXPECT_EQ(linkableAddress(c.target), c.linked) << printable(c.target);
}

TEST(XmlText, EscapesMarkupAndNeverWritesWhatXmlForbids) {
    struct Case {
        std::string in;
        std::string replaced, percent;
    };
    const std::vector<Case> cases = {
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
        {"caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80",
         "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80"},
        {"t\tn\nr\r", "t&#9;n&#10;r&#13;", "t&#9;n&#10;r&#13;"},
        {std::string("z\0y\x01", 4), "z\xEF\xBF\xBDy\xEF\xBF\xBD", "z%00y%01"},
        {"\xFF\xC3", "\xEF\xBF\xBD\xEF\xBF\xBD", "%FF%C3"},
        {"\xC0\xBC", "\xEF\xBF\xBD\xEF\xBF\xBD", "%C0%BC"},              // an overlong '<'
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "%ED%A0%80"},  // a surrogate
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "%EF%BF%BE"},  // U+FFFE
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "%F4%90%80%80"},
    };
    for (const Case& c : cases) {
        std::string replaced, percent;
        appendXmlText(replaced, c.in, BadBytes::Replaced);
        appendXmlText(percent, c.in, BadBytes::Percent);
        EXPECT_EQ(replaced, c.replaced) << printable(c.in);
        EXPECT_EQ(percent, c.percent) << printable(c.in);
    }
}

TEST(LinkIds, PlacesIdsNameTheirDocumentAndNeverMeetAGlyphsId) {
    EXPECT_EQ(anchorId(idStemOf("paper.dvi"), "section.1"), "mvx-paper_-section.1");
    EXPECT_EQ(anchorId(idStemOf("/tmp/dir.x/my paper.dvi"), "Item 3#a"), "mvx-my_20paper_-Item_203_23a");
    EXPECT_EQ(idStemOf("a.dvi.dvi"), "a.dvi");
    EXPECT_EQ(idStemOf(".dvi"), ".dvi");
    EXPECT_EQ(idStemOf("notes"), "notes");
    // Distinct names, distinct ids, where a plain join would meet.
    EXPECT_NE(anchorId("a", "b_-c"), anchorId("a_-b", "c"));
    EXPECT_NE(anchorId("a-", "b"), anchorId("a", "-b"));
    EXPECT_NE(anchorId("x", "_41"), anchorId("x", "A"));
}

TEST(LinkIds, APageDocumentNamesAnotherRelatively) {
    struct Case {
        const char* from;
        const char* to;
        const char* reference;  // null: none
    };
    const std::vector<Case> cases = {
        {"page-1.svg", "page-2.svg", "page-2.svg"},
        {"/tmp/out/page-1.svg", "/tmp/out/page-12.svg", "page-12.svg"},
        {"out/p1/index.svg", "out/p2/index.svg", "../p2/index.svg"},
        {"p1/a/x.svg", "p2/b/x.svg", "../../p2/b/x.svg"},
        {"a b#1?.svg", "a b#2?.svg", "a%20b%232%3F.svg"},
        {"x:1.svg", "x:2.svg", "x%3A2.svg"},  // not a scheme
        {"../1/x.svg", "../2/x.svg", "../2/x.svg"},
        {"1/../x.svg", "2/../x.svg", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> r = pageReference(c.from, c.to);
        EXPECT_EQ(r.has_value(), c.reference != nullptr) << c.from;
        if (r && c.reference) {
            EXPECT_EQ(*r, c.reference) << c.from;
        }
    }
}

// The link layer's elements of a document.
struct Link {
    std::string href;
    double x, y, width, height;
};

// The value of an attribute of a tag, "" when it has none. Values hold no
// quote: the writer escapes them.
std::string attributeOf(const std::string& tag, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string::npos) return "";
    const size_t from = at + key.size();
    return tag.substr(from, tag.find('"', from) - from);
}

// Each rectangle of each <a>, with the <a>'s target. Read by hand, not by a
// regular expression: the targets of the hostile cases are long enough to
// exhaust the stack of a backtracking matcher.
std::vector<Link> linksOf(const std::string& svg) {
    std::vector<Link> out;
    for (size_t a = svg.find("<a href=\""); a != std::string::npos; a = svg.find("<a href=\"", a + 1)) {
        const size_t tagEnd = svg.find("\">", a);
        const size_t close = tagEnd == std::string::npos ? tagEnd : svg.find("</a>", tagEnd);
        if (close == std::string::npos) break;
        const std::string tag = svg.substr(a, tagEnd + 2 - a);
        const std::string href = attributeOf(tag, "href");
        EXPECT_EQ(href, attributeOf(tag, "xlink:href"));
        const std::string inner = svg.substr(tagEnd + 2, close - tagEnd - 2);
        for (size_t r = inner.find("<rect "); r != std::string::npos; r = inner.find("<rect ", r + 1)) {
            const std::string rect = inner.substr(r, inner.find("/>", r) + 2 - r);
            if (rect.find(" fill=\"transparent\" pointer-events=\"all\"/>") == std::string::npos) continue;
            out.push_back({href, std::stod(attributeOf(rect, "x")), std::stod(attributeOf(rect, "y")),
                           std::stod(attributeOf(rect, "width")), std::stod(attributeOf(rect, "height"))});
        }
    }
    return out;
}

size_t countOf(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

// The page box puts the DVI origin at (72.27, 72.27).
constexpr double kOrigin = 72.27;

TEST(LinkLayer, AnAreaCoversTheBoxesOfItsGlyphsAndRulesALineEach) {
    PathsHarness h;
    const std::string svg = h.run([](Events& e) {
        const FontDef* f = e.font(0, "cmr10", 10);
        e.bop(1);
        e.boxed(f, 'a', 0, 0, 5, 4, 0);  // outside the link
        e.specialAt("html:<a href=\"http://tug.org/\">", 10, 0);
        e.boxed(f, 'b', 10, 0, 5, 7, 0);
        e.boxed(f, 'g', 15, 0, 5, 4, 2);
        e.boxed(f, ' ', 20, 0, 3, 0, 0);  // no box: covers nothing
        e.boxed(f, 'x', 23, -3, 4, 3, 0);  // a superscript stays on the line
        e.boxed(f, ',', 27, 0.5, 3, 0, 2);  // only below its baseline: stays too
        // The next line, starting left.
        e.boxed(f, 'c', 0, 12, 5, 4, 0);
        e.rule(5, 13, 1, 20);  // a rule just under the line, its bottom left corner at (5, 13)
        e.special("html:</a>");
        e.boxed(f, 'd', 30, 12, 5, 4, 0);  // after the end
        e.sink.pageEnd();
    });
    const std::vector<Link> links = linksOf(svg);
    ASSERT_EQ(links.size(), 2u) << svg;
    EXPECT_EQ(links[0].href, "http://tug.org/");
    EXPECT_NEAR(links[0].x, kOrigin + 10, 1e-3);
    EXPECT_NEAR(links[0].y, kOrigin - 7, 1e-3);
    EXPECT_NEAR(links[0].width, 20, 1e-3);   // to the comma's end at 30
    EXPECT_NEAR(links[0].height, 9.5, 1e-3);  // 7 above, 2.5 below (the comma)
    EXPECT_NEAR(links[1].x, kOrigin, 1e-3);
    EXPECT_NEAR(links[1].y, kOrigin + 8, 1e-3);
    EXPECT_NEAR(links[1].width, 25, 1e-3);   // the rule reaches 25
    EXPECT_NEAR(links[1].height, 5, 1e-3);   // 8 to 13
    EXPECT_EQ(h.err.str(), "");
}

TEST(LinkLayer, ALinkOpenAtAPagesEndGoesOnOverTheNextAndPlacesResolveInTheDocument) {
    PathsHarness h;
    const std::string svg = h.run([](Events& e) {
        const FontDef* f = e.font(0, "cmr10", 10);
        e.bop(1, 1);
        e.specialAt("html:<a href=\"#there\">", 0, 0);
        e.boxed(f, 'a', 0, 0, 5, 5, 0);
        e.sink.pageEnd();
        e.bop(2, 2);
        e.boxed(f, 'b', 0, 0, 5, 5, 0);
        e.special("html:</a>");
        e.specialAt("html:<a name=\"there\">", 3, 40);
        e.special("html:</a>");
        e.specialAt("html:<a name=\"there\">", 9, 90);  // a second: no second id
        e.special("html:</a>");
        e.specialAt("html:<a href=\"#nowhere\">", 0, 0);
        e.boxed(f, 'c', 0, 50, 5, 5, 0);
        e.special("html:</a>");
        e.sink.pageEnd();
    });
    const std::vector<Link> links = linksOf(svg);
    ASSERT_EQ(links.size(), 2u) << svg;
    for (const Link& l : links) EXPECT_EQ(l.href, "#mvx-doc_-there");
    EXPECT_EQ(countOf(svg, "id=\"mvx-doc_-there\""), 1u);
    // The places stand where their specials are, on the second page's
    // stacked box (its DVI origin 72.27 below the first page's box).
    EXPECT_NE(svg.find("<rect id=\"mvx-doc_-there\" x=\"75.27\" y=\"112.27\" width=\"0\" height=\"0\"/>"),
              std::string::npos)
        << svg;
    EXPECT_EQ(svg.find("nowhere\""), std::string::npos);
    EXPECT_NE(h.trace.find("a link to the place \"nowhere\", which no page written names, is left out"),
              std::string::npos)
        << h.trace;
}

TEST(LinkLayer, WithADocumentPerPageAnInternalLinkNamesThePagesFile) {
    PathsHarness h;
    h.pattern = "page-%p.svg";
    h.run([](Events& e) {
        const FontDef* f = e.font(0, "cmr10", 10);
        e.bop(1, 1);
        e.specialAt("html:<a name=\"top\">", 0, 0);
        e.special("html:</a>");
        e.specialAt("html:<a href=\"#end\">", 0, 0);
        e.boxed(f, 'a', 0, 0, 5, 5, 0);
        e.special("html:</a>");
        e.sink.pageEnd();
        e.bop(2, 2);
        e.specialAt("html:<a href=\"#top\">", 0, 0);
        e.boxed(f, 'b', 0, 0, 5, 5, 0);
        e.special("html:</a>");
        e.specialAt("html:<a href=\"#end\">", 0, 0);
        e.boxed(f, 'c', 10, 0, 5, 5, 0);
        e.special("html:</a>");
        e.specialAt("html:<a name=\"end\">", 0, 0);
        e.special("html:</a>");
        e.sink.pageEnd();
    });
    const std::string one = readFile(h.dir.file("page-1.svg")), two = readFile(h.dir.file("page-2.svg"));
    std::vector<Link> links = linksOf(one);
    ASSERT_EQ(links.size(), 1u) << one;
    EXPECT_EQ(links[0].href, "page-2.svg#mvx-doc_-end");
    EXPECT_NE(one.find("id=\"mvx-doc_-top\""), std::string::npos);
    links = linksOf(two);
    ASSERT_EQ(links.size(), 2u) << two;
    EXPECT_EQ(links[0].href, "page-1.svg#mvx-doc_-top");
    EXPECT_EQ(links[1].href, "#mvx-doc_-end");
    EXPECT_NE(two.find("id=\"mvx-doc_-end\""), std::string::npos);
}

TEST(LinkLayer, RefusedAddressesAreToldAndLeftOut) {
    PathsHarness h;
    const std::string svg = h.run([](Events& e) {
        const FontDef* f = e.font(0, "cmr10", 10);
        e.bop(7, 1);
        const std::vector<std::string> targets = {"javascript:alert(1)", " JaVaScRiPt:x", "java\tscript:y",
                                                  "data:text/html,<b>" + std::string(200, 'd'), "mailto:a@b.org"};
        for (const std::string& target : targets) {
            e.specialAt("html:<a href=\"" + target + "\">", 0, 0);
            e.boxed(f, 'a', 0, 0, 5, 5, 0);
            e.special("html:</a>");
        }
        e.sink.pageEnd();
    });
    const std::vector<Link> links = linksOf(svg);
    ASSERT_EQ(links.size(), 1u) << svg;
    EXPECT_EQ(links[0].href, "mailto:a@b.org");
    EXPECT_EQ(svg.find("script"), std::string::npos);
    EXPECT_EQ(svg.find("data:"), std::string::npos);
    const std::string err = h.err.str();
    EXPECT_EQ(countOf(err, "\n"), 4u) << err;
    EXPECT_NE(err.find("morvex: page 1: the link to \"javascript:alert(1)\" is left out: only http, https, mailto "
                       "and ftp addresses and relative ones are linked\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("\"java\\x09script:y\""), std::string::npos) << err;
    EXPECT_NE(err.find("\"data:text/html,<b>ddd"), std::string::npos) << err;
    EXPECT_EQ(err.find(std::string(100, 'd')), std::string::npos) << err;
    EXPECT_TRUE(h.closed);
}

TEST(LinkLayer, ALongTargetOverManyLinesIsBoundedAndWrittenOnceALink) {
    // 40 lines of a link whose target is 1 MiB: areas of at most 16 MiB of
    // targets on the page, the lines past them in the last area; a link
    // after them is left out, with a trace line.
    const std::string target = "http://x.org/" + std::string((size_t{1} << 20) - 13, 'q');  // 1 MiB
    PathsHarness h;
    const std::string svg = h.run([&](Events& e) {
        const FontDef* f = e.font(0, "cmr10", 10);
        e.bop(1);
        e.specialAt("html:<a href=\"" + target + "\">", 0, 0);
        for (int line = 0; line < 40; ++line) e.boxed(f, 'a', 0, 12.0 * line, 5, 5, 0);
        e.special("html:</a>");
        e.specialAt("html:<a href=\"" + target + "x\">", 0, 0);
        e.boxed(f, 'b', 10, 0, 5, 5, 0);
        e.special("html:</a>");
        e.sink.pageEnd();
    });
    // Read without a regular expression, whose matching would recurse
    // over the megabytes.
    EXPECT_EQ(countOf(svg, "pointer-events=\"all\""), 16u);
    EXPECT_EQ(countOf(svg, "<a "), 1u);
    const size_t last = svg.rfind("<rect x=");
    ASSERT_NE(last, std::string::npos);
    const std::string lastRect = svg.substr(last, svg.find("/>", last) + 2 - last);
    const std::vector<Link> lastArea = linksOf("<a href=\"\" xlink:href=\"\">" + lastRect + "</a>");
    ASSERT_EQ(lastArea.size(), 1u);
    EXPECT_NEAR(lastArea[0].y, kOrigin + 12 * 15 - 5, 1e-3);
    EXPECT_NEAR(lastArea[0].height, 12 * 24 + 5, 1e-3);
    EXPECT_LT(svg.size(), 3 * target.size());
    EXPECT_NE(h.trace.find("a link is left out: the page's links hold more than 16777216 bytes of targets"),
              std::string::npos);
}

// xmllint's verdict on a document, "" when it is well-formed.
std::string xmlErrors(const std::string& svg) {
    TempDir dir;
    if (!writeFile(dir.file("out.svg"), svg)) return "cannot write";
    ProcessResult r = runProcess({"xmllint", "--nonet", "--noout", dir.file("out.svg")}, dir.path);
    if (r.exitCode == 0 && r.err.empty()) return "";
    return "xmllint " + std::to_string(r.exitCode) + ": " + r.err.substr(0, 2000);
}

TEST(LinkLayer, AnyBytesInNamesTargetsAndTitleKeepTheDocumentWellFormed) {
    // Every byte but the quote, which ends a hypertex value; and without
    // the controls, which no address may hold.
    std::string bytes, printableBytes;
    for (int b = 1; b < 256; ++b) {
        if (b != '"') bytes += static_cast<char>(b);
        if (b != '"' && b >= 0x20 && b != 0x7F) printableBytes += static_cast<char>(b);
    }
    const std::string hostile = bytes + "]]>&amp;<!--" + std::string(3000, '\xC3');
    PathsHarness h;
    h.title = "A <title> & \"more\"\x01\xFF" + hostile;
    h.dviName = "we\"ird<>.dvi";
    const std::string svg = h.run([&](Events& e) {
        const FontDef* f = e.font(0, "cmr10", 10);
        e.bop(1);
        for (const std::string& target :
             {hostile, "#" + hostile, "http://x.org/" + printableBytes + "]]>", "rel/" + hostile}) {
            e.specialAt("html:<a name=\"" + hostile + "\">", 1, 1);
            e.special("html:</a>");
            e.specialAt("html:<a href=\"" + target + "\">", 0, 0);
            e.boxed(f, 'a', 0, 0, 5, 5, 0);
            e.special("html:</a>");
        }
        e.sink.pageEnd();
    });
    EXPECT_EQ(xmlErrors(svg), "");
    EXPECT_EQ(countOf(svg, "<title>"), 1u);
    EXPECT_NE(svg.find("<title>A &lt;title&gt; &amp; &quot;more&quot;\xEF\xBF\xBD\xEF\xBF\xBD"), std::string::npos);
    // The internal link finds its place however odd the name.
    const std::vector<Link> links = linksOf(svg);
    ASSERT_EQ(links.size(), 2u) << svg.substr(svg.find("<a "), 400);
    const std::string id = anchorId(idStemOf(h.dviName), hostile);
    EXPECT_EQ(links[0].href, "#" + id);
    EXPECT_NE(svg.find("<rect id=\"" + id + "\""), std::string::npos);
    EXPECT_EQ(links[1].href.rfind("http://x.org/ !#$%&amp;&apos;()", 0), 0u) << links[1].href.substr(0, 40);
    // The two addresses with control bytes are told, printable.
    const std::string err = h.err.str();
    EXPECT_EQ(countOf(err, "\n"), 2u) << err;
    EXPECT_EQ(countOf(err, "\"\\x01\\x02\\x03"), 1u) << err;
    for (unsigned char c : err) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << err;
}

TEST(LinkLayer, APageWithoutLinksOrTitleHasNoLayer) {
    PathsHarness h;
    const std::string svg = h.run([](Events& e) {
        const FontDef* f = e.font(0, "cmr10", 10);
        e.bop(1);
        e.boxed(f, 'a', 0, 0, 5, 5, 0);
        e.special("html:</a>");
        e.sink.pageEnd();
    });
    EXPECT_EQ(svg.find("<a "), std::string::npos);
    EXPECT_EQ(svg.find("<title>"), std::string::npos);
    EXPECT_EQ(svg.find("<rect"), std::string::npos);
}

}  // namespace
}  // namespace morvex::testing
