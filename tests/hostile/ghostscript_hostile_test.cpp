// Ghostscript as the built program starts it, against what a user's
// installation may hold: a configuration directory whose path Ghostscript
// would split or read as a pattern, and a font program that keeps
// allocating. Every run is bounded; the glyphs are checked in the outputs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "hostile/checked_run.h"
#include "hostile/font_fixtures.h"

namespace morvex::testing {
namespace {

// A configuration directory named by the test, with the build's files.
struct NamedConfig {
    TempDir base;
    std::string path;
    explicit NamedConfig(const std::string& name) {
        path = base.file(name);
        EXPECT_EQ(mkdir(path.c_str(), 0700), 0) << path;
        for (const char* f : {"tarnevik.ps", "tarnevik.enc", "morvex.map"})
            writeFile(path + "/" + f, readFile(kBuildConfigDir + "/" + f));
    }
};

// Ghostscript splits a permit at ':' and reads '*' as a pattern: the files
// of such a directory reach it through names no character can split or
// widen, in every way the glyphs are made.
TEST(HostileGhostscript, AConfigurationDirectoryOfAnyName) {
    const std::string dvi = hiPage();
    CheckedRun plain(dvi), plainPaths(dvi);
    plain.go({});
    plainPaths.go({"--paths"});
    ASSERT_EQ(plain.r.exitCode, 0) << plain.r.out;
    for (const std::string name : {"cfg:a", "cfg*", "a:b*c?d\\e f", "x:", ":"}) {
        NamedConfig config(name);
        using Words = std::vector<std::string>;
        for (const Words& mode : {Words{}, Words{"--paths"}, Words{"--cache=CACHE"}}) {
            const std::string what = name + " " + (mode.empty() ? "" : mode[0]);
            SCOPED_TRACE(what);
            CheckedRun run(dvi);
            std::vector<std::string> args = mode;
            if (!args.empty() && args[0] == "--cache=CACHE") args[0] = "--cache=" + run.dir.file("cache");
            run.go(args, {}, Limits(), nullptr, config.path);
            EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
            const bool paths = !mode.empty() && mode[0] == "--paths";
            const std::string document = paths ? "out.svg" : "fonts.svg";
            EXPECT_EQ(run.file(document), paths ? plainPaths.file("out.svg") : plain.file("fonts.svg"));
            EXPECT_TRUE(wellFormed(run.dir.file(document)));
            EXPECT_TRUE(run.tmpEmpty());
        }
    }
}

// Each Ghostscript run gets an address space of 1 GiB unless the option
// says otherwise; values outside 64 MiB to 1 TiB are refused before
// anything is written.
TEST(HostileGhostscript, EveryRunHasAnAddressSpaceLimit) {
    struct Case {
        std::vector<std::string> args;
        std::string limitKiB;
    };
    const Case cases[] = {
        {{}, "1048576"},
        {{"--gs-memory-limit=300"}, "307200"},
        {{"--gs-memory-limit", "64"}, "65536"},
        {{"--cache=CACHE"}, "1048576"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limitKiB);
        FakeGs gs("exec /usr/bin/gs \"$@\"");
        CheckedRun run(hiPage());
        std::vector<std::string> args = c.args;
        if (!args.empty() && args[0] == "--cache=CACHE") args[0] = "--cache=" + run.dir.file("cache");
        run.go(args, {gs.path()});
        EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
        const std::string notes = readFile(gs.notes);
        EXPECT_NE(notes.find("address space: " + c.limitKiB + "\n"), std::string::npos) << notes;
    }
    for (const char* bad : {"--gs-memory-limit=63", "--gs-memory-limit=0", "--gs-memory-limit=x",
                            "--gs-memory-limit=1048577", "--gs-memory-limit=99999999", "--gs-memory-limit="}) {
        CheckedRun refused(hiPage());
        refused.go({bad});
        EXPECT_EQ(refused.r.exitCode, 204) << bad;
        EXPECT_NE(refused.r.err.find("--gs-memory-limit takes a number of MiB from 64 to 1048576"), std::string::npos)
            << refused.r.err;
        EXPECT_EQ(refused.files(), std::set<std::string>{"in.dvi"}) << bad;
    }
}

// A font program that keeps allocating is stopped at the limit, long
// before the time limit, and reported as a failed run; the other fonts of
// the page are made, alone or in a batch.
TEST(HostileGhostscript, AFontThatKeepsAllocatingIsStopped) {
    HostileFonts fonts;
    const std::string dvi = fontsPage({"cmr10", "mvxhungry"});
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{}, std::vector<std::string>{"--cache=CACHE"}}) {
        SCOPED_TRACE(mode.empty() ? "one run per font" : "a batch");
        CheckedRun run(dvi);
        std::vector<std::string> args = {"--gs-memory-limit=256"};
        if (!mode.empty()) args.push_back("--cache=" + run.dir.file("cache"));
        run.go(args, fonts.env(), Limits(), nullptr, fonts.config.path());
        EXPECT_FALSE(run.r.timedOut);
        EXPECT_LT(run.r.seconds, 30.0);
        // The program and its children: Ghostscript never grew far past
        // its limit.
        EXPECT_LT(run.r.maxRssKiB, 400 * 1024);
        EXPECT_EQ(run.r.exitCode, 65) << run.r.out;
        EXPECT_NE(run.r.out.find("\nGhostscript failed on font mvxhungry (exit status"), std::string::npos)
            << run.r.out;
        EXPECT_EQ(count(run.r.out, "\nGhostscript failed on font "), 1u) << run.r.out;
        EXPECT_NE(run.file("fonts.svg").find("<font id=\"cmr10\""), std::string::npos);
        EXPECT_TRUE(run.tmpEmpty());
    }
}

}  // namespace
}  // namespace morvex::testing
