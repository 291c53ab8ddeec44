#include "base/bounded_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace morvex {

namespace {

struct LogFile {
    int fd = -1;
    uint64_t written = 0;
    uint64_t limit = 0;
    bool cut = false;
};

bool writeAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

ssize_t logWrite(void* cookie, const char* data, size_t n) {
    auto* log = static_cast<LogFile*>(cookie);
    if (log->cut) return static_cast<ssize_t>(n);
    size_t take = n;
    if (log->written + n > log->limit) take = static_cast<size_t>(log->limit - log->written);
    if (!writeAll(log->fd, data, take)) return -1;
    log->written += take;
    if (take < n) {
        char line[160];
        int len = std::snprintf(line, sizeof line,
                                "\n#### trace cut: the log reached %llu bytes, its limit for this DVI file\n",
                                static_cast<unsigned long long>(log->limit));
        if (!writeAll(log->fd, line, static_cast<size_t>(len))) return -1;
        log->cut = true;
    }
    return static_cast<ssize_t>(n);
}

int logClose(void* cookie) {
    std::unique_ptr<LogFile> log(static_cast<LogFile*>(cookie));
    return ::close(log->fd);
}

}  // namespace

uint64_t traceLimit(uint64_t dviSize) {
    // Ordinary documents trace a few times their size; 64 times and 16 MiB
    // leave them whole.
    constexpr uint64_t kFactor = 64;
    constexpr uint64_t kBase = 16u << 20;
    if (dviSize > (UINT64_MAX - kBase) / kFactor) return UINT64_MAX;
    return dviSize * kFactor + kBase;
}

FileHandle openBoundedLog(const std::string& path, uint64_t limit) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return FileHandle();
    auto log = std::make_unique<LogFile>(LogFile{fd, 0, limit, false});
    cookie_io_functions_t io{nullptr, logWrite, nullptr, logClose};
    std::FILE* f = fopencookie(log.get(), "w", io);
    if (f == nullptr) {
        ::close(fd);
        return FileHandle();
    }
    log.release();  // the stream owns it now; logClose frees it
    // The trace is written in small pieces: a large buffer keeps the
    // system calls few.
    setvbuf(f, nullptr, _IOFBF, 1 << 16);
    return FileHandle(f);
}

}  // namespace morvex
