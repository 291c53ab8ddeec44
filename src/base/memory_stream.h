#pragma once
// A write stream into memory, for text that must wait for its turn on the
// real stream.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace morvex {

class MemoryStream {
public:
    MemoryStream() : stream(open_memstream(&buf, &len)) {}
    ~MemoryStream() {
        if (stream != nullptr) std::fclose(stream);
        std::free(buf);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    // Falls back to standard output if memory could not be had.
    std::FILE* get() const { return stream != nullptr ? stream : stdout; }
    std::string text() {
        if (stream == nullptr) return {};
        std::fflush(stream);
        return std::string(buf, len);
    }

private:
    char* buf = nullptr;
    size_t len = 0;
    std::FILE* stream = nullptr;
};

}  // namespace morvex
