// How the picture program is run: Ghostscript's words and environment, and
// which chunk a run that did not finish leaves out of the next.
#include "pictures/run_plan.h"

#include <gtest/gtest.h>

namespace morvex::pictures {
namespace {

TEST(PictureCommand, WordsAndEnvironment) {
    PictureCommand c = pictureCommand("gs", "/cfg/pictures.ps", {"/tex/tex.pro", "/doc/a b.eps", "/tex/tex.pro"},
                                      "/tmp/run-1");
    ASSERT_TRUE(c.ok()) << c.refusal;
    EXPECT_EQ(c.argv, (std::vector<std::string>{"gs", "-dSAFER", "-dNODISPLAY", "-dNOCACHE", "-q", "-dBATCH",
                                                "-dNOPAUSE", "--permit-file-read=/tex/tex.pro",
                                                "--permit-file-read=/doc/a b.eps", "/cfg/pictures.ps"}));
    EXPECT_EQ(c.setEnvironment, std::vector<std::string>{"TMPDIR=/tmp/run-1"});
    for (const char* v : {"GS_OPTIONS", "GS_LIB", "GS_FONTPATH"})
        EXPECT_NE(std::find(c.unsetEnvironment.begin(), c.unsetEnvironment.end(), v), c.unsetEnvironment.end()) << v;
}

// A permit of "/a:/etc/passwd" would be two permits, one of them
// /etc/passwd; "/a*" every file beginning so. No command then.
TEST(PictureCommand, RefusedWhatCannotBeSaid) {
    EXPECT_FALSE(pictureCommand("gs", "/cfg/pictures.ps", {"/doc/x:/etc/passwd"}, "/tmp/r").ok());
    EXPECT_FALSE(pictureCommand("gs", "/cfg/pictures.ps", {"/doc/*"}, "/tmp/r").ok());
    EXPECT_FALSE(pictureCommand("gs", "cfg/pictures.ps", {}, "/tmp/r").ok());
    EXPECT_FALSE(pictureCommand("gs", "/cfg/pictures.ps", {}, "").ok());
    EXPECT_TRUE(pictureCommand("gs", "/cfg/pictures.ps", {}, "/tmp/r").argv.size() == 8);
}

Job twoPages() {
    JobBuilder b{JobFrame{}};
    b.headerFile("/tex/tex.pro");
    for (int page = 1; page <= 2; ++page) {
        b.beginPage(page);
        b.special(SpecialKind::Ps, 0, 0, "a");
        b.special(SpecialKind::Ps, 0, 0, "b");
        b.endPage();
    }
    return b.finish();  // 0 header, 1 start, 2 page, 3 a, 4 b, 5 end, 6 page, 7 a, 8 b, 9 end
}

Report stoppedAt(std::optional<size_t> last, bool finished = false) {
    Report r;
    r.chunks.resize(10);
    r.lastBegun = last;
    r.finished = finished;
    return r;
}

TEST(RetryPlan, LeavesOutTheChunkThatBeganLast) {
    const Job job = twoPages();
    RetryPlan plan(job);
    EXPECT_TRUE(plan.again(stoppedAt(4)));
    EXPECT_TRUE(plan.again(stoppedAt(7)));
    EXPECT_FALSE(plan.again(stoppedAt(9, true)));
    EXPECT_TRUE(plan.gaveUp().empty());
    EXPECT_EQ(plan.culprits(), (std::vector<size_t>{4, 7}));
    std::vector<bool> want(job.chunks.size(), false);
    want[4] = want[7] = true;
    EXPECT_EQ(plan.skip(), want);
}

TEST(RetryPlan, GivesUp) {
    const Job job = twoPages();
    struct Case {
        const char* what;
        std::vector<std::optional<size_t>> runs;  // where each run stopped
        const char* reason;
    } cases[] = {
        {"nothing began", {std::nullopt}, "before the first chunk"},
        {"a page's beginning", {6}, "page set-up"},
        {"a page's end", {5}, "page set-up"},
        {"the start", {1}, "page set-up"},
        {"too many", {3, 4, 7, 8}, "too many"},
        {"a chunk left out", {3, 3}, "left out began again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RetryPlan plan(job);
        for (size_t i = 0; i + 1 < c.runs.size(); ++i) ASSERT_TRUE(plan.again(stoppedAt(c.runs[i])));
        EXPECT_FALSE(plan.again(stoppedAt(c.runs.back())));
        EXPECT_NE(plan.gaveUp().find(c.reason), std::string::npos) << plan.gaveUp();
    }
}

}  // namespace
}  // namespace morvex::pictures
