#pragma once
// Owning wrapper for C streams: every exact byte format of the outputs is
// written with the printf family, so the streams stay FILE*.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace morvex {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f != nullptr) std::fclose(f);
    }
};

using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Every file is opened close-on-exec: Ghostscript, run as a child, must not
// inherit the DVI file, the font map or the outputs.
inline FileHandle openFile(const char* path, const char* mode) {
    return FileHandle(std::fopen(path, (std::string(mode) + "e").c_str()));
}

// Why openRegularFile gave no stream.
enum class OpenFailure { None, Missing, NotRegular };

// Opens a file for reading only when it is a regular file. The open does not
// block, so a named pipe without a writer is refused rather than waited on.
FileHandle openRegularFile(const std::string& path, OpenFailure& failure);

// The whole contents of a file; none when it cannot be read or is larger
// than limit bytes.
std::optional<std::string> readWholeFile(const std::string& path, size_t limit = 64u << 20);

// Writes text as the whole contents of path; false when it could not.
bool writeWholeFile(const std::string& path, const std::string& text);

// A stream that takes every write and keeps nothing: the trace and messages
// of a pass whose output another pass gives.
FileHandle discardingStream();

// Closes the stream; false when a write to it or the close failed (a full
// disk, a lost device), so that an output cut short is not taken for whole.
bool closeChecked(FileHandle& f);

}  // namespace morvex
