// The PostScript program extracting several fonts in one Ghostscript run
// from a job file: each font's file is the one a run for it alone writes,
// a failing job is reported and skipped, nothing of one job reaches the
// next, and one permit per direction covers a private directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"
#include "tarnevik_run.h"

namespace morvex {
namespace {

using testing::FontRun;
using testing::kpseFind;
using testing::kTarnevikEnc;
using testing::kTarnevikPs;
using testing::readFile;
using testing::runProcess;
using testing::TempDir;
using testing::writeFile;

// A PostScript string literal.
std::string psString(const std::string& s) {
    std::string r = "(";
    for (unsigned char c : s) {
        if (c == '(' || c == ')' || c == '\\') {
            r += '\\';
            r += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char oct[5];
            std::snprintf(oct, sizeof oct, "\\%03o", c);
            r += oct;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r + ")";
}

// One job, with the values it passes as a single run would.
struct Job {
    std::string out;  // file name in the private directory
    std::string fontFile;
    std::string codes;
    std::string encVecFile = "";
    std::string slant = "";   // none
    std::string extend = "";  // none
    bool codesAsString = false;

    std::string text(const std::string& dir) const {
        std::string t = "<< /FONTFILE " + psString(fontFile) + " /THEFONT /f /SYMBOLS " +
                        (codesAsString ? psString("[ " + codes + " ]") : "[ " + codes + " ]") + " /FONTOUT " +
                        psString(dir + "/" + out);
        if (!encVecFile.empty()) t += " /ENCVECFILE " + psString(encVecFile);
        if (!slant.empty()) t += " /SLANT " + slant;
        if (!extend.empty()) t += " /EXTEND " + extend;
        return t + " >>\n";
    }

    FontRun single(const std::string& dir) const {
        FontRun f{fontFile, dir + "/" + out, codes, encVecFile, {}};
        if (!slant.empty()) f.transform.push_back("-dSLANT=" + slant);
        if (!extend.empty()) f.transform.push_back("-dEXTEND=" + extend);
        return f;
    }
};

std::string jobFile(const std::string& dir, const std::vector<Job>& jobs) {
    std::string t = "[\n";
    for (const auto& j : jobs) t += j.text(dir);
    return t + "]\n";
}

// The batch as morvex starts it: the private directory permitted as a
// whole, the installation's files one by one.
testing::ProcessResult runBatch(const std::string& dir, const std::vector<std::string>& readable,
                                const std::vector<std::string>& extra = {},
                                const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> args = prefix;
    for (const auto& a : testing::gsCommand(dir)) args.push_back(a);
    args.push_back("--permit-file-read=" + dir + "/*");
    args.push_back("--permit-file-write=" + dir + "/*");
    args.push_back("--permit-file-read=" + kTarnevikEnc);
    for (const auto& f : readable) args.push_back("--permit-file-read=" + f);
    for (const auto& e : extra) args.push_back(e);
    for (const std::string& a : {"-sJOBS=" + dir + "/jobs.ps", std::string("-dENCODING=/TeXUTF8Encoding"),
                                 "-sENCFILE=" + kTarnevikEnc, kTarnevikPs})
        args.push_back(a);
    return runProcess(args, dir);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> r;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        r.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        start = nl == std::string::npos ? text.size() : nl + 1;
    }
    return r;
}

bool exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f != nullptr) std::fclose(f);
    return f != nullptr;
}

const std::string kAll = testing::codeRange(0, 255);

TEST(TarnevikBatch, EachFontIsWhatItsSingleRunWrites) {
    TempDir dir;
    const std::string lmr = kpseFind("lmr10.pfb"), lmEc = kpseFind("lm-ec.enc");
    const std::string sfrm = kpseFind("sfrm1000.pfb"), t1 = kpseFind("cm-super-t1.enc");
    const std::string ts1 = kpseFind("cm-super-ts1.enc");
    const std::string cmr = kpseFind("cmr10.pfb"), eurb = kpseFind("eurb10.pfb");
    const std::vector<Job> jobs = {
        {"ec-lmr10", lmr, kAll, lmEc, "0", "1"},
        {"missing", dir.file("none.pfb"), "65 66"},
        {"ecrm1000", sfrm, kAll, t1, "0", "1", true},
        {"cmr10", cmr, kAll},
        {"eurbo10", eurb, kAll, "", "0.167", "1"},
        // The same font files again, other ways.
        {"tcrm1000", sfrm, kAll, ts1, "0", "1"},
        {"cmr10 (wide) & \"quoted\"", cmr, "0 65 97 255", "", "0", "1.2"},
        {"lmr10", lmr, "27 65 161"},
    };
    std::vector<std::string> single(jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (jobs[i].out == "missing") continue;
        SCOPED_TRACE(jobs[i].out);
        auto r = testing::runFont(dir.path, jobs[i].single(dir.path));
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        single[i] = readFile(dir.file(jobs[i].out));
        ASSERT_FALSE(single[i].empty());
        ASSERT_EQ(std::remove(dir.file(jobs[i].out).c_str()), 0);
    }

    ASSERT_TRUE(writeFile(dir.file("jobs.ps"), jobFile(dir.path, jobs)));
    auto r = runBatch(dir.path, {lmr, lmEc, sfrm, t1, ts1, cmr, eurb});
    EXPECT_NE(r.exitCode, 0);
    auto reported = lines(r.out);
    ASSERT_EQ(reported.size(), 1u) << r.out;
    EXPECT_EQ(reported[0].rfind("tarnevik.ps: " + dir.file("missing") + ": ", 0), 0u) << reported[0];
    EXPECT_NE(reported[0].find("none.pfb"), std::string::npos) << reported[0];

    std::set<std::string> expected = {"jobs.ps"};
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (jobs[i].out == "missing") continue;
        SCOPED_TRACE(jobs[i].out);
        expected.insert(jobs[i].out);
        EXPECT_TRUE(readFile(dir.file(jobs[i].out)) == single[i]);
    }
    EXPECT_EQ(testing::filesIn(dir.path), expected);
}

