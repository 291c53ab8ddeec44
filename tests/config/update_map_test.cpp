// The command that makes morvex.map anew from the TeX installation's map:
// what it writes, where it refuses, and a font that a run finds only after
// the map has been refreshed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace {

using morvex::testing::ConfigDir;
using morvex::testing::filesIn;
using morvex::testing::readFile;
using morvex::testing::runMorvex;
using morvex::testing::runProcess;
using morvex::testing::TempDir;
using morvex::testing::writeFile;

const std::string kUpdate = MORVEX_UPDATE_MAP;

std::string texMap() {
    auto r = runProcess({"kpsewhich", "pdftex.map"}, "/");
    return r.out.substr(0, r.out.find('\n'));
}

TEST(UpdateMap, WritesTheInstallationsMapIntoTheDirectory) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("morvex.map"), "% an old map\n"));
    auto r = runProcess({"sh", kUpdate, "-c", dir.path}, dir.path);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string source = texMap();
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(readFile(dir.file("morvex.map")), "% morvex.map: made from " + source + "\n" + readFile(source));
    EXPECT_NE(r.out.find(dir.file("morvex.map")), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(dir.path), std::set<std::string>{"morvex.map"});
    struct stat st;
    ASSERT_EQ(stat(dir.file("morvex.map").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(UpdateMap, RefusesWithAMessageAndLeavesTheOldMap) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("morvex.map"), "% an old map\n"));
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::string> env;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"no such directory", {"-c", dir.file("nothere")}, {}, 1, "is not a directory"},
        {"no TeX on PATH", {"-c", dir.path}, {"PATH=/nonexistent"}, 1, "kpsewhich is not on PATH"},
        {"an unknown option", {"-x"}, {}, 2, "usage: morvex-update-map [-c DIR]"},
        {"-c without its value", {"-c"}, {}, 2, "usage: morvex-update-map [-c DIR]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"/bin/sh", kUpdate};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = runProcess(args, dir.path, c.env);
        EXPECT_EQ(r.exitCode, c.code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir.file("morvex.map")), "% an old map\n");
        EXPECT_EQ(filesIn(dir.path), std::set<std::string>{"morvex.map"});
    }
}

// A configuration directory whose map predates a font: the run names the
// command; after it the same run finds the font.
TEST(UpdateMap, AFontMissingFromAnOldMapIsFoundAfterTheRefresh) {
    ConfigDir config("% made before cmr10 was installed\n");
    const TempDir& cfg = config.dir;
    TempDir work;
    const std::string dvi = std::string(MORVEX_TEST_DVI_DIR) + "/hello.dvi";

    auto before = runMorvex(work.path, {dvi}, {}, cfg.path);
    EXPECT_EQ(before.exitCode, 63);
    EXPECT_NE(before.out.find("Mappings for cmr10 not founded.\n(A font installed after morvex is found once its map "
                              "is refreshed: run morvex-update-map.)\n"),
              std::string::npos)
        << before.out;

    ASSERT_EQ(runProcess({"sh", kUpdate, "-c", cfg.path}, work.path).exitCode, 0);
    auto after = runMorvex(work.path, {dvi}, {}, cfg.path);
    EXPECT_EQ(after.exitCode, 0) << after.out;
    EXPECT_NE(readFile(work.file("fonts.svg")).find("<font id=\"cmr10\""), std::string::npos);
}

}  // namespace
