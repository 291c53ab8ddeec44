// The command line of the built program: options, messages, exit codes and
// what each early end leaves in the output files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"

using morvex::testing::DviWriter;
using morvex::testing::filesIn;
using morvex::testing::ProcessResult;
using morvex::testing::readFile;
using morvex::testing::runProcess;
using morvex::testing::TempDir;
using morvex::testing::writeFile;

namespace {

const std::string& kBinary = morvex::testing::kMorvexBinary;
const std::string kDviDir = MORVEX_TEST_DVI_DIR;
const std::string& kConfigDir = morvex::testing::kBuildConfigDir;

const std::string kBanner = "This is MORVEX version 0.7.1\n";
const std::string kUsage =
    "Usage: morvex [OPTIONS] file[.dvi]\n\n"
    "  -o FILE\tFILE name for SVG output, default out.svg\n"
    "  -O FILE\tFILE name for LOG output, default out.log\n"
    "  -f FILE\tFILE name for SVG Fonts output, default fonts.svg\n"
    "  -t\t\ttry generate new TFM files by mktextfm, default\n"
    "  -d LEVEL\tset debug level\n"
    "  -p PAGE\tselects page in DVI for output, default first\n\n"
    "  -c DIR\tconfig files directory DIR,\n\t\tdefault /usr/local/share/texmf/morvex\n\n"
    "  --help\tdisplay help and exit\n"
    "  --version\toutput version and exit\n\n";
const std::string kSvgHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\n<!-- Generator: MORVEX version 0.7.1 -->";

ProcessResult morvex(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), kBinary);
    return runProcess(args, dir.path);
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TEST(Cli, EndsBeforeAnyFileIsTouched) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
        bool stderrDiagnostic;
    };
    const Case cases[] = {
        {{"--version"}, 201, "", false},
        {{"--help"}, 202, kUsage, false},
        {{"-c", "/x", "--help"}, 202, "CNF DIR is now: /x\n" + kUsage, false},
        {{"-t", "paper"}, 204, "", true},
        {{"--verbose", "paper"}, 204, "", true},
        {{"paper", "-p"}, 204, "", true},
        {{"-o", "a.svg"}, 205, "SVG output is now: a.svg\n" + kBanner + kUsage, false},
        {{}, 205, kBanner + kUsage, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        ProcessResult r = morvex(dir, c.args);
        std::string what = c.args.empty() ? "(no arguments)" : c.args[0];
        EXPECT_EQ(r.exitCode, c.code) << what;
        if (c.code == 201) {
            EXPECT_EQ(r.out.rfind("MORVEX version 0.7.1\n", 0), 0u) << r.out;
            EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
        } else {
            EXPECT_EQ(r.out, c.out) << what;
        }
        EXPECT_EQ(!r.err.empty(), c.stderrDiagnostic) << what << ": " << r.err;
        EXPECT_TRUE(filesIn(dir.path).empty()) << what;
    }
}

TEST(Cli, OptionMessagesComeInTheirOrderAndRepeatedOptionsReplace) {
    TempDir dir;
    ProcessResult r = morvex(dir, {"-p", "-7", "-d", "3", "-O", "one.log", "-O", "two.log", "-f", "f.svg",
                                   "-o", "x.svg", "nofile"});
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.out,
              "Page: -7\nDEBUG on level:\nLOG output is now: one.log\nLOG output is now: two.log\n"
              "SVG Font is now: f.svg\nSVG output is now: x.svg\n" +
                  kBanner + kBinary + ": File nofile.dvi doesn't exists.\n");
    EXPECT_TRUE(filesIn(dir.path).empty());
}

// A page that is not a whole number in the range of \count0 is refused
// with the option errors' code before any file is touched, whatever the
// options around it.
TEST(Cli, PageThatIsNotAWholeNumberIsRefused) {
    const std::string dvi = kDviDir + "/hello.dvi";
    const char* const bad[] = {"abc", "1x", "", "+", "-", " 1", "1 ", "1.5", "0x1", "2147483648",
                               "-2147483649", "99999999999999999999", "\x1b[2J1"};
    for (const char* page : bad) {
        SCOPED_TRACE(std::string("-p '") + page + "'");
        TempDir dir;
        ProcessResult r = morvex(dir, {"-c", kConfigDir, "-p", page, "-o", "a.svg", dvi});
        EXPECT_EQ(r.exitCode, 204);
        EXPECT_EQ(r.out, "CNF DIR is now: " + kConfigDir + "\nPage: " + page + "\n");
        EXPECT_NE(r.err.find(": -p takes a page number, a whole number from -2147483648 to 2147483647; \""),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "the value is shown escaped";
        EXPECT_TRUE(filesIn(dir.path).empty());
    }
}

// The whole range of \count0 is reachable, with either sign written.
TEST(Cli, PageNumbersAtTheEndsOfTheRangeAreConverted) {
    struct Case {
        const char* page;
        int32_t count0;
    };
    const Case cases[] = {{"-5", -5}, {"+3", 3}, {"0", 0}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        DviWriter w;
        w.pre("x").bop(1).eop().bop(c.count0).eop().bop(2).eop().post().postpost();
        TempDir dir;
        ASSERT_TRUE(writeFile(dir.file("in.dvi"), w.str()));
        ProcessResult r = morvex(dir, {"-c", kConfigDir, "-p", c.page, "in.dvi"});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("Pages:.(.).\n"), std::string::npos) << r.out;
    }
}

