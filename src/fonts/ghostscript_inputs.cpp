#include "fonts/ghostscript_inputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/fnv.h"
#include "base/printable.h"
#include "process/ghostscript_permit.h"

namespace morvex {

namespace {

// The links' directory: font names hold no '/', so no generated font
// written beside the links can take a link's name.
constexpr const char* kLinkDir = "in";

bool linksTo(const std::string& link, const std::string& target) {
    std::string buf(target.size() + 1, '\0');
    const ssize_t n = readlink(link.c_str(), buf.data(), buf.size());
    return n >= 0 && static_cast<size_t>(n) == target.size() && buf.compare(0, target.size(), target) == 0;
}

}  // namespace

std::optional<std::string> GhostscriptInputs::name(const std::string& path, std::string& why) {
    if (permittable(path)) return path;
    if (auto it = named.find(path); it != named.end()) return it->second;
    if (path.empty() || path.front() != '/') {
        why = "not an absolute path";
        return std::nullopt;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a64(path)));
    const std::string link = std::string(kLinkDir) + "/" + hex;
    const std::string linkPath = workDir + "/" + link;
    if (mkdir((workDir + "/" + kLinkDir).c_str(), 0700) != 0 && errno != EEXIST) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    // Another source of the run may have made the same link.
    if (symlink(path.c_str(), linkPath.c_str()) != 0 && !(errno == EEXIST && linksTo(linkPath, path))) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    named.emplace(path, link);
    return link;
}

std::optional<FontFiles> GhostscriptInputs::files(const FontFiles& files, std::string& failedPath,
                                                  std::string& why) {
    FontFiles given;
    for (const auto& [from, to] : {std::pair{&files.type1Path, &given.type1Path},
                                   std::pair{&files.encVectorPath, &given.encVectorPath}}) {
        if (from->empty()) continue;
        std::optional<std::string> n = name(*from, why);
        if (!n) {
            failedPath = *from;
            return std::nullopt;
        }
        *to = *n;
    }
    return given;
}

std::optional<ConfigFiles> GhostscriptInputs::config(const ConfigFiles& config, std::string& failedPath,
                                                     std::string& why) {
    // The program itself needs no permit: Ghostscript runs the file its
    // command line names, whatever its path.
    ConfigFiles given = config;
    std::optional<std::string> enc = name(config.encPath, why);
    if (!enc) {
        failedPath = config.encPath;
        return std::nullopt;
    }
    given.encPath = *enc;
    return given;
}

std::string inputRefusedMessage(const std::string& fontName, const std::string& path, const std::string& why) {
    return "\nCan not give Ghostscript the file " + printable(path) + " for font " + printable(fontName) + " (" +
           why + ").\n";
}

}  // namespace morvex
