#include "process/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace morvex {

MemoryFile::MemoryFile() : descriptor(memfd_create("morvex-run", MFD_CLOEXEC)) {}

MemoryFile::~MemoryFile() {
    if (descriptor >= 0) close(descriptor);
}

std::string MemoryFile::text() const {
    std::string s;
    if (descriptor < 0) return s;
    char buf[8192];
    ssize_t n;
    off_t at = 0;
    while ((n = pread(descriptor, buf, sizeof buf, at)) > 0 || (n < 0 && errno == EINTR)) {
        if (n < 0) continue;
        s.append(buf, static_cast<size_t>(n));
        at += n;
    }
    return s;
}

bool MemoryFile::fill(const std::string& bytes) {
    if (descriptor < 0 || ftruncate(descriptor, 0) != 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(descriptor, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return lseek(descriptor, 0, SEEK_SET) == 0;
}

}  // namespace morvex
