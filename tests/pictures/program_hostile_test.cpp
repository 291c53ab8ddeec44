// Specials that are broken or hostile: each is framed (it cannot read past
// its own bytes nor forge a record), its error is reported and the page goes
// on, the operators a run needs cannot be taken from it, nothing outside
// the permitted files is read, and one that never ends is left out of a
// second run.
#include <gtest/gtest.h>

#include "pictures/page_fixture.h"

namespace morvex::testing {
namespace {

using pictures::Fill;
using pictures::SpecialKind;

// Every special here is followed by one that paints a 1x1 square: it must
// be reported whatever came before.
const char* kProbe = "0 0 1 1 rectfill";

TEST(HostileSpecials, BrokenCodeIsReportedAndThePageGoesOn) {
    struct Case {
        const char* code;
        const char* error;
    } cases[] = {
        {"{ 1 2", "syntaxerror"},          // a brace the special never closes
        {"} 3 4", "syntaxerror"},
        {"(unclosed", "syntaxerror"},
        {"<abc", "syntaxerror"},
        {"1 0 div", "undefinedresult"},
        {"nosuchoperator", "undefined"},
        {"stop", "stop"},
        {"exit", "invalidexit"},           // no loop of the program's is reached
        {"currentfile 100000 string readstring pop pop 1 1", nullptr},  // reads its own bytes only
    };
    std::vector<PageSpecial> specials;
    for (const Case& c : cases) {
        specials.push_back({SpecialKind::PsRaw, c.code});
        specials.push_back({SpecialKind::PsRaw, kProbe});
    }
    pictures::Job job = pageJob(specials);
    PictureRun run = runPictures(job);
    EXPECT_TRUE(run.report.finished) << run.out;
    EXPECT_EQ(run.report.rejectedLines, 0u);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].code);
        const pictures::ChunkReport& broken = special(run, job, 2 * i);
        if (cases[i].error != nullptr) {
            ASSERT_EQ(broken.errors.size(), 1u);
            EXPECT_EQ(broken.errors[0].name, cases[i].error);
        } else {
            EXPECT_TRUE(broken.errors.empty());
        }
        EXPECT_TRUE(broken.end);
        EXPECT_EQ(special(run, job, 2 * i + 1).paints.size(), 1u);
    }
}

// After an error the stacks are as the special found them.
TEST(HostileSpecials, StacksRestoredAfterAnError) {
    pictures::Job job = pageJob({
        {SpecialKind::PsRaw, "count userdict exch /c0 exch put countdictstack userdict exch /d0 exch put"},
        {SpecialKind::PsRaw, "1 2 3 4 5 1 dict begin 2 dict begin nosuchoperator"},
        {SpecialKind::PsRaw, "count c0 sub 1 add countdictstack d0 sub 1 add 0 0 4 2 roll rectfill"},
        {SpecialKind::PsRaw, "end end end end end end"},  // TeXDict and the rest ended
        {SpecialKind::Ps, kProbe},
    });
    PictureRun run = runPictures(job);
    EXPECT_TRUE(run.report.finished);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 2u);
    expectBox(pathBox(fills[0].path), kInch, kInch, kInch + 1, kInch + 1);
    EXPECT_EQ(special(run, job, 3).errors.at(0).name, "dictstackunderflow");
    // eop found TeXDict again.
    EXPECT_TRUE(run.report.chunks.back().errors.empty());
}

TEST(HostileSpecials, OperatorsThatWouldEndTheRunAreHarmless) {
    std::vector<PageSpecial> specials;
    for (const char* code : {"quit", "showpage", "copypage erasepage", "<< /PageSize [10 10] >> setpagedevice",
                             "serverdict begin 0 exitserver end", "true 0 startjob pop",
                             "{ 1 settransfer } settransfer { } { } { } { } setcolortransfer"}) {
        specials.push_back({SpecialKind::PsRaw, std::string(code) + " " + kProbe});
    }
    pictures::Job job = pageJob(specials);
    PictureRun run = runPictures(job);
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), specials.size());
    for (const Fill& f : fills) expectBox(pathBox(f.path), kInch, kInch, kInch + 1, kInch + 1);
}

// The operators a special replaces in userdict, and the error handlers it
// replaces, are the program's again for the next special.
TEST(HostileSpecials, ReplacedOperatorsComeBack) {
    pictures::Job job = pageJob({
        {SpecialKind::PsRaw,
         "userdict /fill { pop } put userdict /rectfill { pop pop pop pop } put userdict /stroke undef "
         "userdict /pdfmark { cleartomark } put errordict /undefined { pop } put"},
        {SpecialKind::PsRaw, "0 0 1 1 rectfill newpath 0 0 moveto 1 1 lineto stroke 0 0 moveto 1 0 lineto fill"},
        {SpecialKind::PsRaw, "nosuchoperator 5 5 1 1 rectfill"},
    });
    PictureRun run = runPictures(job);
    EXPECT_TRUE(run.report.finished);
    EXPECT_EQ(paintsOf<Fill>(run).size(), 2u);
    EXPECT_EQ(paintsOf<pictures::Stroke>(run).size(), 1u);
    ASSERT_EQ(special(run, job, 2).errors.size(), 1u);
    EXPECT_TRUE(special(run, job, 2).paints.empty());
}

