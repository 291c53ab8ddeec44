#pragma once
// Which files the picture specials may have Ghostscript read: a figure or a
// header that lies beside the DVI file or below it, or in a directory the
// user names, or that kpathsea finds in the TeX installation. Every other
// name is refused with a reason: an absolute path or a ".." leading
// elsewhere, a link pointing out, a file kpathsea finds anywhere else (the
// working directory), and a path Ghostscript's permit list cannot name.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/job.h"
#include "process/ghostscript_permit.h"

namespace morvex::pictures {

struct FileAccess {
    std::string dviDirectory;                   // the DVI file's directory
    std::vector<std::string> extraDirectories;  // further directories the user allows
    bool searchInstallation = true;             // kpathsea, for what the directories lack

    // The access for a DVI file and the directories the user names.
    static FileAccess forDvi(const std::string& dviPath, const std::vector<std::string>& extra = {});
};

enum class FileUse { Header, Figure };

struct ResolvedFile {
    std::string path;     // absolute, links resolved
    std::string refusal;  // why the name is not read, for a message

    bool ok() const { return refusal.empty(); }
};

ResolvedFile resolvePictureFile(const FileAccess& access, std::string_view name, FileUse use);

// A dvips prologue (tex.pro, special.pro, ...) through kpathsea, resolved.
std::optional<std::string> findPrologue(const std::string& name);

// The PostScript part of a figure file: past a DOS EPS binary header when
// it has one, else all of it. None when the file cannot be read or its
// header points outside it.
std::optional<FigureSection> figureSection(const std::string& path);

}  // namespace morvex::pictures
