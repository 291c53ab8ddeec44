#pragma once
// Owning wrapper for C streams: every exact byte format of the outputs is
// written with the printf family, so the streams stay FILE*.
#include <cstdio>
#include <memory>

namespace morvex {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f != nullptr) std::fclose(f);
    }
};

using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

inline FileHandle openFile(const char* path, const char* mode) {
    return FileHandle(std::fopen(path, mode));
}

}  // namespace morvex
