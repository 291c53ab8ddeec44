// Running Ghostscript side by side: the runs overlap, yet what each prints
// and its end are reported in the order of the runs; a run past its time
// limit, one that cannot start and an interrupt are handled; the child's
// environment loses what would change Ghostscript's safety.
#include "process/run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "process/interrupt.h"
#include "support/process.h"

namespace morvex {
namespace {

using testing::TempDir;

// A shell command as a run: the words go to sh -c.
GsRun shell(const std::string& script, const std::string& dir) {
    GsRun run;
    run.command.argv = {"sh", "-c", script};
    run.command.line = script;
    run.workDir = dir;
    return run;
}

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

TEST(Ghostscript, RunsOverlapAndAreReportedInTheirOrder) {
    TempDir dir;
    const std::string events = dir.file("events");
    // The first run takes longest: ends come in reverse, reports in order.
    std::vector<GsRun> runs = {
        shell("echo start0 >> events; sleep 1; echo end0 >> events; echo first; echo first-err >&2", dir.path),
        shell("echo start1 >> events; sleep 0.5; echo second", dir.path),
        shell("echo start2 >> events; echo third; pwd", dir.path),
    };
    std::vector<size_t> order;
    std::vector<std::string> outs, errs;
    int sig = runGhostscript(runs, {3, 60}, [&](size_t i, const GsOutcome& o) {
        order.push_back(i);
        outs.push_back(o.out);
        errs.push_back(o.err);
        EXPECT_TRUE(o.succeeded()) << i;
    });
    EXPECT_EQ(sig, 0);
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2}));
    EXPECT_EQ(outs, (std::vector<std::string>{"first\n", "second\n", "third\n" + dir.path + "\n"}));
    EXPECT_EQ(errs[0], "first-err\n");
    // Side by side: the later runs started while the first was running.
    const std::string e = testing::readFile(events);
    EXPECT_LT(e.find("start1"), e.find("end0")) << e;
    EXPECT_LT(e.find("start2"), e.find("end0")) << e;
}

TEST(Ghostscript, OneAtATimeWhenAskedSo) {
    TempDir dir;
    std::vector<GsRun> runs = {shell("echo start0 >> events; sleep 0.2; echo end0 >> events", dir.path),
                               shell("echo start1 >> events", dir.path)};
    runGhostscript(runs, {1, 60}, [](size_t, const GsOutcome&) {});
    EXPECT_EQ(testing::readFile(dir.file("events")), "start0\nend0\nstart1\n");
}

TEST(Ghostscript, FailuresTimeLimitsAndMissingProgramsAreTold) {
    TempDir dir;
    GsRun missing;
    missing.command.argv = {"/nonexistent/gs"};
    missing.workDir = dir.path;
    std::vector<GsRun> runs = {shell("exit 3", dir.path), shell("kill -9 $$", dir.path), missing,
                               shell("sleep 30", dir.path)};
    std::vector<std::string> failures;
    const double start = now();
    runGhostscript(runs, {2, 1}, [&](size_t, const GsOutcome& o) {
        EXPECT_FALSE(o.succeeded());
        failures.push_back(o.failure(1));
    });
    EXPECT_LT(now() - start, 10.0);
    EXPECT_EQ(failures, (std::vector<std::string>{"exit status 3", "signal 9", "No such file or directory",
                                                  "time limit of 1 s"}));
}

TEST(Ghostscript, TheEnvironmentLosesGhostscriptsOwnOptions) {
    TempDir dir;
    setenv("GS_OPTIONS", "-dNOSAFER", 1);
    setenv("GS_LIB", "/tmp", 1);
    setenv("MORVEX_KEPT", "yes", 1);
    std::string seen;
    runGhostscript({shell("env | grep -E '^(GS_|MORVEX_KEPT)' | sort", dir.path)}, {1, 60},
                   [&](size_t, const GsOutcome& o) { seen = o.out; });
    unsetenv("GS_OPTIONS");
    unsetenv("GS_LIB");
    unsetenv("MORVEX_KEPT");
    EXPECT_EQ(seen, "MORVEX_KEPT=yes\n");
}

// An interrupt while runs go on ends them all, reaped, and reports no run
// more; the signal is the result.
TEST(Ghostscript, AnInterruptEndsTheRuns) {
    TempDir dir;
    const std::string pids = dir.file("pids");
    std::vector<GsRun> runs;
    for (int i = 0; i < 3; ++i) runs.push_back(shell("echo $$ >> " + pids + "; exec sleep 30", dir.path));
    int reported = 0;
    int sig = 0;
    {
        InterruptGuard guard;
        std::thread interrupter([&] {
            const auto lines = [&] {
                const std::string text = testing::readFile(pids);
                return std::count(text.begin(), text.end(), '\n');
            };
            for (int i = 0; i < 500 && lines() < 2; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            kill(getpid(), SIGTERM);
        });
        sig = runGhostscript(runs, {2, 60}, [&](size_t, const GsOutcome&) { ++reported; });
        interrupter.join();
    }
    EXPECT_EQ(sig, SIGTERM);
    EXPECT_EQ(reported, 0);
    // The two started were ended and reaped: no child is left.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    const std::string list = testing::readFile(pids);
    size_t at = 0;
    int started = 0;
    while (at < list.size()) {
        size_t end = list.find('\n', at);
        EXPECT_NE(kill(std::stoi(list.substr(at, end - at)), 0), 0);
        ++started;
        at = end + 1;
    }
    EXPECT_EQ(started, 2);
}

}  // namespace
}  // namespace morvex
