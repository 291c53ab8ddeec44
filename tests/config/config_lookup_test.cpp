// Where a run without -c finds its configuration: the default directory,
// else the one installed with the binary (found from the binary's own
// location), else the build tree's; and what it says when there is none.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace {

using morvex::testing::count;
using morvex::testing::filesIn;
using morvex::testing::ProcessResult;
using morvex::testing::readFile;
using morvex::testing::runProcess;
using morvex::testing::TempDir;
using morvex::testing::writeFile;

const std::string kBinary = MORVEX_BINARY;
const std::string kDefault = MORVEX_DEFAULT_CONFIG_DIR;
const std::string kHello = std::string(MORVEX_TEST_DVI_DIR) + "/hello.dvi";
const char* const kConfigFiles[] = {"tarnevik.ps", "tarnevik.enc", "morvex.map"};

bool holdsConfiguration(const std::string& dir) {
    for (const char* f : kConfigFiles)
        if (access((dir + "/" + f).c_str(), R_OK) != 0) return false;
    return true;
}

// A machine with morvex installed under /usr/local uses that one first.
std::string expectedConfig(const std::string& own) { return holdsConfiguration(kDefault) ? kDefault : own; }

// This build installed under a fresh prefix, removed with it.
struct Installed {
    TempDir prefix;
    ProcessResult install;
    Installed() { install = runProcess({MORVEX_CMAKE, "--install", MORVEX_BUILD_DIR, "--prefix", prefix.path}, "/"); }
    std::string bin() const { return prefix.file("bin/morvex"); }
    std::string config() const { return prefix.file("share/texmf/morvex"); }
};

// The configuration directory a run used, as its trace log names it in the
// Ghostscript command.
std::string configInTrace(const std::string& log) {
    const std::string key = "-sENCFILE=\"";
    size_t p = log.find(key);
    if (p == std::string::npos) return "";
    size_t end = log.find("/tarnevik.enc\"", p);
    return end == std::string::npos ? "" : log.substr(p + key.size(), end - p - key.size());
}

TEST(ConfigLookup, InstalledBinaryFindsItsOwnConfiguration) {
    Installed inst;
    ASSERT_EQ(inst.install.exitCode, 0) << inst.install.out << inst.install.err;
    ASSERT_TRUE(holdsConfiguration(inst.config()));
    TempDir home;
    // Called by its path, and through a link from a directory of the user's
    // own, as a bin directory on PATH would hold it.
    ASSERT_EQ(symlink(inst.bin().c_str(), home.file("morvex").c_str()), 0);
    for (const std::string& binary : {inst.bin(), home.file("morvex")}) {
        SCOPED_TRACE(binary);
        TempDir work;
        ProcessResult r = runProcess({binary, kHello}, work.path);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(configInTrace(readFile(work.file("out.log"))), expectedConfig(inst.config()));
        EXPECT_NE(readFile(work.file("fonts.svg")).find("<font id=\"cmr10\""), std::string::npos);
    }
}

// The directory found is used exactly as if -c had named it: the three
// outputs are the same bytes.
TEST(ConfigLookup, FoundConfigurationGivesTheOutputsOfNamingIt) {
    Installed inst;
    ASSERT_EQ(inst.install.exitCode, 0) << inst.install.err;
    const std::string config = expectedConfig(inst.config());
    TempDir found, named;
    ProcessResult a = runProcess({inst.bin(), kHello}, found.path);
    ProcessResult b = runProcess({inst.bin(), "-c", config, kHello}, named.path);
    ASSERT_EQ(a.exitCode, 0) << a.out;
    ASSERT_EQ(b.exitCode, 0) << b.out;
    EXPECT_EQ(b.out, "CNF DIR is now: " + config + "\n" + a.out);
    for (const char* f : {"out.svg", "fonts.svg", "out.log"}) EXPECT_EQ(readFile(found.file(f)), readFile(named.file(f))) << f;
}

TEST(ConfigLookup, BuildTreeBinaryFindsTheBuildConfiguration) {
    TempDir work;
    ProcessResult r = runProcess({kBinary, kHello}, work.path);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(configInTrace(readFile(work.file("out.log"))), expectedConfig(MORVEX_TEST_CONFIG_DIR));
}

// The installed morvex-update-map, without -c, refreshes the map of the
// directory morvex uses.
TEST(ConfigLookup, InstalledUpdateMapWritesTheMapMorvexReads) {
    if (holdsConfiguration(kDefault)) GTEST_SKIP() << kDefault << " holds a configuration of its own";
    Installed inst;
    ASSERT_EQ(inst.install.exitCode, 0) << inst.install.err;
    ASSERT_TRUE(writeFile(inst.config() + "/morvex.map", "% old\n"));
    ProcessResult r = runProcess({inst.prefix.file("bin/morvex-update-map")}, "/");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(inst.config() + "/morvex.map made from "), std::string::npos) << r.out;
    EXPECT_NE(readFile(inst.config() + "/morvex.map"), "% old\n");
}

// No directory holds the configuration: every one tried is named with what
// it lacks, before any output is made; -c names one and is taken as it is.
TEST(ConfigLookup, NoConfigurationNamesTheDirectoriesTried) {
    if (holdsConfiguration(kDefault)) GTEST_SKIP() << kDefault << " holds a configuration of its own";
    Installed inst;
    ASSERT_EQ(inst.install.exitCode, 0) << inst.install.err;
    ASSERT_EQ(unlink((inst.config() + "/tarnevik.ps").c_str()), 0);
    // A copy outside any prefix or build tree.
    TempDir bare;
    ASSERT_EQ(mkdir(bare.file("bin").c_str(), 0755), 0);
    ASSERT_TRUE(writeFile(bare.file("bin/morvex"), readFile(inst.bin())));
    ASSERT_EQ(chmod(bare.file("bin/morvex").c_str(), 0755), 0);
    struct Case {
        std::string binary;
        std::string ownDir;
        std::string lack;
    };
    const Case cases[] = {
        {inst.bin(), inst.config(), "no readable tarnevik.ps"},
        {bare.file("bin/morvex"), bare.file("share/texmf/morvex"), "no such directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.binary);
        TempDir work;
        ProcessResult r = runProcess({c.binary, "-o", "doc.svg", kHello}, work.path);
        EXPECT_EQ(r.exitCode, 62);
        EXPECT_EQ(r.out.substr(0, r.out.find(kDefault)),
                  "SVG output is now: doc.svg\nThis is MORVEX version 0.7.1\n" + c.binary +
                      ": no configuration directory holds tarnevik.ps, tarnevik.enc and morvex.map. Tried:\n  ");
        EXPECT_NE(r.out.find("\n  " + c.ownDir + " (" + c.lack + ")\n"), std::string::npos) << r.out;
        EXPECT_TRUE(r.out.ends_with(")\nName the configuration directory with -c DIR.\n")) << r.out;
        EXPECT_EQ(count(r.out, "\n  /"), 2u) << r.out;
        EXPECT_TRUE(filesIn(work.path).empty());
    }
    // Named with -c, a directory is used as it is, without a search.
    TempDir empty, work;
    ProcessResult r = runProcess({inst.bin(), "-c", empty.path, kHello}, work.path);
    EXPECT_EQ(r.exitCode, 62);
    EXPECT_NE(r.out.find("SVG Fonts:Can not open MAP file " + empty.path + "/morvex.map.\n"), std::string::npos) << r.out;
}

}  // namespace
