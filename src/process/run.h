#pragma once
// Running other programs: without a shell, in a directory of the caller's
// choice, with an environment the caller gives, under a time limit and an
// optional limit of address space, fed optional bytes on standard input,
// with what they print kept per run; several side by side, and all ended
// and reaped when an interrupt arrives.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvex {

// One run of a program.
struct RunSpec {
    std::vector<std::string> argv;         // argv[0] is looked up on PATH unless it holds a '/'
    std::vector<std::string> environment;  // "NAME=value" entries, the whole environment of the child
    std::string workDir;                   // the directory it runs in; empty: the current one
    int timeLimit = 60;                    // seconds, after which it is killed
    std::optional<uint64_t> memoryLimit;   // bytes of address space (RLIMIT_AS); none: no limit
    std::optional<std::string> input;      // standard input; none: /dev/null
};

// How a run ended and what it printed.
struct RunOutcome {
    int spawnError = 0;     // errno of a failed start, 0 when it started
    bool timedOut = false;  // killed after its time limit
    int status = 0;         // the wait status
    std::string out;        // what it wrote to standard output
    std::string err;        // and to standard error

    bool succeeded() const;
    // Why it failed, for a message: "exit status 1", "signal 9", "time
    // limit of 60 s", or the start's error.
    std::string failure(int timeLimit) const;
};

// This process's environment without the entries whose names are listed.
std::vector<std::string> inheritedEnvironment(const std::vector<std::string>& without);

// Runs every spec, at most parallel at once. done(i, outcome) is called for
// the runs in their order, each as soon as it and all runs before it have
// ended. Returns 0, or the signal noted by an InterruptGuard while the runs
// went on: then the running ones have been killed and reaped and no further
// run is started or reported.
int runAll(const std::vector<RunSpec>& runs, int parallel,
           const std::function<void(size_t, const RunOutcome&)>& done);

// The number of processors online, at least 1.
int processorCount();

}  // namespace morvex
