#pragma once
// The files a Ghostscript run reads, named so that its permits name them
// exactly: a path one permit can name is given as it is; any other (a
// configuration or TeX directory whose path holds ':' or '*') through a
// link of a plain name in the run's private directory, which Ghostscript,
// running there, reads as the name it was permitted and follows.
#include <map>
#include <optional>
#include <string>

#include "fonts/font_files.h"

namespace morvex {

class GhostscriptInputs {
public:
    // workDir: the private directory the runs start in.
    explicit GhostscriptInputs(const std::string& workDir) : workDir(workDir) {}

    // The name that stands for path in the command and its permit; none,
    // with why set, when it can not be given.
    std::optional<std::string> name(const std::string& path, std::string& why);

    // The same for every file of a font, and of the configuration: the
    // values as the commands take them.
    std::optional<FontFiles> files(const FontFiles& files, std::string& failedPath, std::string& why);
    std::optional<ConfigFiles> config(const ConfigFiles& config, std::string& failedPath, std::string& why);

private:
    const std::string workDir;
    std::map<std::string, std::string> named;
};

// The message of a file that could not be given.
std::string inputRefusedMessage(const std::string& fontName, const std::string& path, const std::string& why);

}  // namespace morvex
