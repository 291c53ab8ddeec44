#pragma once
// An anonymous file in memory: what a child writes to one of its streams,
// read after it ended, or the bytes it reads on its standard input.
#include <string>

namespace morvex {

class MemoryFile {
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // The descriptor, closed on exec; -1 when the file could not be made.
    int fd() const { return descriptor; }
    // The whole contents.
    std::string text() const;
    // Replaces the contents with bytes and rewinds; false when it could not.
    bool fill(const std::string& bytes);

private:
    int descriptor = -1;
};

}  // namespace morvex
