#include "pictures/file_policy.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

#include <kpathsea/kpathsea.h>

#include "base/file_handle.h"
#include "base/kpse_program.h"

namespace morvex::pictures {

namespace {

std::optional<std::string> realPath(const std::string& path) {
    std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

bool inside(const std::string& path, const std::string& root) {
    if (root.empty()) return false;
    if (root == "/") return true;
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            path[root.size()] == '/');
}

bool insideAny(const std::string& path, const std::vector<std::string>& roots) {
    for (const std::string& r : roots)
        if (inside(path, r)) return true;
    return false;
}

// The path with "." and ".." parts and doubled slashes resolved by their
// text alone; base is absolute.
std::string lexical(const std::string& base, std::string_view name) {
    std::vector<std::string> parts;
    const auto add = [&parts](std::string_view text) {
        size_t at = 0;
        while (at <= text.size()) {
            size_t slash = text.find('/', at);
            if (slash == std::string_view::npos) slash = text.size();
            std::string_view part = text.substr(at, slash - at);
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.emplace_back(part);
            }
            at = slash + 1;
        }
    };
    if (name.empty() || name.front() != '/') add(base);
    add(name);
    std::string out;
    for (const std::string& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

bool hasDotDot(std::string_view name) {
    return name == ".." || name.substr(0, 3) == "../" || name.find("/../") != std::string_view::npos ||
           (name.size() >= 3 && name.substr(name.size() - 3) == "/..");
}

// The TeX installation's trees, where kpathsea's finds may lie.
std::vector<std::string> installationTrees() {
    setKpseProgramName();
    std::vector<std::string> trees;
    std::unique_ptr<char, decltype(&free)> expanded(kpse_path_expand("$TEXMF"), &free);
    if (!expanded) return trees;
    std::string_view list = expanded.get();
    size_t at = 0;
    while (at <= list.size()) {
        size_t sep = list.find(':', at);
        if (sep == std::string_view::npos) sep = list.size();
        std::string_view dir = list.substr(at, sep - at);
        while (dir.substr(0, 2) == "!!") dir.remove_prefix(2);
        if (!dir.empty())
            if (std::optional<std::string> real = realPath(std::string(dir))) trees.push_back(*real);
        at = sep + 1;
    }
    return trees;
}

std::optional<std::string> kpathseaFind(const std::string& name, FileUse use) {
    setKpseProgramName();
    const kpse_file_format_type formats[] = {use == FileUse::Header ? kpse_tex_ps_header_format : kpse_pict_format,
                                             kpse_tex_format};
    for (kpse_file_format_type format : formats) {
        std::unique_ptr<char, decltype(&free)> found(kpse_find_file(name.c_str(), format, 0), &free);
        if (found) return std::string(found.get());
    }
    return std::nullopt;
}

bool regularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

ResolvedFile refused(std::string why) { return ResolvedFile{{}, std::move(why)}; }

// A found file, checked: a regular file Ghostscript can be told to read.
ResolvedFile accepted(const std::string& real) {
    if (!regularFile(real)) return refused("not a regular file");
    if (!permittable(real)) return refused("a path Ghostscript cannot be given (it holds ':', '*' or the like)");
    return ResolvedFile{real, {}};
}

}  // namespace

FileAccess FileAccess::forDvi(const std::string& dviPath, const std::vector<std::string>& extra) {
    FileAccess access;
    size_t slash = dviPath.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dviPath.substr(0, slash);
    access.dviDirectory = realPath(dir).value_or("");
    for (const std::string& e : extra)
        if (std::optional<std::string> real = realPath(e)) access.extraDirectories.push_back(*real);
    return access;
}

ResolvedFile resolvePictureFile(const FileAccess& access, std::string_view name, FileUse use) {
    if (name.empty()) return refused("an empty name");
    if (name.find('\0') != std::string_view::npos) return refused("a name holding a NUL byte");
    std::vector<std::string> roots;
    if (!access.dviDirectory.empty()) roots.push_back(access.dviDirectory);
    roots.insert(roots.end(), access.extraDirectories.begin(), access.extraDirectories.end());

    std::vector<std::string> bases = roots;
    if (name.front() == '/') bases = {"/"};
    bool leftRoots = false;
    for (const std::string& base : bases) {
        const std::string path = lexical(base, name);
        if (!insideAny(path, roots)) {
            leftRoots = true;
            continue;
        }
        std::optional<std::string> real = realPath(path);
        if (!real) continue;
        if (!insideAny(*real, roots)) return refused("a link leading out of the directories that may be read");
        return accepted(*real);
    }
    if (name.front() == '/') return refused("an absolute path outside the directories that may be read");
    if (leftRoots || hasDotDot(name)) return refused("a path leading out of the DVI file's directory");
    if (access.searchInstallation && name.substr(0, 2) != "./") {
        if (std::optional<std::string> found = kpathseaFind(std::string(name), use)) {
            std::optional<std::string> real = realPath(*found);
            if (real && (insideAny(*real, installationTrees()) || insideAny(*real, roots))) return accepted(*real);
            return refused("found by kpathsea outside the TeX installation and the directories that may be read");
        }
    }
    return refused("not found");
}

std::optional<std::string> findPrologue(const std::string& name) {
    std::optional<std::string> found = kpathseaFind(name, FileUse::Header);
    if (!found) return std::nullopt;
    return realPath(*found);
}

std::optional<FigureSection> figureSection(const std::string& path) {
    FileHandle f = openFile(path.c_str(), "rb");
    if (!f) return std::nullopt;
    unsigned char head[12] = {};
    size_t n = std::fread(head, 1, sizeof head, f.get());
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return std::nullopt;
    long size = std::ftell(f.get());
    if (size < 0) return std::nullopt;
    const auto total = static_cast<uint64_t>(size);
    const bool dosEps = n == sizeof head && head[0] == 0xC5 && head[1] == 0xD0 && head[2] == 0xD3 && head[3] == 0xC6;
    if (!dosEps) return FigureSection{0, total};
    const auto le32 = [&head](int at) {
        return static_cast<uint64_t>(head[at]) | static_cast<uint64_t>(head[at + 1]) << 8 |
               static_cast<uint64_t>(head[at + 2]) << 16 | static_cast<uint64_t>(head[at + 3]) << 24;
    };
    FigureSection s{le32(4), le32(8)};
    if (s.offset > total || s.length > total - s.offset) return std::nullopt;
    return s;
}

}  // namespace morvex::pictures
