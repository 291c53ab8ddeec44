#include "front/output_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
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
    // By identity, so that a run with a document for each of many pages
    // is checked in n log n.
    std::map<std::string, size_t> seen;
    std::optional<FileClash> first;
    size_t firstAt = files.size();
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string id = identity(files[i].path, i == 0);
        if (id.empty()) continue;
        auto [it, added] = seen.try_emplace(id, i);
        // The clash the pairs in order would find first: the lowest earlier
        // file, then the lowest later one.
        if (!added && (it->second < firstAt)) {
            firstAt = it->second;
            first = FileClash{files[it->second], files[i]};
        }
    }
    return first;
}

}  // namespace morvex
