#include "process/run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "process/interrupt.h"
#include "process/memory_file.h"

extern char** environ;

namespace morvex {

namespace {

// Everything the child needs, made before the fork: between fork and exec
// only system calls run, so that a fork from a threaded process is safe.
struct Prepared {
    std::vector<std::string> candidates;  // the paths execve tries, in order
    std::vector<std::string> argvStore, envStore;
    std::vector<char*> argv, envp;
};

std::vector<std::string> programCandidates(const std::string& name) {
    if (name.find('/') != std::string::npos) return {name};
    const char* path = std::getenv("PATH");
    const std::string dirs = path != nullptr && path[0] != '\0' ? path : "/bin:/usr/bin";
    std::vector<std::string> found;
    size_t at = 0;
    for (;;) {
        size_t end = dirs.find(':', at);
        std::string dir = dirs.substr(at, end == std::string::npos ? std::string::npos : end - at);
        // An empty entry is the current directory.
        found.push_back((dir.empty() ? "." : dir) + "/" + name);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return found;
}

Prepared prepare(const RunSpec& spec) {
    Prepared p;
    if (!spec.argv.empty()) p.candidates = programCandidates(spec.argv[0]);
    p.argvStore = spec.argv;
    p.envStore = spec.environment;
    for (auto& a : p.argvStore) p.argv.push_back(a.data());
    p.argv.push_back(nullptr);
    for (auto& e : p.envStore) p.envp.push_back(e.data());
    p.envp.push_back(nullptr);
    return p;
}

struct Child {
    size_t index = 0;
    pid_t pid = 0;
    std::chrono::steady_clock::time_point deadline;
    std::unique_ptr<MemoryFile> out, err;
};

// Tells the parent why the child could not become the program, and ends it.
[[noreturn]] void failStart(int report, int error) {
    ssize_t w = write(report, &error, sizeof error);
    (void)w;
    _exit(127);
}

// The child's side, after fork: its group, descriptors, directory and
// limit, then the program. A failure is written to report as an errno.
[[noreturn]] void becomeChild(const RunSpec& spec, const Prepared& p, int input, const Child& child, int report) {
    const auto failWith = [report](int error) { failStart(report, error); };
    setpgid(0, 0);
    if (input < 0) input = open("/dev/null", O_RDONLY);
    if (input < 0 || dup2(input, 0) < 0) failWith(errno);
    if (child.out->fd() >= 0 && dup2(child.out->fd(), 1) < 0) failWith(errno);
    if (child.err->fd() >= 0 && dup2(child.err->fd(), 2) < 0) failWith(errno);
    if (!spec.workDir.empty() && chdir(spec.workDir.c_str()) != 0) failWith(errno);
    if (spec.memoryLimit) {
        const rlimit limit{static_cast<rlim_t>(*spec.memoryLimit), static_cast<rlim_t>(*spec.memoryLimit)};
        if (setrlimit(RLIMIT_AS, &limit) != 0) failWith(errno);
    }
    int error = p.candidates.empty() ? ENOENT : 0;
    for (const std::string& path : p.candidates) {
        execve(path.c_str(), p.argv.data(), p.envp.data());
        // As a PATH search does: a directory without the program is passed
        // over, one that refuses it is remembered.
        if (error != EACCES) error = errno;
        if (errno != ENOENT && errno != EACCES && errno != ENOTDIR) break;
    }
    failStart(report, error);
}

// Starts one run; none, with outcome.spawnError set, when it cannot start.
std::unique_ptr<Child> start(const RunSpec& spec, size_t index, RunOutcome& outcome) {
    auto child = std::make_unique<Child>();
    child->index = index;
    child->out = std::make_unique<MemoryFile>();
    child->err = std::make_unique<MemoryFile>();
    MemoryFile input;
    if (spec.input && !input.fill(*spec.input)) {
        outcome.spawnError = errno != 0 ? errno : EIO;
        return nullptr;
    }
    const Prepared prepared = prepare(spec);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        outcome.spawnError = errno;
        return nullptr;
    }
    child->pid = fork();
    if (child->pid == 0) becomeChild(spec, prepared, spec.input ? input.fd() : -1, *child, report[1]);
    const int forkError = errno;
    close(report[1]);
    if (child->pid < 0) {
        close(report[0]);
        outcome.spawnError = forkError;
        return nullptr;
    }
    // A group of its own: a terminal's interrupt reaches morvex only, which
    // ends the run itself after cleaning up.
    setpgid(child->pid, child->pid);
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        int status = 0;
        while (waitpid(child->pid, &status, 0) < 0 && errno == EINTR) {
        }
        outcome.spawnError = error;
        return nullptr;
    }
    child->deadline = std::chrono::steady_clock::now() + std::chrono::seconds(spec.timeLimit);
    return child;
}

// Kills the child and its group and waits for it; its wait status.
int endChild(const Child& child) {
    kill(-child.pid, SIGKILL);
    kill(child.pid, SIGKILL);
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Reaps the running children that have ended, and ends and reaps those
// past their time: each goes from running into its outcome.
void reap(std::vector<std::unique_ptr<Child>>& running, std::vector<RunOutcome>& outcomes,
          std::vector<bool>& ended) {
    const auto now = std::chrono::steady_clock::now();
    for (size_t i = 0; i < running.size();) {
        Child& child = *running[i];
        int status = 0;
        pid_t w = waitpid(child.pid, &status, WNOHANG);
        bool timedOut = false;
        if (w == 0 && now >= child.deadline) {
            status = endChild(child);
            w = child.pid;
            timedOut = true;
        }
        if (w == child.pid || (w < 0 && errno == ECHILD)) {
            RunOutcome& o = outcomes[child.index];
            o.status = status;
            o.timedOut = timedOut;
            o.out = child.out->text();
            o.err = child.err->text();
            ended[child.index] = true;
            running.erase(running.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

}  // namespace

bool RunOutcome::succeeded() const {
    return spawnError == 0 && !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string RunOutcome::failure(int timeLimit) const {
    if (spawnError != 0) return std::strerror(spawnError);
    if (timedOut) return "time limit of " + std::to_string(timeLimit) + " s";
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    return "unknown status";
}

std::vector<std::string> inheritedEnvironment(const std::vector<std::string>& without) {
    std::vector<std::string> kept;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool dropped = false;
        for (const std::string& w : without) dropped = dropped || name == w;
        if (!dropped) kept.push_back(entry);
    }
    return kept;
}

int processorCount() {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : static_cast<int>(n);
}

int runAll(const std::vector<RunSpec>& runs, int parallel,
           const std::function<void(size_t, const RunOutcome&)>& done) {
    if (parallel < 1) parallel = 1;
    std::vector<RunOutcome> outcomes(runs.size());
    std::vector<bool> ended(runs.size(), false);
    std::vector<std::unique_ptr<Child>> running;
    size_t next = 0;      // the next run to start
    size_t reported = 0;  // the next run to report
    while (reported < runs.size()) {
        if (int sig = interruptSignal(); sig != 0) {
            for (const auto& c : running) endChild(*c);
            return sig;
        }
        while (next < runs.size() && static_cast<int>(running.size()) < parallel) {
            std::unique_ptr<Child> child = start(runs[next], next, outcomes[next]);
            if (child)
                running.push_back(std::move(child));
            else
                ended[next] = true;
            ++next;
        }
        reap(running, outcomes, ended);
        for (; reported < runs.size() && ended[reported]; ++reported) done(reported, outcomes[reported]);
        if (reported < runs.size() && !running.empty()) {
            // Children end within tens of milliseconds: a short sleep
            // between looks costs nothing measurable.
            struct timespec pause {0, 2 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    }
    return 0;
}

}  // namespace morvex
