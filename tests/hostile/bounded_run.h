#pragma once
// Runs the built program on a hostile input under resource limits, and
// reports how it ended and what it left behind.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex::testing {

struct BoundedResult {
    int exitCode = -1;  // -1 when ended by a signal
    int signal = 0;     // the signal that ended it, or 0
    bool timedOut = false;
    long maxRssKiB = 0;
    double seconds = 0.0;
    std::string out;
    std::string err;
};

struct Limits {
    int cpuSeconds = 20;                       // RLIMIT_CPU: a loop without end is killed
    int wallSeconds = 40;                      // killed when still running after this
    rlim_t fileBytes = 256u * 1024u * 1024u;   // RLIMIT_FSIZE: no output grows beyond this
};

// Runs args (args[0] an absolute path) with cwd as working directory,
// standard input from /dev/null, standard output and error collected, TMPDIR set to
// tmpDir and extraEnv added.
// whileRunning, when given, is called with the child's pid between looks.
inline BoundedResult runBounded(const std::vector<std::string>& args, const std::string& cwd,
                                const std::string& tmpDir, const std::vector<std::string>& extraEnv = {},
                                const Limits& limits = Limits(),
                                const std::function<void(pid_t)>& whileRunning = nullptr) {
    BoundedResult r;
    // Kept open, gone from the directory at once.
    char outTmpl[] = "/tmp/morvex-hostile-out-XXXXXX";
    char errTmpl[] = "/tmp/morvex-hostile-err-XXXXXX";
    int outFd = mkstemp(outTmpl);
    int errFd = mkstemp(errTmpl);
    if (outFd >= 0) unlink(outTmpl);
    if (errFd >= 0) unlink(errTmpl);
    if (outFd < 0 || errFd < 0) return r;

    // extraEnv replaces what the environment holds of the same names.
    const auto replaced = [&](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        if (name == "TMPDIR=") return true;
        for (const auto& e : extraEnv)
            if (e.compare(0, name.size(), name) == 0) return true;
        return false;
    };
    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e)
        if (!replaced(*e)) envStore.emplace_back(*e);
    envStore.push_back("TMPDIR=" + tmpDir);
    for (const auto& e : extraEnv) envStore.push_back(e);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        rlimit cpu{static_cast<rlim_t>(limits.cpuSeconds), static_cast<rlim_t>(limits.cpuSeconds)};
        rlimit fsize{limits.fileBytes, limits.fileBytes};
        setrlimit(RLIMIT_CPU, &cpu);
        setrlimit(RLIMIT_FSIZE, &fsize);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (chdir(cwd.c_str()) != 0) _exit(127);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) {
        close(outFd);
        close(errFd);
        return r;
    }
    int status = 0;
    rusage usage{};
    for (;;) {
        pid_t w = wait4(pid, &status, WNOHANG, &usage);
        if (w == pid) break;
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed > limits.wallSeconds && !r.timedOut) {
            kill(pid, SIGKILL);
            r.timedOut = true;
        }
        if (whileRunning && !r.timedOut) whileRunning(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    r.maxRssKiB = usage.ru_maxrss;
    auto slurp = [](int fd, std::string& into) {
        lseek(fd, 0, SEEK_SET);
        char buf[65536];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0) into.append(buf, static_cast<size_t>(n));
        close(fd);
    };
    slurp(outFd, r.out);
    slurp(errFd, r.err);
    return r;
}

}  // namespace morvex::testing
