#include "base/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvex {

FileHandle openRegularFile(const std::string& path, OpenFailure& failure) {
    failure = OpenFailure::Missing;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return FileHandle();
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        failure = OpenFailure::NotRegular;
        return FileHandle();
    }
    // Reads of a regular file never block; the flag only served the open.
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "rb");
    if (f == nullptr) {
        close(fd);
        return FileHandle();
    }
    failure = OpenFailure::None;
    return FileHandle(f);
}

std::optional<std::string> readWholeFile(const std::string& path, size_t limit) {
    FileHandle f = openFile(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::string text;
    char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
        text.append(buf, got);
        if (text.size() > limit) return std::nullopt;
    }
    if (std::ferror(f.get())) return std::nullopt;
    return text;
}

bool writeWholeFile(const std::string& path, const std::string& text) {
    FileHandle f = openFile(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(text.data(), 1, text.size(), f.get());
    return closeChecked(f);
}

FileHandle discardingStream() {
    cookie_io_functions_t discard{};
    discard.write = [](void*, const char*, size_t size) -> ssize_t { return static_cast<ssize_t>(size); };
    std::FILE* f = fopencookie(nullptr, "w", discard);
    if (f == nullptr) return openFile("/dev/null", "w");
    // A large buffer: the writes cost only their formatting.
    std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
    return FileHandle(f);
}

bool closeChecked(FileHandle& f) {
    if (!f) return true;
    bool ok = std::fflush(f.get()) == 0 && !std::ferror(f.get());
    if (std::fclose(f.release()) != 0) ok = false;
    return ok;
}

}  // namespace morvex