// What a special prints is never a record: neither a line shaped like one
// nor the text it finds by searching the stacks, the program's procedures
// and the error state for the nonce.
TEST(HostileSpecials, NoForgedRecords) {
    const std::string search =
        "/show1 { dup type /stringtype eq { == } { pop } ifelse } def "
        "countexecstack array execstack { dup type /arraytype eq { dup rcheck { { show1 } forall } { pop } ifelse } "
        "{ pop } ifelse } forall "
        "{ userdict /fill get { show1 } forall } stopped pop "
        "{ userdict /fill get 0 get show1 } stopped pop "
        "errordict /typecheck { $error /ostack get { show1 } forall stop } put "
        "{ (a) (b) (c) (d) rectfill } stopped pop "
        "$error { exch pop dup type /arraytype eq { { show1 } forall } { show1 } ifelse } forall";
    pictures::Job job = pageJob({
        {SpecialKind::PsRaw, "(\\n0000000000000000 f 0 0 ff0000 1000000 M 0 0 L 9 9 Z E\\n) print"},
        {SpecialKind::PsRaw, "(no newline) print " + std::string(kProbe)},
        {SpecialKind::PsRaw, search},
        {SpecialKind::Quote, "(S 99\\ne 99) print"},
    });
    PictureRun run = runPictures(job);
    EXPECT_TRUE(run.report.finished) << run.out;
    EXPECT_EQ(run.report.rejectedLines, 0u);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].color, (pictures::Rgb8{0, 0, 0}));
    // The nonce appears at the start of records and nowhere else.
    size_t records = 0, seen = 0;
    for (size_t at = 0; (at = run.out.find(run.nonce, at)) != std::string::npos; at += run.nonce.size()) {
        ++seen;
        if (at == 0 || run.out[at - 1] == '\n') ++records;
    }
    EXPECT_EQ(seen, records) << run.out;
    EXPECT_NE(run.out.find("no newline"), std::string::npos);
}

// Only the files of the job may be read, and nothing written outside the
// run's own temporary directory.
TEST(HostileSpecials, NoFileOutsideTheJob) {
    TempDir outside;
    const std::string target = outside.file("written");
    pictures::Job job = pageJob({
        {SpecialKind::PsRaw, "(/etc/passwd) (r) file 100 string readstring pop print"},
        {SpecialKind::PsRaw, "(%pipe%echo hello) (r) file"},
        {SpecialKind::PsRaw, "(" + target + ") (w) file (x) writestring"},
        {SpecialKind::PsRaw, "(" + std::string(MORVEX_SOURCE_DIR) + "/README.md) run"},
        {SpecialKind::PsRaw, kProbe},
    });
    PictureRun run = runPictures(job);
    EXPECT_TRUE(run.report.finished);
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(special(run, job, i).errors.size(), 1u) << i;
        EXPECT_EQ(special(run, job, i).errors[0].name, "invalidfileaccess") << i;
    }
    EXPECT_EQ(run.out.find("root:"), std::string::npos);
    EXPECT_TRUE(filesIn(outside.path).empty());
    EXPECT_EQ(special(run, job, 4).paints.size(), 1u);
}

// A special that never ends meets the time limit; the report shows it began
// last; the job run again without it draws the rest of the page. So does
// one that swallows the rest of the job.
TEST(HostileSpecials, SpecialsThatNeverEndAreLeftOut) {
    struct Case {
        const char* what;
        const char* code;
        int limit;
    } cases[] = {
        {"an endless loop", "{ } loop", 3},
        {"the job read to its end", "(%stdin) (r) file dup 100000 string readstring pop pop closefile", 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pictures::Job job = pageJob({
            {SpecialKind::PsRaw, "0 0 2 2 rectfill"},
            {SpecialKind::PsRaw, c.code},
            {SpecialKind::PsRaw, "0 0 3 3 rectfill"},
        });
        const size_t culprit = firstPageChunk(job) + 1;
        pictures::RetryPlan plan(job);
        PictureRun first = runPictures(job, c.limit, plan.skip());
        EXPECT_FALSE(first.report.finished);
        EXPECT_EQ(first.report.lastBegun, culprit);
        EXPECT_EQ(first.report.chunks[culprit - 1].paints.size(), 1u);
        ASSERT_TRUE(plan.again(first.report));
        EXPECT_EQ(plan.culprits(), std::vector<size_t>{culprit});
        PictureRun second = runPictures(job, c.limit, plan.skip());
        EXPECT_TRUE(second.report.finished);
        EXPECT_FALSE(plan.again(second.report));
        EXPECT_TRUE(plan.gaveUp().empty());
        EXPECT_FALSE(second.report.chunks[culprit].begun);
        EXPECT_EQ(paintsOf<Fill>(second).size(), 2u);
    }
}

// pgf saves in one special and restores in another; the program's own
// objects never stand in the way of that restore.
TEST(HostileSpecials, SaveAndRestoreAcrossSpecials) {
    pictures::Job job = pageJob({
        {SpecialKind::PsRaw, "save 1 0 0 setrgbcolor"},
        {SpecialKind::Ps, "gsave 0 0 5 5 rectclip"},
        {SpecialKind::PsRaw, kProbe},
        {SpecialKind::PsRaw, "grestore restore"},
        {SpecialKind::PsRaw, kProbe},
    });
    PictureRun run = runPictures(job);
    expectClean(run);
    std::vector<Fill> fills = paintsOf<Fill>(run);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].color, (pictures::Rgb8{255, 0, 0}));
    EXPECT_EQ(fills[0].clip, 1u);
    EXPECT_EQ(fills[1].color, (pictures::Rgb8{0, 0, 0}));
    EXPECT_EQ(fills[1].clip, 0u);
}

}  // namespace
}  // namespace morvex::testing
