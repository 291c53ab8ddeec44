#pragma once
// The files a run writes must be neither its DVI file nor one another:
// opening one for writing would truncate the other.
#include <optional>
#include <string>
#include <vector>

namespace morvex {

struct NamedFile {
    std::string role;  // "DVI file", "SVG document", ...
    std::string path;
};

struct FileClash {
    NamedFile first, second;
};

// The first pair of files that are the same file, the first of files being
// the input and the others outputs: by their names made
// absolute, by device and inode where the file exists (a symbolic or hard
// link counts), and for a file still to be made by the directory it will
// be made in. Outputs that exist but are not regular files (/dev/null, a
// terminal) write nothing that another stream could overwrite and are
// left out.
std::optional<FileClash> findClash(const std::vector<NamedFile>& files);

}  // namespace morvex
