#include "process/run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

#include "process/interrupt.h"

extern char** environ;

namespace morvex {

namespace {

// Ghostscript reads these before its command line: GS_OPTIONS could switch
// SAFER off or add files to run, GS_LIB could put other init files first.
bool keptInEnvironment(const char* entry) {
    return std::strncmp(entry, "GS_OPTIONS=", 11) != 0 && std::strncmp(entry, "GS_LIB=", 7) != 0;
}

// An anonymous file that receives one stream of the child; read after it.
struct Capture {
    int fd = -1;
    Capture() { fd = memfd_create("morvex-gs", MFD_CLOEXEC); }
    ~Capture() {
        if (fd >= 0) close(fd);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::string text() const {
        std::string s;
        if (fd < 0) return s;
        char buf[8192];
        ssize_t n;
        off_t at = 0;
        while ((n = pread(fd, buf, sizeof buf, at)) > 0) {
            s.append(buf, static_cast<size_t>(n));
            at += n;
        }
        return s;
    }
};

struct Child {
    size_t index = 0;
    pid_t pid = 0;
    std::chrono::steady_clock::time_point deadline;
    std::unique_ptr<Capture> out, err;
};

std::optional<Child> start(const GsRun& run, size_t index, const std::vector<char*>& envp, int timeLimit,
                           GsOutcome& outcome) {
    Child child;
    child.index = index;
    child.out = std::make_unique<Capture>();
    child.err = std::make_unique<Capture>();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (child.out->fd >= 0) posix_spawn_file_actions_adddup2(&actions, child.out->fd, 1);
    if (child.err->fd >= 0) posix_spawn_file_actions_adddup2(&actions, child.err->fd, 2);
    posix_spawn_file_actions_addchdir_np(&actions, run.workDir.c_str());
    // A group of its own: a terminal's interrupt reaches morvex only, which
    // ends the run itself after cleaning up.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<std::string> words = run.command.argv;
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int rc = posix_spawnp(&child.pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        outcome.spawnError = rc;
        return std::nullopt;
    }
    child.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimit);
    return child;
}

void endChild(const Child& child) {
    kill(-child.pid, SIGKILL);
    kill(child.pid, SIGKILL);
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

bool GsOutcome::succeeded() const {
    return spawnError == 0 && !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string GsOutcome::failure(int timeLimit) const {
    if (spawnError != 0) return std::strerror(spawnError);
    if (timedOut) return "time limit of " + std::to_string(timeLimit) + " s";
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    return "unknown status";
}

int processorCount() {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : static_cast<int>(n);
}

int runGhostscript(const std::vector<GsRun>& runs, const GsLimits& limits,
                   const std::function<void(size_t, const GsOutcome&)>& done) {
    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e)
        if (keptInEnvironment(*e)) envStore.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    const int parallel = limits.parallel < 1 ? 1 : limits.parallel;
    std::vector<GsOutcome> outcomes(runs.size());
    std::vector<bool> ended(runs.size(), false);
    std::vector<Child> running;
    size_t next = 0;      // the next run to start
    size_t reported = 0;  // the next run to report

    const auto finish = [&](Child& child, int status, bool timedOut) {
        GsOutcome& o = outcomes[child.index];
        o.status = status;
        o.timedOut = timedOut;
        o.out = child.out->text();
        o.err = child.err->text();
        ended[child.index] = true;
    };

    while (reported < runs.size()) {
        if (int sig = interruptSignal(); sig != 0) {
            for (const Child& c : running) endChild(c);
            return sig;
        }
        while (next < runs.size() && static_cast<int>(running.size()) < parallel) {
            std::optional<Child> child = start(runs[next], next, envp, limits.timeLimit, outcomes[next]);
            if (child)
                running.push_back(std::move(*child));
            else
                ended[next] = true;
            ++next;
        }
        // Reap what has ended; end what is past its time.
        const auto now = std::chrono::steady_clock::now();
        for (size_t i = 0; i < running.size();) {
            int status = 0;
            pid_t w = waitpid(running[i].pid, &status, WNOHANG);
            bool timedOut = false;
            if (w == 0 && now >= running[i].deadline) {
                kill(-running[i].pid, SIGKILL);
                kill(running[i].pid, SIGKILL);
                while ((w = waitpid(running[i].pid, &status, 0)) < 0 && errno == EINTR) {
                }
                timedOut = true;
            }
            if (w == running[i].pid || (w < 0 && errno == ECHILD)) {
                finish(running[i], status, timedOut);
                running.erase(running.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
        while (reported < runs.size() && ended[reported]) {
            done(reported, outcomes[reported]);
            ++reported;
        }
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