TEST(TarnevikBatch, NothingOfOneJobReachesTheNext) {
    TempDir dir;
    const std::string cmr = kpseFind("cmr10.pfb");
    // A font file that, past its font, redefines how the program writes
    // numbers: its own file shows it, the next job must not.
    ASSERT_EQ(runProcess({"t1ascii", cmr, dir.file("cmr10.pfa")}, dir.path).exitCode, 0);
    ASSERT_TRUE(writeFile(dir.file("rogue.pfa"), readFile(dir.file("cmr10.pfa")) + "\n/emitnum { pop (0) emit } def\n"));
    // A file that defines a font only when it finds CMR10 already loaded.
    ASSERT_TRUE(writeFile(dir.file("borrow.ps"),
                          "FontDirectory /CMR10 known {\n"
                          "  FontDirectory /CMR10 get dup length dict copy dup /FID undef /Borrowed exch definefont pop\n"
                          "} if\n"));
    const std::vector<Job> jobs = {
        {"rogue", dir.file("rogue.pfa"), "65 66"},
        {"borrow", dir.file("borrow.ps"), "65 66"},
        {"cmr10", cmr, "65 66"},
    };
    auto plain = testing::runFont(dir.path, jobs[2].single(dir.path));
    ASSERT_EQ(plain.exitCode, 0) << plain.out;
    const std::string single = readFile(dir.file("cmr10"));
    ASSERT_EQ(std::remove(dir.file("cmr10").c_str()), 0);

    ASSERT_TRUE(writeFile(dir.file("jobs.ps"), jobFile(dir.path, jobs)));
    auto r = runBatch(dir.path, {cmr});
    EXPECT_NE(r.exitCode, 0);
    auto reported = lines(r.out);
    ASSERT_EQ(reported.size(), 1u) << r.out;
    EXPECT_EQ(reported[0], "tarnevik.ps: " + dir.file("borrow") + ": " + dir.file("borrow.ps") +
                               " defines no Type 1 font");
    EXPECT_NE(readFile(dir.file("rogue")).find("horiz-adv-x=\"0\" d=\"M0 0"), std::string::npos);
    EXPECT_FALSE(exists(dir.file("borrow")));
    EXPECT_TRUE(readFile(dir.file("cmr10")) == single);
}

