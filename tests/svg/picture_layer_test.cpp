// The drawing pass's side of the pictures: a special's reported paint goes
// into its page where the special stands, the frame it leaves holds the
// glyphs and rules after it, and its pdfmark links and destinations become
// the page's link areas and named places, in TeX points from the DVI
// origin.
#include "svg/picture_layer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bytes.h"

namespace morvex {
namespace {

using testing::OutCapture;

constexpr double kO = kPictureOrigin;

struct Keep : PageConsumer {
    std::vector<PageModel> pages;
    void page(PageModel& page) override { pages.push_back(page); }
};

struct Fixture {
    pictures::Job job;
    pictures::Report report;
    std::vector<std::optional<size_t>> chunkOf;
    size_t chunk = 0;

    Fixture() {
        pictures::JobBuilder b({});
        b.beginPage(1);
        b.special(pictures::SpecialKind::Ps, 0, 0, " x", 1);
        b.endPage();
        job = b.finish();
        for (size_t i = 0; i < job.chunks.size(); ++i)
            if (job.chunks[i].tag == 1) chunk = i;
        chunkOf = {chunk};
        report.chunks.resize(job.chunks.size());
        pictures::ChunkReport& r = report.chunks[chunk];
        r.begun = true;
        pictures::EndState end;
        end.transform = {1, 0, 0, 1, 5, 7};  // glyphs moved 5 right and 7 down
        r.end = end;
        pictures::Fill f;
        f.path.ops = {pictures::PathOp::Move, pictures::PathOp::Line, pictures::PathOp::Line, pictures::PathOp::Close};
        f.path.coords = {kO, kO, kO + 10, kO, kO, kO + 10};
        r.paints = {f};
        r.links = {{kO + 1, kO + 2, kO + 30, kO + 12, 'D', "sec:one"},
                   {kO, kO, kO + 5, kO + 5, 'U', "https://example.org/a b"},
                   {kO, kO, kO + 5, kO + 5, '-', ""}};
        r.destinations = {{"page.1", true, kO + 3, kO - 4}, {"nowhere", false, 0, 0}};
    }
};

SpecialEvent event(std::string_view text) { return SpecialEvent{0, 0, text, text.size()}; }

TEST(PictureLayer, ASpecialsPaintFrameAndLinksGoIntoItsPage) {
    Fixture fx;
    OutCapture log;
    FontRegistry fonts;
    Keep keep;
    PageBuilder builder(fonts, keep, log.f, {true, true}, 1.0 / 65536);
    PictureMarkup markup(fx.report, 612, 792);
    PictureDrawer drawer(fx.job, fx.report, fx.chunkOf, markup, false, log.f);
    drawer.attach(builder);
    builder.pageBegin(1, 1);
    builder.rule({0, 0, 65536, 65536, false});
    builder.special(event("header=ignored.pro"));  // not among the page's specials
    builder.special(event("ps: x"));
    builder.rule({0, 0, 65536, 65536, false});
    builder.pageEnd();
    builder.finish();

    ASSERT_EQ(keep.pages.size(), 1u);
    const PageModel& page = keep.pages[0];
    std::vector<ItemKind> kinds;
    for (const PageItem& item : page.items) kinds.push_back(item.kind);
    EXPECT_EQ(kinds, (std::vector<ItemKind>{ItemKind::Rule, ItemKind::Markup, ItemKind::Frame, ItemKind::Rule}));
    ASSERT_EQ(page.markup.size(), 1u);
    EXPECT_NE(page.markup[0].elements.find("<path d=\"M0 0l10 0l-10 10z\"/>"), std::string::npos)
        << page.markup[0].elements;
    ASSERT_EQ(page.frames.size(), 1u);
    EXPECT_DOUBLE_EQ(page.frames[0].e, 5);
    EXPECT_DOUBLE_EQ(page.frames[0].f, 7);

    ASSERT_EQ(page.links.size(), 2u);  // the link of no kind is left out
    EXPECT_EQ(page.links[0].kind, LinkKind::Destination);
    EXPECT_EQ(page.links[0].target, "sec:one");
    EXPECT_DOUBLE_EQ(page.links[0].area.minX, 1);
    EXPECT_DOUBLE_EQ(page.links[0].area.minY, 2);
    EXPECT_DOUBLE_EQ(page.links[0].area.maxX, 30);
    EXPECT_DOUBLE_EQ(page.links[0].area.maxY, 12);
    EXPECT_EQ(page.links[1].kind, LinkKind::Address);
    EXPECT_EQ(page.links[1].target, "https://example.org/a b");
    ASSERT_EQ(page.anchors.size(), 2u);
    EXPECT_EQ(page.anchors[0].name, "page.1");
    ASSERT_TRUE(page.anchors[0].where.has_value());
    EXPECT_DOUBLE_EQ(page.anchors[0].where->first, 3);
    EXPECT_DOUBLE_EQ(page.anchors[0].where->second, -4);
    EXPECT_FALSE(page.anchors[1].where.has_value());
    EXPECT_NE(log.str().find("a link of no kind"), std::string::npos);
}

}  // namespace
}  // namespace morvex
