// Specials from the page loop into the --paths document: a colour special
// of any length, read whole from the file, colours what follows it.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "dvi/dvipage.h"
#include "support/bytes.h"
#include "support/svg_walk.h"
#include "svg/page_builder.h"
#include "svg/paths_document.h"

namespace morvex {
namespace {

using testing::Bytes;
using testing::DviWriter;
using testing::HandedCapture;
using testing::MemStream;
using testing::OutCapture;
using testing::ruleFills;

TEST(PathsSpecials, AColourSpecialLongerThanFourKilobytesColoursWhatFollows) {
    const std::string longPush = "color push rgb 0 0 1" + std::string(6000, ' ');
    DviWriter w;
    w.bop(1);
    Bytes cmds;
    cmds.u1(137).u4(65536).u4(65536);  // a rule, black
    cmds.u1(242).u4(static_cast<uint32_t>(longPush.size())).text(longPush);
    cmds.u1(137).u4(65536).u4(65536);  // blue
    const std::string pop = "color pop";
    cmds.u1(239).u1(static_cast<uint8_t>(pop.size())).text(pop);
    cmds.u1(137).u4(65536).u4(65536);  // black again
    w.b.data.insert(w.b.data.end(), cmds.data.begin(), cmds.data.end());
    w.eop().post();
    w.postpost();

    OutCapture log, out;
    HandedCapture svg;
    FontRegistry fonts;
    GlyphTable glyphs(fonts, nullptr, nullptr);
    PathsDocument document(svg.handle(), "out.svg", glyphs, fonts, {}, PageBox{}, 1.0 / 65536, log.f, out.f);
    PageBuilder builder(fonts, document, log.f, {true, true}, 1.0 / 65536);
    MemStream in(w.str());  // the first bop, where dvibase leaves the stream
    PageInterpreter pages(1, 8, log.f, out.f);
    EXPECT_EQ(pages.dvipage(in.f, builder).code, kDvipageOk);
    builder.finish();
    ASSERT_TRUE(document.close());
    EXPECT_EQ(ruleFills(svg.str()), (std::vector<std::string>{"#000000", "#0000ff", "#000000"})) << svg.str();
}

}  // namespace
}  // namespace morvex