TEST(TarnevikBatch, BadJobsAreReportedAndSkipped) {
    TempDir dir;
    const std::string cmr = kpseFind("cmr10.pfb");
    std::string shortVector = "/E [ /A /B ] def\n";
    ASSERT_TRUE(writeFile(dir.file("short.enc"), shortVector));
    auto good = [&](const std::string& out) {
        return "<< /FONTFILE " + psString(cmr) + " /SYMBOLS [ 65 ] /FONTOUT " + psString(dir.file(out)) + " >>\n";
    };
    auto bad = [&](const std::string& out, const std::string& rest) {
        return "<< /FONTFILE " + psString(cmr) + " /FONTOUT " + psString(dir.file(out)) + " " + rest + " >>\n";
    };
    struct Bad {
        std::string entry;
        std::string named;  // what its line names
    };
    const std::vector<Bad> bads = {
        {bad("extend0", "/SYMBOLS [ 65 ] /EXTEND 0"), dir.file("extend0")},
        {bad("slantstring", "/SYMBOLS [ 65 ] /SLANT (0.1)"), dir.file("slantstring")},
        {bad("unknownkey", "/SYMBOLS [ 65 ] /FONTNAME /cmr10"), dir.file("unknownkey")},
        {bad("code300", "/SYMBOLS [ 65 300 ]"), dir.file("code300")},
        {bad("procedure", "/SYMBOLS { 65 }"), dir.file("procedure")},
        {bad("nosymbols", ""), dir.file("nosymbols")},
        {bad("shortvector", "/SYMBOLS [ 65 ] /ENCVECFILE " + psString(dir.file("short.enc"))), dir.file("shortvector")},
        {bad("thefontstring", "/SYMBOLS [ 65 ] /THEFONT (cmr10)"), dir.file("thefontstring")},
        {"<< /FONTFILE " + psString(cmr) + " /SYMBOLS [ 65 ] >>\n", "job 10"},
        {"42\n", "job 11"},
    };
    std::string list = "[\n" + good("first");
    for (const auto& b : bads) list += b.entry;
    list += good("last") + "]\n";
    ASSERT_TRUE(writeFile(dir.file("jobs.ps"), list));
    auto r = runBatch(dir.path, {cmr});
    EXPECT_NE(r.exitCode, 0);
    auto reported = lines(r.out);
    ASSERT_EQ(reported.size(), bads.size()) << r.out;
    for (size_t i = 0; i < bads.size(); ++i)
        EXPECT_EQ(reported[i].rfind("tarnevik.ps: " + bads[i].named + ": ", 0), 0u) << reported[i];
    EXPECT_EQ(testing::filesIn(dir.path), (std::set<std::string>{"jobs.ps", "short.enc", "first", "last"}));
    EXPECT_EQ(readFile(dir.file("first")).substr(0, 6), "<font ");
}

