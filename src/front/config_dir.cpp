#include "front/config_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/file_handle.h"
#include "base/printable.h"
#include "front/front.h"

namespace morvex {

namespace {

constexpr const char* kConfigFiles[] = {"tarnevik.ps", "tarnevik.enc", "morvex.map"};
// The marker holds one absolute path; anything longer is not one of ours.
constexpr size_t kMarkerLimit = 4096;

// The directory of this executable, symbolic links resolved; empty when
// the system does not tell.
std::filesystem::path executableDir() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute()) return {};
    return exe.parent_path();
}

// The build tree's configuration directory, as the marker beside a built
// binary names it; empty for an installed binary.
std::string buildTreeConfig(const std::filesystem::path& exeDir) {
    std::optional<std::string> text = readWholeFile(exeDir / MORVEX_BUILD_CONFIG_MARKER, kMarkerLimit);
    if (!text) return "";
    std::string path = text->substr(0, text->find('\n'));
    if (path.empty() || path[0] != '/') return "";
    return path;
}

}  // namespace

std::vector<std::string> configCandidates() {
    std::vector<std::string> dirs = {kDefaultConfigDir};
    const std::filesystem::path exeDir = executableDir();
    if (!exeDir.empty()) {
        dirs.push_back((exeDir / MORVEX_CONFIG_FROM_BINDIR).lexically_normal().string());
        std::string built = buildTreeConfig(exeDir);
        if (!built.empty()) dirs.push_back(std::filesystem::path(built).lexically_normal().string());
    }
    std::vector<std::string> unique;
    for (std::string& d : dirs) {
        while (d.size() > 1 && d.back() == '/') d.pop_back();
        if (std::find(unique.begin(), unique.end(), d) == unique.end()) unique.push_back(d);
    }
    return unique;
}

std::string configLack(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "no such directory";
    for (const char* name : kConfigFiles) {
        const std::string path = dir + "/" + name;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), R_OK) != 0)
            return std::string("no readable ") + name;
    }
    return "";
}

std::optional<std::string> findConfigDir(const std::vector<std::string>& candidates, const char* program,
                                         std::FILE* out) {
    std::vector<std::string> lacks;
    for (const std::string& dir : candidates) {
        lacks.push_back(configLack(dir));
        if (lacks.back().empty()) return dir;
    }
    std::fprintf(out, "%s: no configuration directory holds tarnevik.ps, tarnevik.enc and morvex.map. Tried:\n",
                 program);
    for (size_t i = 0; i < candidates.size(); ++i)
        std::fprintf(out, "  %s (%s)\n", printable(candidates[i]).c_str(), lacks[i].c_str());
    std::fprintf(out, "Name the configuration directory with -c DIR.\n");
    return std::nullopt;
}

}  // namespace morvex