TEST(Cli, OutputFilesThatCannotBeOpened) {
    const std::string dvi = kDviDir + "/hello.dvi";
    {
        // The trace log cannot be created: the SVG document is left untouched.
        TempDir dir;
        ASSERT_TRUE(writeFile(dir.file("out.svg"), "keep"));
        ProcessResult r = morvex(dir, {"-O", "missing/out.log", dvi});
        EXPECT_EQ(r.exitCode, 30);
        EXPECT_EQ(r.out, "LOG output is now: missing/out.log\n" + kBanner + kBinary +
                             ": Can not open missing/out.log as output file.\n");
        EXPECT_EQ(readFile(dir.file("out.svg")), "keep");
    }
    {
        // The SVG document cannot be created: the trace log exists and is empty.
        TempDir dir;
        ProcessResult r = morvex(dir, {"-o", "missing/out.svg", dvi});
        EXPECT_EQ(r.exitCode, 50);
        EXPECT_EQ(r.out, "SVG output is now: missing/out.svg\n" + kBanner + kBinary +
                             ": Can not open missing/out.svg as output file.\n");
        EXPECT_TRUE(exists(dir.file("out.log")));
        EXPECT_EQ(readFile(dir.file("out.log")), "");
    }
    {
        // A path far longer than any fixed buffer is kept whole in the message.
        TempDir dir;
        std::string longPath = "missing/" + std::string(5000, 'a') + ".svg";
        ProcessResult r = morvex(dir, {"-o", longPath, dvi});
        EXPECT_EQ(r.exitCode, 50);
        EXPECT_NE(r.out.find(": Can not open " + longPath + " as output file.\n"), std::string::npos);
    }
}

// A DVI file is read from its end: a pipe or a device is refused before any
// output is made, and a named pipe without a writer is not waited on.
TEST(Cli, DviFileThatIsNotARegularFile) {
    TempDir dir;
    ASSERT_EQ(symlink("/dev/stdin", dir.file("pipe.dvi").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo.dvi").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/null", dir.file("device.dvi").c_str()), 0);
    for (const char* name : {"pipe.dvi", "fifo.dvi", "device.dvi"}) {
        SCOPED_TRACE(name);
        ProcessResult r = runProcess({kBinary, name}, dir.path, {}, true, "\xF7\x02");
        EXPECT_EQ(r.exitCode, 11);
        EXPECT_EQ(r.out, kBanner + kBinary + ": " + name + " is not a regular file; a DVI file is read from its end.\n");
        EXPECT_EQ(filesIn(dir.path), (std::set<std::string>{"device.dvi", "fifo.dvi", "pipe.dvi"}));
    }
}

TEST(Cli, DviErrorsEndWithTheirMessages) {
    DviWriter good;
    good.pre("x").bop(1).eop().post().fntdef(0, "cmr10").postpost(4);
    std::string noPre = good.str();
    noPre[0] = 1;
    std::string noPostPost = good.str();
    noPostPost[noPostPost.size() - 10] = 0;
    std::string noPost = good.str();
    noPost[good.postOffset] = 0;
    DviWriter badDef;
    badDef.pre("x").bop(1).eop().post().fntdef(0, "cm\"r10").postpost(4);
    std::string noBop = good.str();
    noBop[good.postOffset + 1] = 0x10;  // the last page pointer now lies past the end

    struct Case {
        std::string bytes;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {noPre, 15, "\nCan not find DVI_PRE.\n"},
        {noPostPost, 12, "\nCan not find DVI_POST_POST.\n"},
        {noPost, 13, "\nCan not find DVI_POST.\n"},
        {badDef.str(), 14, "\nError in DVI: FNT_DEF_i.\n"},
        {noBop, 16, "Error in DVI: DVI_BOP.\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        ASSERT_TRUE(writeFile(dir.file("bad.dvi"), c.bytes));
        ProcessResult r = morvex(dir, {"bad"});
        EXPECT_EQ(r.exitCode, c.code);
        ASSERT_GE(r.out.size(), c.message.size());
        EXPECT_EQ(r.out.substr(r.out.size() - c.message.size()), c.message) << c.code;
        std::string svg = readFile(dir.file("out.svg"));
        EXPECT_EQ(svg.rfind(kSvgHead, 0), 0u) << c.code;
        if (c.code == 15) {
            EXPECT_EQ(svg, kSvgHead);
            EXPECT_EQ(readFile(dir.file("out.log")), "");
        } else {
            EXPECT_EQ(readFile(dir.file("out.log")).rfind("#### dvibase\n", 0), 0u) << c.code;
        }
    }
}

TEST(Cli, RealTexOutputRunsThrough) {
    TempDir dir;
    ProcessResult r = morvex(dir, {"-c", kConfigDir, kDviDir + "/hello"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Opening files: " + kDviDir + "/hello.dvi (r) out.log out.svg (w).\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("' TeX output "), std::string::npos);
    EXPECT_NE(r.out.find("Fonts:*\n"), std::string::npos);
    std::string svg = readFile(dir.file("out.svg"));
    EXPECT_EQ(svg.rfind(kSvgHead + "\n<!DOCTYPE svg SYSTEM", 0), 0u);
    EXPECT_NE(svg.find("<!ENTITY st0 \"font-family:cmr10;font-size:10.00pt;\">"), std::string::npos);
    EXPECT_NE(readFile(dir.file("out.log")).find("\nBOP: c0:1 "), std::string::npos);
}

}  // namespace
