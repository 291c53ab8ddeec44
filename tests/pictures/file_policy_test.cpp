// The files a picture special may have Ghostscript read: beside the DVI
// file or below it, in a directory the user allows, or in the TeX
// installation through kpathsea; everything else refused with its reason.
#include "pictures/file_policy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/process.h"

namespace morvex::pictures {
namespace {

using testing::TempDir;
using testing::writeFile;

// The working directory changed for a scope.
struct InDirectory {
    std::string before;
    explicit InDirectory(const std::string& dir) {
        char buf[4096];
        if (getcwd(buf, sizeof buf) != nullptr) before = buf;
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~InDirectory() {
        if (!before.empty() && chdir(before.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << before;
    }
};

class FilePolicy : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"/doc", "/doc/sub", "/doc/d.eps", "/outside", "/figs", "/cwd"})
            ASSERT_EQ(mkdir((tmp.path + d).c_str(), 0755), 0);
        for (const char* f : {"/doc/doc.dvi", "/doc/fig.eps", "/doc/sub/inner.eps", "/outside/secret.eps",
                              "/figs/s.eps", "/doc/a:b.eps", "/doc/star*.eps", "/cwd/cwdonly.eps"})
            ASSERT_TRUE(writeFile(tmp.path + f, "%!PS\n"));
        ASSERT_EQ(symlink("../outside/secret.eps", (tmp.path + "/doc/link-out.eps").c_str()), 0);
        ASSERT_EQ(symlink("sub/inner.eps", (tmp.path + "/doc/link-in.eps").c_str()), 0);
        ASSERT_EQ(symlink("../outside", (tmp.path + "/doc/dir-out").c_str()), 0);
        root = realpath(tmp.path.c_str(), nullptr);
    }
    void TearDown() override { free(root); }

    FileAccess access(const std::vector<std::string>& extra = {}) const {
        return FileAccess::forDvi(tmp.path + "/doc/doc.dvi", extra);
    }
    std::string real(const std::string& rel) const { return std::string(root) + rel; }

    TempDir tmp;
    char* root = nullptr;
};

TEST_F(FilePolicy, NamesResolvedOrRefused) {
    struct Case {
        std::string name;
        std::string path;     // expected, or empty when refused
        std::string refusal;  // a part of the reason
    } cases[] = {
        {"fig.eps", "/doc/fig.eps", ""},
        {"./fig.eps", "/doc/fig.eps", ""},
        {"sub/inner.eps", "/doc/sub/inner.eps", ""},
        {"sub/../fig.eps", "/doc/fig.eps", ""},
        {"sub//inner.eps", "/doc/sub/inner.eps", ""},
        {"link-in.eps", "/doc/sub/inner.eps", ""},
        {real("/doc/fig.eps"), "/doc/fig.eps", ""},
        {"link-out.eps", "", "a link leading out"},
        {"dir-out/secret.eps", "", "a link leading out"},
        {"../outside/secret.eps", "", "leading out of the DVI file's directory"},
        {"sub/../../outside/secret.eps", "", "leading out of the DVI file's directory"},
        {"../figs/s.eps", "", "leading out of the DVI file's directory"},
        {"/etc/passwd", "", "an absolute path outside"},
        {real("/outside/secret.eps"), "", "an absolute path outside"},
        {"d.eps", "", "not a regular file"},
        {"a:b.eps", "", "cannot be given"},
        {"star*.eps", "", "cannot be given"},
        {"missing.eps", "", "not found"},
        {"", "", "an empty name"},
        {std::string("fig.eps\0x", 9), "", "NUL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResolvedFile r = resolvePictureFile(access(), c.name, FileUse::Figure);
        if (c.path.empty()) {
            EXPECT_FALSE(r.ok());
            EXPECT_NE(r.refusal.find(c.refusal), std::string::npos) << r.refusal;
        } else {
            EXPECT_TRUE(r.ok()) << r.refusal;
            EXPECT_EQ(r.path, real(c.path));
        }
    }
}

// A directory the user names may be read, by a name leading there too.
TEST_F(FilePolicy, FurtherDirectories) {
    const FileAccess allowed = access({tmp.path + "/figs"});
    for (const std::string& name : std::vector<std::string>{"../figs/s.eps", "s.eps", real("/figs/s.eps")}) {
        SCOPED_TRACE(name);
        ResolvedFile r = resolvePictureFile(allowed, name, FileUse::Figure);
        EXPECT_TRUE(r.ok()) << r.refusal;
        EXPECT_EQ(r.path, real("/figs/s.eps"));
    }
    EXPECT_FALSE(resolvePictureFile(allowed, "../outside/secret.eps", FileUse::Figure).ok());
}

// kpathsea finds the prologues of the installation; what it finds in the
// working directory, or through "..", is not read.
TEST_F(FilePolicy, Kpathsea) {
    ResolvedFile texPro = resolvePictureFile(access(), "tex.pro", FileUse::Header);
    ASSERT_TRUE(texPro.ok()) << texPro.refusal;
    EXPECT_EQ(texPro.path, findPrologue("tex.pro"));
    EXPECT_FALSE(resolvePictureFile(access(), "../tex.pro", FileUse::Header).ok());
    FileAccess none = access();
    none.searchInstallation = false;
    EXPECT_FALSE(resolvePictureFile(none, "tex.pro", FileUse::Header).ok());

    InDirectory cwd(tmp.path + "/cwd");
    ResolvedFile inCwd = resolvePictureFile(access(), "cwdonly.eps", FileUse::Figure);
    EXPECT_FALSE(inCwd.ok());
    EXPECT_NE(inCwd.refusal.find("outside the TeX installation"), std::string::npos) << inCwd.refusal;
}

TEST(FigureSection, PlainAndDosEps) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("plain.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n"));
    std::string dos = "\xc5\xd0\xd3\xc6";
    dos += std::string("\x20\x00\x00\x00\x05\x00\x00\x00", 8) + std::string(20, '\0') + "%!PS\nTIFF";
    ASSERT_TRUE(writeFile(dir.file("dos.eps"), dos));
    std::string bad = "\xc5\xd0\xd3\xc6" + std::string("\x20\x00\x00\x00\xff\x00\x00\x00", 8) + std::string(30, '\0');
    ASSERT_TRUE(writeFile(dir.file("bad.eps"), bad));
    std::optional<FigureSection> p = figureSection(dir.file("plain.eps"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->offset, 0u);
    EXPECT_EQ(p->length, 24u);
    std::optional<FigureSection> d = figureSection(dir.file("dos.eps"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->offset, 32u);
    EXPECT_EQ(d->length, 5u);
    EXPECT_FALSE(figureSection(dir.file("bad.eps")));
    EXPECT_FALSE(figureSection(dir.file("none.eps")));
}

}  // namespace
}  // namespace morvex::pictures
