#include "fonts/work_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace morvex {

WorkDir::~WorkDir() {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

bool WorkDir::create() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string tmpl = (base / "morvex-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) {
        error = base.string() + ": " + std::strerror(errno);
        return false;
    }
    path = tmpl;
    return true;
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) return path;
    return p.lexically_normal().string();
}

}  // namespace morvex
