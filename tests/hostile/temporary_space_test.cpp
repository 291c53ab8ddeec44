// A temporary directory that cannot take the glyphs: a full or read-only
// file system as TMPDIR ends the run with a code of its own and a message
// that says what to change, leaves well-formed documents, and leaves
// nothing behind in it. The file systems are small tmpfs mounts in a
// user and mount namespace of the test's own (unshare), so that nothing
// of the machine is touched; where such namespaces are not allowed the
// test is skipped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace morvex::testing {
namespace {

const std::string kDviDir = MORVEX_TEST_DVI_DIR;
constexpr int kNoTemporarySpace = 66;
constexpr const char* kMessage = "Can not write the generated SVG fonts in the temporary directory (";

// Whether this machine lets the test make its own mount namespace.
bool namespacesAllowed() {
    return runProcess({"unshare", "-rm", "sh", "-c", "mount -t tmpfs -o size=4k none /tmp && true"}, "/").exitCode ==
           0;
}

// A shell command line of quoted words.
std::string quoted(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& w : words) {
        line += " '";
        for (char c : w) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += "'";
    }
    return line;
}

struct Case {
    const char* name;
    // Makes mountPoint the temporary directory: a shell command.
    std::string mount;
    std::vector<std::string> args;
};

TEST(TemporarySpace, AFullOrReadOnlyTemporaryDirectoryEndsTheRunWithItsOwnCode) {
    if (!namespacesAllowed()) GTEST_SKIP() << "no user and mount namespaces here (unshare -rm)";
    // Several fonts, each with more glyphs than a page of the file system holds.
    const std::string dvi = kDviDir + "/textruns.dvi";
    const std::string fill = "dd if=/dev/zero of=$T/fill bs=1k count=64 2>/dev/null; ";
    const std::vector<Case> cases = {
        {"full, one document per page", "mount -t tmpfs -o size=8k none $T && " + fill,
         {"--paths", "--pages=all", "-o", "page-%p.svg"}},
        {"full, one document", "mount -t tmpfs -o size=8k none $T && " + fill, {"--paths", "-o", "out.svg"}},
        {"full, with the cache", "mount -t tmpfs -o size=8k none $T && " + fill,
         {"--paths", "--cache=cache", "-o", "out.svg"}},
        {"full, the default document", "mount -t tmpfs -o size=8k none $T && " + fill, {"-o", "out.svg"}},
        // Room for the job list and the directories, not for the glyphs.
        {"room for the list, not the glyphs", "mount -t tmpfs -o size=8k none $T && ", {"--paths", "-o", "out.svg"}},
        {"read-only", "mount -t tmpfs -o ro,size=64k none $T && ", {"--paths", "-o", "out.svg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir mountPoint, work;
        std::vector<std::string> args = morvexArgs(c.args);
        args.push_back(dvi);
        // The run, then what it left in the temporary directory, after a
        // line of its own.
        const std::string script = "T=" + quoted({mountPoint.path}).substr(1) + "; " + c.mount + "TMPDIR=$T" + quoted(args) +
                                   "; code=$?; echo; echo '-- left:'; ls -A $T | grep -v '^fill$'; exit $code";
        ProcessResult r = runProcess({"unshare", "-rm", "sh", "-c", script}, work.path);
        EXPECT_EQ(r.exitCode, kNoTemporarySpace) << r.out << r.err;
        EXPECT_EQ(count(r.out, kMessage), 1u) << r.out;
        const size_t left = r.out.rfind("-- left:\n");
        ASSERT_NE(left, std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(left), "-- left:\n") << "the private directories stay";
        for (const std::string& file : filesIn(work.path)) {
            if (file.size() < 4 || file.substr(file.size() - 4) != ".svg") continue;
            EXPECT_TRUE(endsWith(readFile(work.file(file)), "\n</svg>\n")) << file;
        }
    }
}

}  // namespace
}  // namespace morvex::testing
