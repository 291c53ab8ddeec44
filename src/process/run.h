#pragma once
// Running Ghostscript: without a shell, in a private directory, with its
// environment cleaned, under a time limit, several at once, and with its
// output kept per run so that it can be shown in the order of the runs.
#include <functional>
#include <string>
#include <vector>

namespace morvex {

// A command: the words handed to the program, and the same command as one
// line with the values quoted, for the trace.
struct GsCommand {
    std::vector<std::string> argv;
    std::string line;
};

struct GsRun {
    GsCommand command;
    std::string workDir;  // the directory it runs in
};

struct GsOutcome {
    int spawnError = 0;     // errno of a failed start, 0 when it started
    bool timedOut = false;  // ended by morvex after the time limit
    int status = 0;         // the wait status
    std::string out;        // what it wrote to standard output
    std::string err;        // and to standard error

    bool succeeded() const;
    // Why it failed, for a message: "exit status 1", "signal 9", ...
    std::string failure(int timeLimit) const;
};

struct GsLimits {
    int parallel = 1;    // runs at once
    int timeLimit = 60;  // seconds per run
};

// Runs every command, at most limits.parallel at once. done(i, outcome) is
// called for the runs in their order, each as soon as it and all runs
// before it have ended. Returns 0, or the signal that interrupted the runs:
// then the running ones have been ended and reaped and no further run is
// started or reported.
int runGhostscript(const std::vector<GsRun>& runs, const GsLimits& limits,
                   const std::function<void(size_t, const GsOutcome&)>& done);

// The number of processors online, at least 1.
int processorCount();

}  // namespace morvex
