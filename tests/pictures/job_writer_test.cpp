// The job the picture program reads: chunks in dvips's order, each command
// with its exact bytes, positions as the glyphs have them.
#include "pictures/job_writer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

namespace morvex::pictures {
namespace {

Job sampleJob() {
    JobFrame frame;
    frame.ptPerDvi = 1.0f / 65536;
    frame.mag = 1000;
    frame.widthBp = 500.5;
    frame.heightBp = 700;
    JobBuilder b(frame);
    b.beginPage(7);
    b.special(SpecialKind::Ps, 65536, 2 * 65536, " gsave", 11);
    b.headerFile("/tex/pstricks.pro");  // met on a page, run before the pages
    b.special(SpecialKind::PsRaw, 0, 0, "", 12);
    b.color(0, 0, 1, 0.5, 2, 13);
    b.literal(" /x 1 def");
    b.special(SpecialKind::Quote, -65536, 0, " 0 0 moveto", 14);
    b.figure(3 * 65536, 65536, "/doc/box.eps", FigureSection{30, 400}, {{"llx", "0"}, {"rwi", "566"}, {"clip", ""}});
    b.special(SpecialKind::PsBegin, 65536 / 2, 0, "x", 15);
    b.endPage();
    b.headerFile("/tex/tex.pro", "/pre 1 def", "/post 2 def");
    return b.finish();
}

TEST(JobWriter, CommandsInDvipsOrder) {
    const std::string job = writeJob(sampleJob(), "0123abcd");
    const std::string want =
        "%!morvex-pictures-job\n"
        "(0123abcd) 72.270000 500.500000 700.000000 1000 job\n"
        "<2f7465782f7073747269636b732e70726f> 0 header\n"
        "10 1 userheader\n/pre 1 def"
        "<2f7465782f7465782e70726f> 2 header\n"
        "11 3 userheader\n/post 2 def"
        "9 4 literal\n /x 1 def"
        "5 start\n"
        "7 0 6 page\n"
        "6 7 1.000000 2.000000 ps\n gsave"
        "0 8 psraw\n"
        "1.000000 0.500000 1.000000 9 color\n"
        "11 10 -1.000000 0.000000 quote\n 0 0 moveto"
        "<2f646f632f626f782e657073> 30 400 21 11 3.000000 1.000000 psfile\n0 @llx 566 @rwi @clip"
        "1 12 0.500000 0.000000 psbegin\nx"
        "13 endpage\n"
        "end\n";
    EXPECT_EQ(job, want);
}

TEST(JobWriter, TagsPagesAndFiles) {
    const Job job = sampleJob();
    ASSERT_EQ(job.chunks.size(), 14u);
    EXPECT_EQ(job.chunks[7].tag, 11u);
    EXPECT_EQ(job.chunks[7].page, 0);
    EXPECT_EQ(job.chunks[0].page, -1);
    EXPECT_EQ(job.files(), (std::vector<std::string>{"/tex/pstricks.pro", "/tex/tex.pro", "/doc/box.eps"}));
}

// A chunk left out keeps the others' numbers; the rerun's reports name the
// same chunks as the first run's.
TEST(JobWriter, SkippedChunksKeepTheNumbering) {
    const Job job = sampleJob();
    std::vector<bool> skip(job.chunks.size(), false);
    skip[7] = skip[11] = true;
    const std::string text = writeJob(job, "ab", skip);
    EXPECT_EQ(text.find(" gsave"), std::string::npos);
    EXPECT_EQ(text.find("psfile"), std::string::npos);
    EXPECT_NE(text.find("0 8 psraw\n"), std::string::npos);
    EXPECT_NE(text.find("1 12 0.500000 0.000000 psbegin\nx"), std::string::npos);
}

// Whatever a special holds reaches the job as its bytes, counted: braces,
// newlines, a line that reads like a command, NUL bytes.
TEST(JobWriter, SpecialBytesAreCountedNotQuoted) {
    JobBuilder b{JobFrame{}};
    b.beginPage(1);
    const std::string hostile = std::string("} end\n1 2 page\n(\x00\xff", 17) + "\nend\n";
    b.special(SpecialKind::PsRaw, 0, 0, hostile);
    const std::string text = writeJob(b.finish(), "ab");
    const std::string head = std::to_string(hostile.size()) + " 2 psraw\n";
    size_t at = text.find(head);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(at + head.size(), hostile.size()), hostile);
    EXPECT_EQ(text.substr(at + head.size() + hostile.size()), "3 endpage\nend\n");
}

// Positions are h and v times ptPerDvi in single precision, as the glyphs'.
TEST(JobWriter, PositionsInSinglePrecision) {
    JobFrame frame;
    frame.ptPerDvi = 25400000.0f / 473628672.0f / 7227.0f * 72.27f * 1.2f;  // a magnified file
    JobBuilder b(frame);
    b.beginPage(1);
    b.special(SpecialKind::Ps, 12345678, -987654, "");
    const std::string text = writeJob(b.finish(), "ab");
    char want[96];
    std::snprintf(want, sizeof want, "0 2 %.6f %.6f ps\n", static_cast<double>(12345678.0f * frame.ptPerDvi),
                  static_cast<double>(-987654.0f * frame.ptPerDvi));
    EXPECT_NE(text.find(want), std::string::npos) << text;
}

TEST(JobWriter, NoncesAreFreshHex) {
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        std::string n = makeNonce();
        ASSERT_EQ(n.size(), 16u);
        for (char c : n) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c)) && !std::isupper(c));
        seen.insert(n);
    }
    EXPECT_EQ(seen.size(), 20u);
}

TEST(JobWriter, NoPagesNoStart) {
    JobBuilder b{JobFrame{}};
    b.headerFile("/a.pro");
    const Job job = b.finish();
    ASSERT_EQ(job.chunks.size(), 1u);
    EXPECT_EQ(writeJob(job, "ab").find("start"), std::string::npos);
}

}  // namespace
}  // namespace morvex::pictures
