#pragma once
// The private directories of a run, and paths as a program running in one
// of them must see them.
#include <string>

namespace morvex {

// A private directory under the temporary directory (TMPDIR, else /tmp);
// it goes, with whatever it holds, with its holder.
class WorkDir {
public:
    WorkDir() = default;
    ~WorkDir();
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;

    // Makes the directory; false when it cannot, with why in error.
    bool create();

    std::string path;
    std::string error;  // "BASE: REASON" when create failed
};

// A path made absolute against the current directory, since the programs
// run elsewhere; as given when it cannot be.
std::string absolutePath(const std::string& path);

}  // namespace morvex
