// The files a Ghostscript run reads, named so that one permit names each
// exactly: a path a permit can name is kept, any other is given through a
// link in the run's directory, and Ghostscript then reads that file and
// nothing beside it.
#include "fonts/ghostscript_inputs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fonts/ghostscript_source.h"
#include "support/bytes.h"
#include "support/process.h"

namespace morvex {
namespace {

using testing::OutCapture;
using testing::readFile;
using testing::runProcess;
using testing::TempDir;
using testing::writeFile;

std::string linkTarget(const std::string& link) {
    char buf[4096];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    return n < 0 ? "" : std::string(buf, static_cast<size_t>(n));
}

TEST(GhostscriptInputs, PathsNoPermitCanNameGoThroughLinks) {
    TempDir work, files;
    GhostscriptInputs inputs(work.path);
    std::string why;
    EXPECT_EQ(inputs.name("/usr/share/a b/f.pfb", why), "/usr/share/a b/f.pfb");
    for (const std::string& path : {files.path + "/a:b/f.pfb", files.path + "/c*d/f.enc", files.path + "/e?f\\g",
                                   files.path + "/h//i", files.path + "/j/../k"}) {
        SCOPED_TRACE(path);
        const std::optional<std::string> name = inputs.name(path, why);
        ASSERT_TRUE(name) << why;
        EXPECT_EQ(name->rfind("in/", 0), 0u) << *name;
        EXPECT_EQ(linkTarget(work.file(*name)), path);
        EXPECT_EQ(inputs.name(path, why), name) << "the same path, the same link";
        // Another source of the run finds the link made.
        GhostscriptInputs other(work.path);
        EXPECT_EQ(other.name(path, why), name) << why;
    }
    EXPECT_FALSE(inputs.name("relative/f.pfb", why));
    EXPECT_EQ(why, "not an absolute path");

    // A link that is in the way, to another file, is not taken for this one.
    const std::string path = files.path + "/x:y";
    TempDir clash;
    GhostscriptInputs first(clash.path);
    const std::optional<std::string> name = first.name(path, why);
    ASSERT_TRUE(name);
    ASSERT_EQ(unlink(clash.file(*name).c_str()), 0);
    ASSERT_EQ(symlink("/etc/passwd", clash.file(*name).c_str()), 0);
    GhostscriptInputs second(clash.path);
    EXPECT_FALSE(second.name(path, why));
    EXPECT_FALSE(why.empty());
}

// Ghostscript, run in the directory, reads the file through its link and
// neither the file's own path nor a file beside it, nor the parts a ':'
// would have split the path into.
TEST(GhostscriptInputs, GhostscriptReadsOnlyThePermittedFile) {
    TempDir work, files;
    mkdir(files.file("a:b").c_str(), 0700);
    writeFile(files.file("a:b/wanted"), "wanted\n");
    writeFile(files.file("a:b/beside"), "beside\n");
    writeFile(files.file("a"), "split\n");
    GhostscriptInputs inputs(work.path);
    std::string why;
    const std::optional<std::string> name = inputs.name(files.file("a:b/wanted"), why);
    ASSERT_TRUE(name) << why;
    const auto reads = [&](const std::string& file) {
        const std::string program = "(" + file + ") (r) { file } stopped { pop pop (denied) } "
                                    "{ dup 64 string readline pop exch closefile } ifelse =";
        auto r = runProcess({"env", "TMPDIR=" + work.file("no-gs-tmp"), "gs", "-q", "-dNODISPLAY", "-dBATCH",
                             "-dNOPAUSE", "-dSAFER", "--permit-file-read=" + *name, "-c", program},
                            work.path);
        return r.out.substr(0, r.out.find('\n'));
    };
    EXPECT_EQ(reads(*name), "wanted");
    EXPECT_EQ(reads(files.file("a:b/wanted")), "denied");
    EXPECT_EQ(reads(files.file("a:b/beside")), "denied");
    EXPECT_EQ(reads(files.file("a")), "denied");
}

struct Recorded final : GlyphReport {
    std::vector<std::string> said;
    std::vector<size_t> failures;
    void lookupsThrough(size_t request) override { said.push_back("lookups " + std::to_string(request)); }
    void allLookups() override { said.push_back("all lookups"); }
    void say(std::string_view text) override {
        if (!text.empty()) said.push_back(std::string(text));
    }
    void sayError(std::string_view) override {}
    void trace(std::string_view) override {}
    void made(size_t, GeneratedFont) override {}
    void failed(size_t request) override { failures.push_back(request); }
    void cannotWrite(std::string_view where) override { unwritable = where; }
    std::string unwritable;
};

// A font whose files can not be given is reported in its turn among the
// fonts that run: its lookup messages first, then why.
TEST(GhostscriptInputs, AFontWhoseFilesCanNotBeGivenFailsInItsTurn) {
    const ConfigFiles config{"/cfg/tarnevik.ps", "/cfg/tarnevik.enc", "TeXUTF8Encoding"};
    // The private directory is missing: no link can be made there, and
    // Ghostscript can not start in it.
    GhostscriptSource source(config, GhostscriptLimits{2, 5, 0}, "/nonexistent/morvex-work");
    OutCapture log;
    const auto request = [](const std::string& name, const std::string& type1) {
        GlyphRequest r;
        r.name = name;
        r.entry.fntDvi = name;
        r.files.type1Path = type1;
        r.codes.set(65);
        return r;
    };
    source.add(request("fa", "/t1:x/fa.pfb"), log.f);
    source.add(request("fb", "/t1/fb.pfb"), log.f);
    source.add(request("fc", "/t1*/fc.pfb"), log.f);
    Recorded report;
    EXPECT_EQ(source.make(report), 0);
    ASSERT_EQ(report.said.size(), 6u);
    EXPECT_EQ(report.said[0], "lookups 0");
    EXPECT_EQ(report.said[1].rfind("\nCan not give Ghostscript the file /t1:x/fa.pfb for font fa (", 0), 0u)
        << report.said[1];
    EXPECT_EQ(report.said[2], "lookups 1");
    EXPECT_EQ(report.said[3], "\nCan not run Ghostscript for font fb: No such file or directory.\n");
    EXPECT_EQ(report.said[4], "lookups 2");
    EXPECT_EQ(report.said[5].rfind("\nCan not give Ghostscript the file /t1*/fc.pfb for font fc (", 0), 0u)
        << report.said[5];
    EXPECT_EQ(report.failures, (std::vector<size_t>{0, 1, 2}));
    // Only the font that could run has its command traced.
    EXPECT_EQ(testing::count(log.str(), "\ngs "), 1u) << log.str();
}

}  // namespace
}  // namespace morvex
