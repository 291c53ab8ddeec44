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
RunSpec shell(const std::string& script, const std::string& dir, int timeLimit = 60) {
    RunSpec run;
    run.argv = {"sh", "-c", script};
    run.environment = inheritedEnvironment({});
    run.workDir = dir;
    run.timeLimit = timeLimit;
    return run;
}

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

TEST(Run, RunsOverlapAndAreReportedInTheirOrder) {
    TempDir dir;
    const std::string events = dir.file("events");
    // The first run takes longest: ends come in reverse, reports in order.
    std::vector<RunSpec> runs = {
        shell("echo start0 >> events; sleep 1; echo end0 >> events; echo first; echo first-err >&2", dir.path),
        shell("echo start1 >> events; sleep 0.5; echo second", dir.path),
        shell("echo start2 >> events; echo third; pwd", dir.path),
    };
    std::vector<size_t> order;
    std::vector<std::string> outs, errs;
    int sig = runAll(runs, 3, [&](size_t i, const RunOutcome& o) {
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

TEST(Run, OneAtATimeWhenAskedSo) {
    TempDir dir;
    std::vector<RunSpec> runs = {shell("echo start0 >> events; sleep 0.2; echo end0 >> events", dir.path),
                               shell("echo start1 >> events", dir.path)};
    runAll(runs, 1, [](size_t, const RunOutcome&) {});
    EXPECT_EQ(testing::readFile(dir.file("events")), "start0\nend0\nstart1\n");
}

TEST(Run, FailuresTimeLimitsAndMissingProgramsAreTold) {
    TempDir dir;
    RunSpec missing = shell("", dir.path);
    missing.argv = {"/nonexistent/gs"};
    RunSpec notOnPath = shell("", dir.path);
    notOnPath.argv = {"morvex-no-such-program"};
    RunSpec noDirectory = shell("true", dir.file("no-such-directory"));
    std::vector<RunSpec> runs = {shell("exit 3", dir.path, 1), shell("kill -9 $$", dir.path, 1), missing,
                                 notOnPath, noDirectory, shell("sleep 30", dir.path, 1)};
    std::vector<std::string> failures;
    const double start = now();
    runAll(runs, 2, [&](size_t, const RunOutcome& o) {
        EXPECT_FALSE(o.succeeded());
        failures.push_back(o.failure(1));
    });
    EXPECT_LT(now() - start, 10.0);
    EXPECT_EQ(failures, (std::vector<std::string>{"exit status 3", "signal 9", "No such file or directory",
                                                  "No such file or directory", "No such file or directory",
                                                  "time limit of 1 s"}));
}

// The child's environment is the one given, whatever this process has;
// the inherited one leaves out the names asked.
TEST(Run, TheChildGetsTheEnvironmentItIsGiven) {
    TempDir dir;
    setenv("GS_OPTIONS", "-dNOSAFER", 1);
    setenv("GS_LIB", "/tmp", 1);
    setenv("MORVEX_KEPT", "yes", 1);
    RunSpec inherited = shell("env | grep -E '^(GS_|MORVEX_)' | sort", dir.path);
    inherited.environment = inheritedEnvironment({"GS_OPTIONS", "GS_LIB"});
    RunSpec given = inherited;
    given.environment = {"MORVEX_ONLY=1", "PATH=/usr/bin:/bin"};
    std::vector<std::string> seen;
    runAll({inherited, given}, 1, [&](size_t, const RunOutcome& o) { seen.push_back(o.out); });
    unsetenv("GS_OPTIONS");
    unsetenv("GS_LIB");
    unsetenv("MORVEX_KEPT");
    EXPECT_EQ(seen, (std::vector<std::string>{"MORVEX_KEPT=yes\n", "MORVEX_ONLY=1\n"}));
}

// Standard input carries the bytes given (any bytes, more than a pipe
// holds), or is empty.
TEST(Run, StandardInputIsTheBytesGiven) {
    TempDir dir;
    std::string bytes(300000, 'x');
    for (size_t i = 0; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(i & 0xFF);
    RunSpec fed = shell("cat", dir.path);
    fed.input = bytes;
    RunSpec unfed = shell("cat; echo end", dir.path);
    std::vector<std::string> seen;
    runAll({fed, unfed}, 2, [&](size_t, const RunOutcome& o) {
        EXPECT_TRUE(o.succeeded());
        seen.push_back(o.out);
    });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0] == bytes);
    EXPECT_EQ(seen[1], "end\n");
}

// A limit of address space holds in the child: a program that asks for
// more fails, and the same program without the limit does not.
TEST(Run, AMemoryLimitHoldsInTheChild) {
    TempDir dir;
    // dd's buffer is 200 MB in one piece; dd alone fits in 64 MB.
    const std::string script = "exec dd if=/dev/zero of=/dev/null bs=200M count=1 status=none";
    RunSpec limited = shell(script, dir.path);
    limited.memoryLimit = 64u << 20;
    RunSpec free = shell(script, dir.path);
    std::vector<RunOutcome> outcomes;
    runAll({limited, free}, 1, [&](size_t, const RunOutcome& o) { outcomes.push_back(o); });
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_FALSE(outcomes[0].succeeded());
    EXPECT_NE(outcomes[0].err, "");
    EXPECT_TRUE(outcomes[1].succeeded()) << outcomes[1].err;
}

// An interrupt while runs go on ends them all, reaped, and reports no run
// more; the signal is the result.
TEST(Run, AnInterruptEndsTheRuns) {
    TempDir dir;
    const std::string pids = dir.file("pids");
    std::vector<RunSpec> runs;
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
        sig = runAll(runs, 2, [&](size_t, const RunOutcome&) { ++reported; });
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
