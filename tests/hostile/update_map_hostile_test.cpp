// morvex-update-map against what may stand at the map's name, a step that
// fails, and the signals that end it: it refuses what is not a regular
// file, exits non-zero on any failure, ends with the signal it got, and
// leaves the old map and no temporary file behind. Each run is bounded.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "hostile/checked_run.h"

namespace morvex::testing {
namespace {

const std::string kUpdate = MORVEX_UPDATE_MAP;
const std::string kOldMap = "% an old map\n";

struct UpdateRun {
    TempDir dir;  // dir/cfg is the configuration directory, dir/bin a PATH entry first
    BoundedResult r;

    UpdateRun() {
        mkdir(dir.file("cfg").c_str(), 0700);
        mkdir(dir.file("bin").c_str(), 0700);
        mkdir(dir.file("tmp").c_str(), 0700);
    }
    // A command of the test's own, found before the system's.
    void stub(const std::string& name, const std::string& script) {
        writeFile(dir.file("bin/" + name), "#!/bin/sh\n" + script + "\n");
        chmod(dir.file("bin/" + name).c_str(), 0755);
    }
    void go() {
        Limits limits;
        limits.wallSeconds = 30;
        r = runBounded({"/bin/sh", kUpdate, "-c", dir.file("cfg")}, dir.path, dir.file("tmp"),
                       {"PATH=" + dir.file("bin") + ":" + std::getenv("PATH")}, limits);
    }
    std::set<std::string> config() const { return filesIn(dir.file("cfg")); }
};

// What stands at the map's name when it is not a regular file: refused,
// and left as it was.
TEST(HostileUpdateMap, ATargetThatIsNotARegularFileIsRefused) {
    struct Case {
        const char* what;
        std::function<void(const std::string& map)> plant;
        std::function<void(const std::string& map)> check;  // it is as planted
    };
    const Case cases[] = {
        {"a directory",
         [](const std::string& m) {
             mkdir(m.c_str(), 0700);
             writeFile(m + "/inside", "x");
         },
         [](const std::string& m) { EXPECT_EQ(filesIn(m), std::set<std::string>{"inside"}); }},
        {"a link to a file",
         [](const std::string& m) { ASSERT_EQ(symlink("/etc/hostname", m.c_str()), 0); },
         [](const std::string& m) {
             struct stat st;
             ASSERT_EQ(lstat(m.c_str(), &st), 0);
             EXPECT_TRUE(S_ISLNK(st.st_mode));
         }},
        {"a dangling link",
         [](const std::string& m) { ASSERT_EQ(symlink("/nonexistent/map", m.c_str()), 0); },
         [](const std::string& m) {
             struct stat st;
             ASSERT_EQ(lstat(m.c_str(), &st), 0);
             EXPECT_TRUE(S_ISLNK(st.st_mode));
         }},
        {"a named pipe", [](const std::string& m) { ASSERT_EQ(mkfifo(m.c_str(), 0600), 0); },
         [](const std::string& m) {
             struct stat st;
             ASSERT_EQ(lstat(m.c_str(), &st), 0);
             EXPECT_TRUE(S_ISFIFO(st.st_mode));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UpdateRun run;
        const std::string map = run.dir.file("cfg/morvex.map");
        c.plant(map);
        run.go();
        EXPECT_FALSE(run.r.timedOut);
        EXPECT_EQ(run.r.exitCode, 1) << run.r.out << run.r.err;
        EXPECT_NE(run.r.err.find("morvex-update-map: " + map + " is not a regular file"), std::string::npos)
            << run.r.err;
        EXPECT_EQ(run.r.out, "");
        EXPECT_EQ(run.config(), std::set<std::string>{"morvex.map"});
        c.check(map);
    }
}

// A step that fails ends the script with a non-zero status and a message;
// a signal ends it as the signal would, after the temporary file is gone.
// The old map stays in every case.
TEST(HostileUpdateMap, FailedStepsAndSignalsKeepTheOldMap) {
    struct Case {
        const char* what;
        std::string cat;  // the stand-in for cat, which copies the TeX map
        int signal;       // 0: ends with a status
        std::string message;
    };
    const Case cases[] = {
        {"the copy fails", "exit 3", 0, "can not write the new map into"},
        {"the copy is cut", "printf partial; exit 1", 0, "can not write the new map into"},
        {"SIGTERM", "kill -s TERM $PPID; exit 0", SIGTERM, ""},
        {"SIGINT", "kill -s INT $PPID; exit 0", SIGINT, ""},
        {"SIGHUP", "kill -s HUP $PPID; exit 0", SIGHUP, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UpdateRun run;
        writeFile(run.dir.file("cfg/morvex.map"), kOldMap);
        run.stub("cat", c.cat);
        run.go();
        EXPECT_FALSE(run.r.timedOut);
        if (c.signal != 0) {
            EXPECT_EQ(run.r.signal, c.signal) << run.r.exitCode << run.r.err;
        } else {
            EXPECT_EQ(run.r.signal, 0);
            EXPECT_EQ(run.r.exitCode, 1) << run.r.err;
            EXPECT_NE(run.r.err.find("morvex-update-map: " + c.message), std::string::npos) << run.r.err;
        }
        EXPECT_EQ(run.r.out, "");
        EXPECT_EQ(readFile(run.dir.file("cfg/morvex.map")), kOldMap);
        EXPECT_EQ(run.config(), std::set<std::string>{"morvex.map"});
    }

    // And without a stand-in the map is made: the stubs above were the
    // only cause.
    UpdateRun whole;
    writeFile(whole.dir.file("cfg/morvex.map"), kOldMap);
    whole.go();
    EXPECT_EQ(whole.r.exitCode, 0) << whole.r.err;
    EXPECT_NE(readFile(whole.dir.file("cfg/morvex.map")), kOldMap);
    EXPECT_EQ(whole.config(), std::set<std::string>{"morvex.map"});
}

}  // namespace
}  // namespace morvex::testing
