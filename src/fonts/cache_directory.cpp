#include "fonts/cache_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <random>

#include "fonts/work_dir.h"

namespace morvex {

namespace {

constexpr const char* kTemporaryPrefix = ".entry-";
// A run writes an entry within milliseconds of making it: a temporary file
// this old was left by a run that was killed.
constexpr time_t kStaleSeconds = 5 * 60;
constexpr int kTemporaryAttempts = 100;

struct DirCloser {
    void operator()(DIR* d) const noexcept {
        if (d != nullptr) closedir(d);
    }
};

// Makes dir and the directories above it that are missing, each private.
bool makeDirectories(const std::string& dir) {
    if (dir == "/") return true;
    for (size_t at = 1; at <= dir.size(); ++at) {
        if (at != dir.size() && dir[at] != '/') continue;
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0700) == 0) continue;
        struct stat st;
        if (errno != EEXIST) return false;
        if (stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
    }
    return true;
}

// Whether someone other than the user (and root) may create, remove or
// rename entries of a directory.
bool othersMayWrite(const struct stat& st) {
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return true;
    return st.st_uid != geteuid() && st.st_uid != 0 && (st.st_mode & S_IWUSR) != 0;
}

// In a sticky directory only the owner of an entry, of the directory, or
// root may move the entry.
bool stickyForUs(const struct stat& st) {
    return (st.st_mode & S_ISVTX) != 0 && (st.st_uid == geteuid() || st.st_uid == 0);
}

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Opens dir (absolute, not "/") below its parent, checking both and making
// it, private, when it is missing; why says what refused it. Nothing is
// made in a parent that is refused.
Descriptor openChecked(const std::string& dir, std::string& why) {
    const size_t slash = dir.rfind('/');
    const std::string parentPath = slash == 0 ? "/" : dir.substr(0, slash);
    const std::string base = dir.substr(slash + 1);
    if (!makeDirectories(parentPath)) {
        why = errnoText("can not make it");
        return Descriptor();
    }
    Descriptor parent(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (!parent || fstat(parent.get(), &st) != 0) {
        why = errnoText("can not open the directory above it");
        return Descriptor();
    }
    if (othersMayWrite(st) && !stickyForUs(st)) {
        why = "others may write into the directory above it, which is not sticky";
        return Descriptor();
    }
    if (mkdirat(parent.get(), base.c_str(), 0700) != 0 && errno != EEXIST) {
        why = errnoText("can not make it");
        return Descriptor();
    }
    Descriptor fd(openat(parent.get(), base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        struct stat link;
        if (fstatat(parent.get(), base.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))
            why = "it is a symbolic link; name the directory it points to";
        else if (error == ENOTDIR)
            why = "it is not a directory";
        else
            why = std::string("can not open it: ") + std::strerror(error);
        return Descriptor();
    }
    if (fstat(fd.get(), &st) != 0) {
        why = errnoText("can not examine it");
        return Descriptor();
    }
    if (st.st_uid != geteuid()) {
        why = "it belongs to another user";
        return Descriptor();
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why = "others may write into it";
        return Descriptor();
    }
    return fd;
}

// A new file of a name no other run takes, open for writing.
Descriptor createTemporary(int dir, std::string& name) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        name = kTemporaryPrefix;
        for (int i = 0; i < 12; ++i) name += kChars[pick() % (sizeof kChars - 1)];
        Descriptor fd(openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return Descriptor();
}

bool writeAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<CacheDirectory> CacheDirectory::open(const std::string& path, std::string& why) {
    std::string dir = absolutePath(path);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty() || dir == "/") {
        why = "the directory has no name";
        return std::nullopt;
    }
    Descriptor fd = openChecked(dir, why);
    if (!fd) return std::nullopt;
    CacheDirectory cache(std::move(fd));
    cache.removeStaleTemporaries();
    return cache;
}

std::optional<std::string> CacheDirectory::read(const std::string& name, size_t limit) const {
    Descriptor entry(openat(fd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!entry || fstat(entry.get(), &st) != 0) return std::nullopt;
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || static_cast<uint64_t>(st.st_size) > limit)
        return std::nullopt;
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(entry.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return text;
        text.append(buf, static_cast<size_t>(n));
        if (text.size() > limit) return std::nullopt;
    }
}

bool CacheDirectory::write(const std::string& name, const std::string& bytes, std::string& why) const {
    std::string temporary;
    Descriptor out = createTemporary(fd.get(), temporary);
    if (!out) {
        why = std::strerror(errno);
        return false;
    }
    bool ok = writeAll(out.get(), bytes);
    int error = ok ? 0 : errno;
    if (!out.close() && ok) {
        ok = false;
        error = errno;
    }
    // A name held by a pipe, a link or a stranger's file is taken over: the
    // rename replaces whatever is not a directory.
    if (ok && renameat(fd.get(), temporary.c_str(), fd.get(), name.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlinkat(fd.get(), temporary.c_str(), 0);
        why = std::strerror(error != 0 ? error : EIO);
    }
    return ok;
}

void CacheDirectory::removeStaleTemporaries() const {
    const int listing = dup(fd.get());
    if (listing < 0) return;
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(listing));
    if (!dir) {
        ::close(listing);
        return;
    }
    const time_t now = time(nullptr);
    while (const dirent* e = readdir(dir.get())) {
        if (std::strncmp(e->d_name, kTemporaryPrefix, std::strlen(kTemporaryPrefix)) != 0) continue;
        struct stat st;
        if (fstatat(fd.get(), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) continue;
        if (now - st.st_mtime > kStaleSeconds) unlinkat(fd.get(), e->d_name, 0);
    }
}

}  // namespace morvex
