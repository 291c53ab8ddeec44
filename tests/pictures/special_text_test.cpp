// The specials that carry PostScript, as dvips reads them: the forms the
// packages write, the figure's parameters, and the ones refused.
#include "pictures/special_text.h"

#include <gtest/gtest.h>

namespace morvex::pictures {
namespace {

const char* name(SpecialKind k) {
    switch (k) {
    case SpecialKind::Ps: return "ps";
    case SpecialKind::PsBegin: return "psbegin";
    case SpecialKind::PsRaw: return "psraw";
    case SpecialKind::Quote: return "quote";
    case SpecialKind::Figure: return "figure";
    case SpecialKind::Header: return "header";
    case SpecialKind::Literal: return "literal";
    }
    return "?";
}

TEST(PictureSpecial, KindsAndCode) {
    struct Case {
        const char* text;
        const char* kind;
        const char* code;
    } cases[] = {
        {"ps: gsave currentpoint", "ps", " gsave currentpoint"},
        {"ps:SDict begin H.S end", "ps", "SDict begin H.S end"},
        {"ps:: pgfo", "psraw", " pgfo"},
        {"ps::[begin]", "psbegin", ""},
        {"ps::[begin] 1 0 0 setrgbcolor", "psbegin", " 1 0 0 setrgbcolor"},
        {"ps::[end] pgfc", "psraw", " pgfc"},
        {"ps::[nobreak]% a comment", "psraw", "% a comment"},
        {"\" newpath 0 0 moveto", "quote", " newpath 0 0 moveto"},
        {"! /pgfsc{}bind def", "literal", " /pgfsc{}bind def"},
        {"  ps: leading spaces", "ps", " leading spaces"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ParsedSpecial p = parsePictureSpecial(c.text);
        ASSERT_TRUE(p.special);
        EXPECT_EQ(name(p.special->kind), std::string(c.kind));
        EXPECT_EQ(p.special->code, c.code);
        EXPECT_TRUE(p.problem.empty());
    }
}

TEST(PictureSpecial, OthersAreNotOurs) {
    for (const char* text : {"color push rgb 1 0 0", "color pop", "papersize=614.295pt,794.96999pt", "landscape",
                             "html:<a href=\"x\">", "pdf:dest", "em: graph x.pcx", "background rgb 1 1 1", "", "ps",
                             "p s: x", "headers=x"}) {
        SCOPED_TRACE(text);
        ParsedSpecial p = parsePictureSpecial(text);
        EXPECT_FALSE(p.special);
        EXPECT_TRUE(p.problem.empty());
    }
}

TEST(PictureSpecial, Figures) {
    // What graphicx's dvips.def writes, and dvips's own form.
    ParsedSpecial g = parsePictureSpecial("PSfile=\"box eps.eps\" llx=0 lly=0 urx=100 ury=50 rwi=566 rhi=283 clip");
    ASSERT_TRUE(g.special);
    EXPECT_EQ(g.special->kind, SpecialKind::Figure);
    EXPECT_EQ(g.special->file, "box eps.eps");
    std::vector<FigureParameter> want = {{"llx", "0"}, {"lly", "0"}, {"urx", "100"}, {"ury", "50"},
                                         {"rwi", "566"}, {"rhi", "283"}, {"clip", ""}};
    EXPECT_EQ(g.special->parameters, want);
    EXPECT_EQ(figureParameterCode(g.special->parameters), "0 @llx 0 @lly 100 @urx 50 @ury 566 @rwi 283 @rhi @clip");

    ParsedSpecial d = parsePictureSpecial("psfile=foo.ps hoffset=72 hscale=90 vscale=90.5 angle=-30 unknown=3");
    ASSERT_TRUE(d.special);
    EXPECT_EQ(d.special->file, "foo.ps");
    EXPECT_EQ(figureParameterCode(d.special->parameters), "72 @hoffset 90 @hscale 90.5 @vscale -30 @angle");
}

TEST(PictureSpecial, Headers) {
    ParsedSpecial plain = parsePictureSpecial("header=l3backend-dvips.pro");
    ASSERT_TRUE(plain.special);
    EXPECT_EQ(plain.special->kind, SpecialKind::Header);
    EXPECT_EQ(plain.special->file, "l3backend-dvips.pro");
    EXPECT_TRUE(plain.special->pre.empty());

    ParsedSpecial ext = parsePictureSpecial("header={foo.ps} pre={/x {1} def} post={x pop}");
    ASSERT_TRUE(ext.special);
    EXPECT_EQ(ext.special->file, "foo.ps");
    EXPECT_EQ(ext.special->pre, "/x {1} def");
    EXPECT_EQ(ext.special->post, "x pop");
}

// Specials of the program's kinds that cannot run: each says why, none is
// run.
TEST(PictureSpecial, Refused) {
    for (const char* text : {"PSfile=\"`gunzip -c foo.eps.gz\" llx=0", "psfile=`cat /etc/passwd`",
                             "PSfile=\"unclosed llx=0", "PSfile=x.eps llx=1e3", "PSfile=x.eps llx=(1)",
                             "psfile=", "header=", "header={x.pro", "header={x.pro} pre={a", "header={x} mid={y}",
                             "ps: plotfile /etc/passwd"}) {
        SCOPED_TRACE(text);
        ParsedSpecial p = parsePictureSpecial(text);
        EXPECT_FALSE(p.special);
        EXPECT_FALSE(p.problem.empty());
    }
}

}  // namespace
}  // namespace morvex::pictures