// A job file that is not one list of jobs stops the run before any job;
// it is data and never runs.
TEST(TarnevikBatch, ABadJobFileWritesNothing) {
    const std::string cmr = kpseFind("cmr10.pfb");
    struct Case {
        const char* what;
        std::string jobs;  // "-" for no file
        std::vector<std::string> extra;
    };
    const std::string job = "<< /FONTFILE " + psString(cmr) + " /SYMBOLS [ 65 ] /FONTOUT (OUT) >>";
    const Case cases[] = {
        {"a job that is no list", job, {}},
        {"two lists", "[ " + job + " ] [ ]", {}},
        {"an unclosed list", "[ " + job, {}},
        {"a dictionary closed as a list", "[ << /FONTFILE (x) ] >>", {}},
        {"an odd dictionary", "[ << /FONTFILE >> ]", {}},
        {"code after the list", "[ " + job + " ] (executed) print flush", {}},
        {"code before the list", "(executed) print flush [ " + job + " ]", {}},
        {"an unterminated string", "[ " + job + " (x ]", {}},
        {"an empty file", "", {}},
        {"no file", "-", {}},
        {"the parameters of one font as well", "[ " + job + " ]", {"-sFONTFILE=" + cmr}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string text = c.jobs;
        for (size_t p = text.find("(OUT)"); p != std::string::npos; p = text.find("(OUT)"))
            text.replace(p, 5, psString(dir.file("out")));
        if (c.jobs != "-") {
            ASSERT_TRUE(writeFile(dir.file("jobs.ps"), text));
        }
        auto r = runBatch(dir.path, {cmr}, c.extra);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_FALSE(exists(dir.file("out")));
        EXPECT_EQ(r.out.find("executed"), std::string::npos) << r.out;
    }
}

// "DIR/*" opens the whole tree below DIR and nothing beside it.
TEST(TarnevikBatch, OnePermitPerDirectionCoversThePrivateDirectory) {
    TempDir dir;
    TempDir beside;
    const std::string cmr = kpseFind("cmr10.pfb");
    ASSERT_EQ(runProcess({"mkdir", dir.file("sub")}, dir.path).exitCode, 0);
    ASSERT_TRUE(writeFile(dir.file("sub/copy.pfb"), readFile(cmr)));
    ASSERT_TRUE(writeFile(beside.file("copy.pfb"), readFile(cmr)));
    const std::vector<Job> jobs = {
        {"sub/deep", cmr, "65"},
        {"../" + beside.path.substr(beside.path.rfind('/') + 1) + "/out", cmr, "65"},
        {"fromdir", dir.file("sub/copy.pfb"), "65"},
        {"frombeside", beside.file("copy.pfb"), "65"},
        {"sub/../dotdot", cmr, "65"},
    };
    ASSERT_TRUE(writeFile(dir.file("jobs.ps"), jobFile(dir.path, jobs)));
    auto r = runBatch(dir.path, {cmr});
    EXPECT_NE(r.exitCode, 0);
    auto reported = lines(r.out);
    ASSERT_EQ(reported.size(), 2u) << r.out;
    EXPECT_NE(reported[0].find("cannot open FONTOUT"), std::string::npos) << reported[0];
    EXPECT_NE(reported[1].find("cannot open FONTFILE"), std::string::npos) << reported[1];
    EXPECT_TRUE(exists(dir.file("sub/deep")));
    EXPECT_TRUE(exists(dir.file("fromdir")));
    EXPECT_TRUE(exists(dir.file("dotdot")));
    EXPECT_EQ(testing::filesIn(beside.path), std::set<std::string>{"copy.pfb"});
}

// A file whose writing fails midway is removed when the caller permits
// it; the jobs after it still run.
TEST(TarnevikBatch, AWriteCutShortLeavesNoFile) {
    TempDir dir;
    const std::string cmr = kpseFind("cmr10.pfb");
    const std::vector<Job> jobs = {{"big", cmr, kAll}, {"small", cmr, "65"}};
    ASSERT_TRUE(writeFile(dir.file("jobs.ps"), jobFile(dir.path, jobs)));
    // At most 40 blocks (20 or 40 KB by the shell's unit); the whole font
    // is some 75 KB. The signal ignored, the write fails instead.
    auto r = runBatch(dir.path, {cmr}, {"--permit-file-control=" + dir.path + "/*"},
                      {"sh", "-c", "trap '' XFSZ; ulimit -f 40; exec \"$@\"", "sh"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "tarnevik.ps: " + dir.file("big") + ": cannot write " + dir.file("big") + "\n");
    EXPECT_FALSE(exists(dir.file("big")));
    EXPECT_EQ(readFile(dir.file("small")).substr(0, 6), "<font ");
}

}  // namespace
}  // namespace morvex
