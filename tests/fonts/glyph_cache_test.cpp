// The glyph cache: entries that are damaged, cut short or another key's
// are not used; a changed font file, encoding file or program makes
// a new entry; and through the built binary, cached runs write what
// uncached ones write, side by side and with a cache that cannot be used.
#include "fonts/glyph_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "tarnevik_run.h"

namespace morvex {
namespace {

using testing::FontRun;
using testing::kpseFind;
using testing::OutCapture;
using testing::readFile;
using testing::runProcess;
using testing::TempDir;
using testing::count;
using testing::writeFile;

const std::string& kBinary = testing::kMorvexBinary;
const std::string& kConfigDir = testing::kBuildConfigDir;

// Entries are found whole or not at all.
TEST(GlyphCache, DamagedShortenedAndForeignEntriesAreNotUsed) {
    TempDir dir;
    OutCapture out;
    GlyphCache cache(dir.file("cache"), out.f);
    ASSERT_TRUE(cache.usable());
    const std::string pfb = kpseFind("cmr10.pfb");
    const std::string ps = kConfigDir + "/tarnevik.ps", enc = kConfigDir + "/tarnevik.enc";
    GlyphKey a = glyphKey("cmr10", "cmr10", pfb, "", "", "", programStamp(ps, enc));
    GlyphKey b = glyphKey("cmr10", "cmr10", pfb, "", ".167", "", programStamp(ps, enc));
    EXPECT_NE(a.file, b.file);
    EXPECT_FALSE(cache.find(a));
    cache.store(a, "the glyphs of a\n");
    cache.store(b, "the glyphs of b\n");
    EXPECT_EQ(cache.find(a), "the glyphs of a\n");
    EXPECT_EQ(out.str(), "");

    const std::string path = cache.directory() + "/" + a.file;
    const std::string good = readFile(path);
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string flipped = good;
    flipped[flipped.size() - 3] ^= 1;
    const Case cases[] = {
        {"cut short", good.substr(0, good.size() - 2)},
        {"one byte changed", flipped},
        {"another key's", readFile(cache.directory() + "/" + b.file)},
        {"empty", ""},
        {"not an entry", "hello\n"},
    };
    for (const Case& c : cases) {
        writeFile(path, c.bytes);
        EXPECT_FALSE(cache.find(a)) << c.what;
    }
    // Nothing else than the entries is left in the directory.
    EXPECT_EQ(testing::filesIn(cache.directory()), (std::set<std::string>{a.file, b.file}));
    struct stat st;
    ASSERT_EQ(stat(cache.directory().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The key follows everything the glyphs depend on.
TEST(GlyphCache, TheKeyChangesWithTheFilesAndTheProgram) {
    TempDir dir;
    writeFile(dir.file("f.pfb"), readFile(kpseFind("cmr10.pfb")));
    writeFile(dir.file("e.enc"), readFile(kpseFind("lm-ec.enc")));
    writeFile(dir.file("p.ps"), readFile(kConfigDir + "/tarnevik.ps"));
    writeFile(dir.file("t.enc"), readFile(kConfigDir + "/tarnevik.enc"));
    const auto key = [&] {
        return glyphKey("f10", "f10", dir.file("f.pfb"), dir.file("e.enc"), ".1", "",
                        programStamp(dir.file("p.ps"), dir.file("t.enc")))
            .file;
    };
    const std::string first = key();
    EXPECT_EQ(key(), first);
    struct Change {
        const char* what;
        std::function<void()> change;
    };
    const Change changes[] = {
        {"the font file", [&] { writeFile(dir.file("f.pfb"), readFile(dir.file("f.pfb")) + "x"); }},
        {"the encoding file", [&] { writeFile(dir.file("e.enc"), readFile(dir.file("e.enc")) + "%\n"); }},
        {"the program", [&] { writeFile(dir.file("p.ps"), readFile(dir.file("p.ps")) + "%\n"); }},
        {"the document texts", [&] { writeFile(dir.file("t.enc"), readFile(dir.file("t.enc")) + "%\n"); }},
    };
    std::set<std::string> seen = {first};
    for (const Change& c : changes) {
        c.change();
        EXPECT_TRUE(seen.insert(key()).second) << c.what;
    }
    const std::string program = programStamp(dir.file("p.ps"), dir.file("t.enc"));
    EXPECT_NE(glyphKey("f10", "f10", dir.file("f.pfb"), "", "", "", program).file,
              glyphKey("f10", "f10", dir.file("f.pfb"), "", "", "1.2", program).file);
}

// A LaTeX page in Latin Modern, made at test time: its fonts are
// re-encoded, so the cache's entries hold the encoding's glyphs.
struct Page {
    TempDir dir;
    std::string dvi;
    Page() {
        writeFile(dir.file("page.tex"),
                  "\\documentclass{article}\\usepackage[T1]{fontenc}\\usepackage{lmodern}\\pagestyle{empty}"
                  "\\begin{document}Za\\.z\\'o\\l{}\\'c ``fine'' --- \\textbf{bold} $\\frac{x^2}{\\sqrt{y}}$"
                  "\\end{document}\n");
        auto r = runProcess({"latex", "-interaction=nonstopmode", "-halt-on-error", "page.tex"}, dir.path);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        dvi = dir.file("page.dvi");
    }
};

struct Outputs {
    int code = -1;
    std::string out, svg, fonts, log;
};

Outputs convert(const std::string& dvi, const std::vector<std::string>& options, const std::string& where) {
    mkdir(where.c_str(), 0700);
    std::vector<std::string> args = testing::morvexArgs({});
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(dvi);
    auto r = runProcess(args, where);
    return {r.exitCode, r.out, readFile(where + "/out.svg"), readFile(where + "/fonts.svg"), readFile(where + "/out.log")};
}

// Cold and warm, default document and --paths: the outputs are those of a
// run without the cache; a warm run runs no Ghostscript; damaged entries
// are made anew.
TEST(GlyphCacheRuns, CachedRunsWriteWhatUncachedRunsWrite) {
    Page page;
    TempDir work;
    const std::string cache = "--cache=" + work.file("cache");
    for (const std::vector<std::string>& mode : {std::vector<std::string>{}, std::vector<std::string>{"--paths"}}) {
        SCOPED_TRACE(mode.empty() ? "default" : "--paths");
        const std::string tag = mode.empty() ? "d" : "p";
        Outputs plain = convert(page.dvi, mode, work.file(tag + "plain"));
        ASSERT_EQ(plain.code, 0) << plain.out;
        std::vector<std::string> cached = mode;
        cached.push_back(cache);
        Outputs cold = convert(page.dvi, cached, work.file(tag + "cold"));
        Outputs warm = convert(page.dvi, cached, work.file(tag + "warm"));
        for (const Outputs* o : {&cold, &warm}) {
            EXPECT_EQ(o->code, 0) << o->out;
            EXPECT_EQ(o->svg, plain.svg);
            EXPECT_EQ(o->fonts, plain.fonts);
        }
        EXPECT_EQ(count(warm.log, "\ngs "), 0u) << warm.log;
        EXPECT_EQ(count(warm.log, "cache: glyphs of "), count(plain.log, "\nFnt:") - count(plain.log, "same font as"));
    }
    EXPECT_EQ(count(convert(page.dvi, {cache}, work.file("again")).log, "from Ghostscript"), 0u);

    // Every entry cut short: each is made anew, and the outputs stay.
    const std::string dir = work.file("cache");
    for (const std::string& name : testing::filesIn(dir)) {
        const std::string entry = readFile(dir + "/" + name);
        writeFile(dir + "/" + name, entry.substr(0, entry.size() / 3));
    }
    Outputs plain = convert(page.dvi, {}, work.file("plain2"));
    Outputs rebuilt = convert(page.dvi, {cache}, work.file("rebuilt"));
    EXPECT_EQ(rebuilt.fonts, plain.fonts);
    EXPECT_GT(count(rebuilt.log, "from Ghostscript"), 0u);
    Outputs after = convert(page.dvi, {cache}, work.file("after"));
    EXPECT_EQ(count(after.log, "from Ghostscript"), 0u);
    EXPECT_EQ(after.fonts, plain.fonts);
}

// Two runs on one empty cache at once: both write the outputs of a run
// without the cache, and the cache holds whole entries after them.
TEST(GlyphCacheRuns, RunsSideBySideShareOneCache) {
    Page page;
    TempDir work;
    const std::string cache = "--cache=" + work.file("cache");
    Outputs plain = convert(page.dvi, {}, work.file("plain"));
    std::vector<pid_t> pids;
    for (const char* where : {"a", "b"}) {
        mkdir(work.file(where).c_str(), 0700);
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(work.file(where).c_str()) != 0) _exit(127);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            execl(kBinary.c_str(), kBinary.c_str(), "-c", kConfigDir.c_str(), cache.c_str(), page.dvi.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (const char* where : {"a", "b"}) EXPECT_EQ(readFile(work.file(std::string(where) + "/fonts.svg")), plain.fonts);
    for (const std::string& name : testing::filesIn(work.file("cache"))) EXPECT_EQ(name.substr(name.size() - 7), ".glyphs");
    Outputs warm = convert(page.dvi, {cache}, work.file("warm"));
    EXPECT_EQ(count(warm.log, "from Ghostscript"), 0u);
    EXPECT_EQ(warm.fonts, plain.fonts);
}

// A cache that cannot be used is said once; the run goes on without it.
TEST(GlyphCacheRuns, ACacheThatCannotBeUsedIsReportedOnce) {
    Page page;
    TempDir work;
    writeFile(work.file("a-file"), "x");
    mkdir(work.file("shared").c_str(), 0777);
    chmod(work.file("shared").c_str(), 0777);
    Outputs plain = convert(page.dvi, {}, work.file("plain"));
    const std::pair<std::string, std::string> cases[] = {
        {work.file("a-file"), "it is not a directory"},
        {work.file("a-file") + "/below", "can not make it"},
        {work.file("shared"), "others may write into it"},
        {"/proc/morvex-cache", "can not make it"},
    };
    for (const auto& [dir, why] : cases) {
        SCOPED_TRACE(dir);
        Outputs o = convert(page.dvi, {"--cache=" + dir}, work.file("run"));
        EXPECT_EQ(o.code, 0) << o.out;
        EXPECT_EQ(count(o.out, "The glyph cache "), 1u) << o.out;
        EXPECT_NE(o.out.find(why), std::string::npos) << o.out;
        EXPECT_EQ(o.fonts, plain.fonts);
    }
    // The default place: XDG_CACHE_HOME, else HOME.
    const auto withEnv = [&](std::vector<std::string> args) {
        for (const std::string& a : testing::morvexArgs({"--cache", page.dvi})) args.push_back(a);
        return args;
    };
    auto r = runProcess(withEnv({"env", "XDG_CACHE_HOME=" + work.file("xdg"), "HOME=" + work.file("home")}),
                        work.path);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(testing::filesIn(work.file("xdg/morvex")).empty());
    r = runProcess(withEnv({"env", "-u", "XDG_CACHE_HOME", "HOME=" + work.file("home")}), work.path);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(testing::filesIn(work.file("home/.cache/morvex")).empty());
}

}  // namespace
}  // namespace morvex
