#pragma once
// Owning wrapper for a file descriptor: directories held open for the
// *at calls, and files read or written below them.
#include <unistd.h>

#include <utility>

namespace morvex {

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }
    int release() { return std::exchange(fd, -1); }
    // Closes it; false when the close reported an error (a write lost).
    bool close() {
        if (fd < 0) return true;
        return ::close(std::exchange(fd, -1)) == 0;
    }
    void reset() { close(); }

private:
    int fd = -1;
};

}  // namespace morvex
