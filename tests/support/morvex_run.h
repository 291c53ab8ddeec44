#pragma once
// Runs the built program, for every test that does: the binary and the
// build's configuration directory as the build names them, the command
// line of a run, and a configuration directory of a test's own.
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/process.h"

namespace morvex::testing {

inline const std::string kMorvexBinary = MORVEX_BINARY;
inline const std::string kBuildConfigDir = MORVEX_TEST_CONFIG_DIR;

// The words of a run: the binary, -c configDir, then args.
inline std::vector<std::string> morvexArgs(const std::vector<std::string>& args,
                                           const std::string& configDir = kBuildConfigDir) {
    std::vector<std::string> argv = {kMorvexBinary, "-c", configDir};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

// A run in dir, with extraEnv added to the environment.
inline ProcessResult runMorvex(const std::string& dir, const std::vector<std::string>& args,
                               const std::vector<std::string>& extraEnv = {},
                               const std::string& configDir = kBuildConfigDir) {
    return runProcess(morvexArgs(args, configDir), dir, extraEnv);
}

// A configuration directory with the build's glyph program and encoding
// and a font map of the test's own; removed with its holder.
struct ConfigDir {
    TempDir dir;
    explicit ConfigDir(const std::string& map) {
        writeFile(dir.file("morvex.map"), map);
        for (const char* f : {"tarnevik.ps", "tarnevik.enc"})
            writeFile(dir.file(f), readFile(kBuildConfigDir + "/" + f));
    }
    const std::string& path() const { return dir.path; }
};

}  // namespace morvex::testing
