#pragma once
// A private working area for a fuzz target: a fresh directory under /tmp,
// removed when the process ends normally, that receives everything a run
// writes to the file system (nothing goes to the working directory).
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace morvex::fuzz {

struct PrivateDir {
    std::string path;
    PrivateDir() {
        char tmpl[] = "/tmp/morvex-fuzz-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = tmpl;
    }
    ~PrivateDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

inline const std::string& privateDir() {
    static PrivateDir dir;
    return dir.path;
}

}  // namespace morvex::fuzz
