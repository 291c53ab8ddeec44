#include "front/output_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace morvex {

namespace {

namespace fs = std::filesystem;

// A symbolic link whose target does not exist yet: opening it for writing
// creates the target, so the target is what the output is.
std::string followDangling(std::string path) {
    std::error_code ec;
    for (int hops = 0; hops < 40; ++hops) {
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = (target.is_absolute() ? target : fs::path(path).parent_path() / target).string();
    }
    return path;
}

// What tells two paths apart as files; empty for a file left out.
std::string identity(std::string path, bool isInput) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) path = followDangling(path);
    if (stat(path.c_str(), &st) == 0) {
        if (!isInput && !S_ISREG(st.st_mode)) return "";
        return "inode " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    std::error_code ec;
    fs::path abs = fs::absolute(path, ec);
    if (ec) abs = path;
    abs = abs.lexically_normal();
    const fs::path parent = abs.parent_path();
    const std::string base = abs.filename().string();
    if (!base.empty() && base != "." && base != ".." && stat(parent.c_str(), &st) == 0)
        return "in " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + " " + base;
    return "path " + abs.string();
}

}  // namespace

std::optional<FileClash> findClash(const std::vector<NamedFile>& files) {
    std::vector<std::string> ids;
    for (size_t i = 0; i < files.size(); ++i) ids.push_back(identity(files[i].path, i == 0));
    for (size_t i = 0; i < files.size(); ++i)
        for (size_t j = i + 1; j < files.size(); ++j)
            if (!ids[i].empty() && ids[i] == ids[j]) return FileClash{files[i], files[j]};
    return std::nullopt;
}

}  // namespace morvex
