// Runs a command and prints its wall time in seconds and the peak resident
// size of its process tree in KiB ("SECONDS KIB"), for the benchmarks on a
// machine without /usr/bin/time. The command's exit status is ignored.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peak COMMAND [ARGS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
        std::perror(argv[1]);
        return 2;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("%.3f %ld\n", seconds, usage.ru_maxrss);
    return 0;
}
