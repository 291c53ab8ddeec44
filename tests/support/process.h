#pragma once
// Runs a program without a shell and collects its exit code and output, for
// the end-to-end tests of the built binary.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "support/bytes.h"

extern char** environ;

namespace morvex::testing {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Writes data to a pipe whose reader may exit without reading it: the
// write then fails with EPIPE instead of ending the test by SIGPIPE. The
// signal is blocked in this thread only, and one raised meanwhile is taken
// before the mask is restored. Small data only: it must fit the pipe's
// buffer, since nothing reads it while it is written.
inline void writeIgnoringClosedReader(int fd, const std::string& data) {
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    ssize_t written = write(fd, data.data(), data.size());
    (void)written;
    const timespec noWait = {0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &noWait) == SIGPIPE) {
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// Runs argv[0] (found on PATH) in directory cwd with the given extra
// environment entries ("NAME=value"), standard input from /dev/null.
// With stdinPipe set, standard input is a pipe (not seekable) that carries
// stdinData.
inline ProcessResult runProcess(const std::vector<std::string>& args, const std::string& cwd,
                                const std::vector<std::string>& extraEnv = {}, bool stdinPipe = false,
                                const std::string& stdinData = "") {
    ProcessResult r;
    char outTmpl[] = "/tmp/morvex-out-XXXXXX";
    char errTmpl[] = "/tmp/morvex-err-XXXXXX";
    int outFd = mkstemp(outTmpl);
    int errFd = mkstemp(errTmpl);
    if (outFd < 0 || errFd < 0) return r;

    int pipeFds[2] = {-1, -1};
    if (stdinPipe && pipe(pipeFds) != 0) return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinPipe) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e) envStore.emplace_back(*e);
    for (const auto& e : extraEnv) envStore.push_back(e);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        if (stdinPipe) {
            close(pipeFds[0]);
            writeIgnoringClosedReader(pipeFds[1], stdinData);
            close(pipeFds[1]);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    r.out = readFile(outTmpl);
    r.err = readFile(errTmpl);
    unlink(outTmpl);
    unlink(errTmpl);
    return r;
}

// The names in a directory, without "." and "..".
inline std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.insert(n);
        }
        closedir(d);
    }
    return names;
}

// A fresh directory under /tmp, removed with its files when the holder goes.
struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/morvex-test-XXXXXX";
        if (mkdtemp(tmpl) != nullptr) path = tmpl;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        if (!path.empty()) runProcess({"rm", "-rf", path}, "/");
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

}  // namespace morvex::testing
