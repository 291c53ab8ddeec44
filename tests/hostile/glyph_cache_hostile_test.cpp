// The glyph cache as an attack surface, through the built program: entries
// planted with a right header, length and checksum but markup in their
// glyphs, whatever stands at an entry's name (a pipe, links, a stranger's
// file), cache directories others may reach, temporary entries left by a
// killed run, a font that makes its batch fail, and warm runs that trace
// what runs without the cache trace.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "base/fnv.h"
#include "hostile/checked_run.h"
#include "hostile/font_fixtures.h"

namespace morvex::testing {
namespace {

constexpr uid_t kStranger = 65534;  // nobody

// A cache entry split where the checksum covers it, written again with a
// body of the test's own under a right length and checksum.
struct Entry {
    std::string head;  // the format line and the key line
    std::string body;  // the generated font

    static Entry parse(const std::string& text) {
        const size_t key = text.find('\n');
        const size_t sizeLine = text.find('\n', key + 1);
        const size_t bodyStart = text.find('\n', sizeLine + 1) + 1;
        return {text.substr(0, sizeLine + 1), text.substr(bodyStart)};
    }
    std::string withBody(const std::string& planted) const {
        char sum[17];
        std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(fnv1a64(planted)));
        return head + std::to_string(planted.size()) + " " + sum + "\n" + planted;
    }
};

// A cache filled by one run of dvi, with the path of its one entry.
struct FilledCache {
    TempDir dir;
    std::string path, option, entry;

    explicit FilledCache(const std::string& dvi, const std::vector<std::string>& env = {},
                         const std::string& configDir = kConfigDir) {
        path = dir.file("cache");
        option = "--cache=" + path;
        CheckedRun cold(dvi);
        cold.go({option}, env, Limits(), nullptr, configDir);
        EXPECT_EQ(cold.r.exitCode, 0) << cold.r.out;
        const std::set<std::string> entries = filesIn(path);
        EXPECT_EQ(entries.size(), 1u);
        if (!entries.empty()) entry = path + "/" + *entries.begin();
    }
};

// The line of a glyph, by its name, changed by edit.
std::string editGlyph(const std::string& body, const std::string& glyphName,
                      const std::function<std::string(std::string)>& edit) {
    const size_t at = body.find("glyph-name=\"" + glyphName + "\"");
    const size_t start = body.rfind('\n', at) + 1;
    const size_t end = body.find('\n', at);
    return body.substr(0, start) + edit(body.substr(start, end - start)) + body.substr(end);
}

std::string replaced(std::string line, const std::string& from, const std::string& to) {
    const size_t at = line.find(from);
    return at == std::string::npos ? line : line.replace(at, from.size(), to);
}

void expectNoPlantedMarkup(const std::string& output, const std::string& what) {
    for (const char* planted : {"<script", "alert", "onload", "]]>"})
        EXPECT_EQ(output.find(planted), std::string::npos) << what << ": " << planted;
    for (unsigned char b : output) ASSERT_TRUE(b >= 0x20 || b == '\n' || b == '\t') << what << ": byte " << int{b};
}

// An entry whose header, length and checksum are right but whose glyphs
// hold markup is read into glyph records, refused, and made anew: the
// outputs are those of a run without the cache. Text that is only text
// reaches the fonts file escaped.
TEST(HostileCache, PlantedMarkupNeverReachesTheOutputs) {
    const std::string dvi = hiPage();
    CheckedRun plain(dvi), plainPaths(dvi);
    plain.go({});
    plainPaths.go({"--paths"});
    ASSERT_EQ(plain.r.exitCode, 0) << plain.r.out;
    FilledCache cache(dvi);
    const Entry clean = Entry::parse(readFile(cache.entry));
    ASSERT_NE(clean.body.find("glyph-name=\"H\""), std::string::npos) << clean.body.substr(0, 500);

    struct Case {
        const char* what;
        std::function<std::string(std::string)> plant;  // the body, planted
    };
    const auto glyphH = [](std::function<std::string(std::string)> edit) {
        return [edit](std::string body) { return editGlyph(body, "H", edit); };
    };
    const Case cases[] = {
        {"an element after a glyph", glyphH([](std::string l) { return l + "<script>alert(1)</script>"; })},
        {"a quote that closes the attribute",
         glyphH([](std::string l) { return replaced(l, "unicode=\"H\"", "unicode=\"H\" onload=\"alert(1)\""); })},
        {"the end of a CDATA section in an outline",
         glyphH([](std::string l) { return replaced(l, " d=\"", " d=\"]]>"); })},
        {"a control byte in the text",
         glyphH([](std::string l) { return replaced(l, "unicode=\"H", "unicode=\"H\x01"); })},
        {"an element between two glyphs", glyphH([](std::string l) { return l + "\n<script>alert(1)</script>"; })},
        {"a character reference",
         glyphH([](std::string l) { return replaced(l, "unicode=\"H", "unicode=\"&#60;script"); })},
        {"another font's name",
         [](std::string body) { return replaced(body, "<font id=\"cmr10\"", "<font id=\"alert\""); }},
    };
    for (const Case& c : cases) {
        for (const std::vector<std::string>& mode : {std::vector<std::string>{}, std::vector<std::string>{"--paths"}}) {
            const std::string what = std::string(c.what) + (mode.empty() ? "" : ", --paths");
            SCOPED_TRACE(what);
            const std::string planted = c.plant(clean.body);
            ASSERT_NE(planted, clean.body);
            ASSERT_TRUE(writeFile(cache.entry, clean.withBody(planted)));
            CheckedRun run(dvi);
            std::vector<std::string> args = mode;
            args.push_back(cache.option);
            run.go(args);
            EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
            EXPECT_NE(run.file("out.log").find("cache: glyphs of cmr10 from Ghostscript, kept as"), std::string::npos);
            const std::string document = mode.empty() ? "fonts.svg" : "out.svg";
            const std::string output = run.file(document);
            EXPECT_EQ(output, mode.empty() ? plain.file("fonts.svg") : plainPaths.file("out.svg"));
            expectNoPlantedMarkup(output, document);
            std::string why;
            EXPECT_TRUE(wellFormed(run.dir.file(document), &why)) << why;
            EXPECT_EQ(readFile(cache.entry), clean.withBody(clean.body)) << "the entry was not made anew";
        }
    }

    // Markup characters as text, escaped the way the program escapes them:
    // the entry is used, and they reach the fonts file as text.
    ASSERT_TRUE(writeFile(cache.entry, clean.withBody(editGlyph(clean.body, "H", [](std::string l) {
        return replaced(l, "unicode=\"H\"", "unicode=\"&lt;script&gt;&amp;&quot;\"");
    }))));
    CheckedRun escaped(dvi);
    escaped.go({cache.option});
    EXPECT_EQ(escaped.r.exitCode, 0) << escaped.r.out;
    const std::string fonts = escaped.file("fonts.svg");
    EXPECT_NE(fonts.find("unicode=\"&lt;script&gt;&amp;&quot;\""), std::string::npos) << fonts.substr(0, 800);
    EXPECT_EQ(fonts.find("<script"), std::string::npos);
    EXPECT_TRUE(wellFormed(escaped.dir.file("fonts.svg")));
}

// Whatever stands at an entry's name and is not a regular file of the
// user's is not read (a pipe is not waited on) and is replaced by a new
// entry; a link is replaced, never written through.
TEST(HostileCache, WhatStandsAtAnEntrysNameIsNotRead) {
    const std::string dvi = hiPage();
    CheckedRun plain(dvi);
    plain.go({});
    struct Case {
        const char* what;
        std::function<void(const std::string& entry, const std::string& clean, const TempDir& elsewhere)> plant;
        bool asRoot;  // needs root to give the file away
    };
    const Case cases[] = {
        {"a named pipe",
         [](const std::string& e, const std::string&, const TempDir&) { ASSERT_EQ(mkfifo(e.c_str(), 0600), 0); },
         false},
        {"a link to a whole entry",
         [](const std::string& e, const std::string& clean, const TempDir& d) {
             writeFile(d.file("entry"), clean);
             ASSERT_EQ(symlink(d.file("entry").c_str(), e.c_str()), 0);
         },
         false},
        {"a link to a named pipe",
         [](const std::string& e, const std::string&, const TempDir& d) {
             ASSERT_EQ(mkfifo(d.file("pipe").c_str(), 0600), 0);
             ASSERT_EQ(symlink(d.file("pipe").c_str(), e.c_str()), 0);
         },
         false},
        {"another user's whole entry",
         [](const std::string& e, const std::string& clean, const TempDir&) {
             writeFile(e, clean);
             ASSERT_EQ(chown(e.c_str(), kStranger, kStranger), 0);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.asRoot && geteuid() != 0) continue;  // only root can give a file away
        FilledCache cache(dvi);
        const std::string clean = readFile(cache.entry);
        ASSERT_EQ(unlink(cache.entry.c_str()), 0);
        TempDir elsewhere;
        c.plant(cache.entry, clean, elsewhere);
        const std::set<std::string> outside = filesIn(elsewhere.path);
        CheckedRun run(dvi);
        Limits limits;
        limits.wallSeconds = 30;
        run.go({cache.option}, {}, limits);
        EXPECT_FALSE(run.r.timedOut) << "the run waited";
        EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
        EXPECT_NE(run.file("out.log").find("cache: glyphs of cmr10 from Ghostscript, kept as"), std::string::npos);
        EXPECT_EQ(run.file("fonts.svg"), plain.file("fonts.svg"));
        struct stat st;
        ASSERT_EQ(lstat(cache.entry.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_uid, geteuid());
        EXPECT_EQ(readFile(cache.entry), clean);
        EXPECT_EQ(filesIn(elsewhere.path), outside);
        if (outside.count("entry") != 0) {
            EXPECT_EQ(readFile(elsewhere.file("entry")), clean);
        }
    }
}

// The cache directory is opened once, without following a link at its
// end, and refused when others could put entries into it or swap it: a
// parent others may write into is refused unless it is sticky. A refused
// cache is said once, nothing is made in it, and the run goes on.
TEST(HostileCache, TheCacheDirectoryAndItsParent) {
    const std::string dvi = hiPage();
    CheckedRun plain(dvi);
    plain.go({});
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> setup;  // the cache is base/parent/cache
        std::string refusal;                          // empty: the cache is used
        bool asRoot;
    };
    const auto parent = [](mode_t mode, uid_t owner) {
        return [mode, owner](const TempDir& d) {
            mkdir(d.file("parent").c_str(), 0700);
            ASSERT_EQ(chmod(d.file("parent").c_str(), mode), 0);
            if (owner != geteuid()) {
                ASSERT_EQ(chown(d.file("parent").c_str(), owner, owner), 0);
            }
        };
    };
    const auto cache = [](mode_t mode, uid_t owner) {
        return [mode, owner](const TempDir& d) {
            mkdir(d.file("parent").c_str(), 0700);
            mkdir(d.file("parent/cache").c_str(), 0700);
            ASSERT_EQ(chmod(d.file("parent/cache").c_str(), mode), 0);
            if (owner != geteuid()) {
                ASSERT_EQ(chown(d.file("parent/cache").c_str(), owner, owner), 0);
            }
        };
    };
    const uid_t me = geteuid();
    const std::string kNotSticky = "others may write into the directory above it, which is not sticky";
    const Case cases[] = {
        {"a parent others may write into", parent(0777, me), kNotSticky, false},
        {"a parent its group may write into", parent(0770, me), kNotSticky, false},
        {"a sticky parent others may write into", parent(01777, me), "", false},
        {"a private parent", parent(0700, me), "", false},
        {"a cache others may write into", cache(0777, me), "others may write into it", false},
        {"a link to a private directory",
         [](const TempDir& d) {
             mkdir(d.file("parent").c_str(), 0700);
             mkdir(d.file("real").c_str(), 0700);
             ASSERT_EQ(symlink(d.file("real").c_str(), d.file("parent/cache").c_str()), 0);
         },
         "it is a symbolic link; name the directory it points to", false},
        {"a parent of another user's", parent(0755, kStranger), kNotSticky, true},
        {"another user's sticky parent", parent(01777, kStranger), kNotSticky, true},
        {"another user's cache", cache(0700, kStranger), "it belongs to another user", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.asRoot && me != 0) continue;
        TempDir base;
        c.setup(base);
        CheckedRun run(dvi);
        run.go({"--cache=" + base.file("parent/cache")});
        EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
        EXPECT_EQ(run.file("fonts.svg"), plain.file("fonts.svg"));
        if (c.refusal.empty()) {
            EXPECT_EQ(run.r.out.find("The glyph cache "), std::string::npos) << run.r.out;
            EXPECT_EQ(filesIn(base.file("parent/cache")).size(), 1u);
            continue;
        }
        EXPECT_EQ(count(run.r.out, "\nThe glyph cache " + base.file("parent/cache") + " is not used (" + c.refusal +
                                       "); the run goes on without it.\n"),
                  1u)
            << run.r.out;
        EXPECT_TRUE(filesIn(base.file("parent/cache")).empty());
        EXPECT_TRUE(filesIn(base.file("real")).empty());
    }
}

// Temporary entries of a run killed while it wrote them are removed when
// a later run opens the cache, once they are a few minutes old; a run
// side by side may be writing a fresh one.
TEST(HostileCache, StaleTemporaryEntriesAreRemoved) {
    const std::string dvi = hiPage();
    FilledCache cache(dvi);
    const auto plant = [&](const std::string& name, time_t age, bool directory) {
        const std::string path = cache.path + "/" + name;
        if (directory)
            mkdir(path.c_str(), 0700);
        else
            writeFile(path, "morvex glyph cache 1\ncut");
        const timespec when[2] = {{std::time(nullptr) - age, 0}, {std::time(nullptr) - age, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), when, AT_SYMLINK_NOFOLLOW), 0);
    };
    plant(".entry-killed1", 3600, false);
    plant(".entry-killed2", 24 * 3600, false);
    plant(".entry-writing", 5, false);
    plant(".entry-adirectory", 3600, true);
    plant("notes.txt", 3600, false);
    CheckedRun run(dvi);
    run.go({cache.option});
    EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
    std::set<std::string> expected = {".entry-writing", ".entry-adirectory", "notes.txt",
                                      cache.entry.substr(cache.path.size() + 1)};
    EXPECT_EQ(filesIn(cache.path), expected);
}

// A font whose program never ends fails its batch: the fonts the batch did
// not write are made one run each, so only that font fails; the good ones
// are kept, and the next run takes them from the cache.
TEST(HostileCache, OneBadFontFailsAloneAndTheGoodOnesAreKept) {
    HostileFonts fonts;
    // The bad font between the good ones, last in the fonts file: the good
    // fonts are written before it.
    const std::string dvi = fontsPage({"cmr10", "cmbx10", "mvxloop"});
    TempDir cacheDir;
    const std::string option = "--cache=" + cacheDir.file("cache");
    Limits limits;
    limits.wallSeconds = 60;
    for (const char* pass : {"cold", "warm"}) {
        SCOPED_TRACE(pass);
        CheckedRun run(dvi);
        run.go({"--gs-time-limit=2", option}, fonts.env(), limits, nullptr, fonts.config.path());
        EXPECT_FALSE(run.r.timedOut);
        EXPECT_LT(run.r.seconds, 30.0);
        EXPECT_EQ(run.r.exitCode, 65) << run.r.out;
        EXPECT_EQ(count(run.r.out, "\nGhostscript failed on font "), 1u) << run.r.out;
        EXPECT_NE(run.r.out.find("\nGhostscript failed on font mvxloop (time limit of 2 s).\n"), std::string::npos)
            << run.r.out;
        const std::string log = run.file("out.log");
        for (const char* good : {"cmr10", "cmbx10"}) {
            const std::regex kept(std::string("cache: glyphs of ") + good + " from ([0-9a-f]{16}\\.glyphs)\n");
            const std::regex made(std::string("cache: glyphs of ") + good +
                                  " from Ghostscript, kept as ([0-9a-f]{16}\\.glyphs)\n");
            std::smatch m;
            EXPECT_TRUE(std::regex_search(log, m, std::string(pass) == "cold" ? made : kept)) << good << "\n" << log;
            if (!m.empty()) {
                EXPECT_EQ(filesIn(cacheDir.file("cache")).count(m[1]), 1u) << good;
            }
            EXPECT_NE(run.file("fonts.svg").find("<font id=\"" + std::string(good) + "\""), std::string::npos) << good;
        }
        EXPECT_EQ(filesIn(cacheDir.file("cache")).size(), 2u);
        EXPECT_TRUE(run.tmpEmpty());
    }
}

// The lines of a trace but those that say where the glyphs came from (the
// Ghostscript commands, the cache's lines) and the empty ones.
std::vector<std::string> traceOfGlyphs(const std::string& log) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < log.size();) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(at, end - at);
        if (!line.empty() && line.rfind("gs ", 0) != 0 && line.rfind("cache: ", 0) != 0) lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

// A re-encoded font that lacks glyphs its encoding names: runs with the
// cache, cold and warm, trace the same notdef lines as runs without it,
// and write the same files.
TEST(HostileCache, WarmAndColdTracesEqualTheTraceWithoutTheCache) {
    HostileFonts fonts;
    const std::string dvi = fontsPage({"mvxnotdef", "cmr10"});
    TempDir cacheDir;
    const auto run = [&](std::vector<std::string> args) {
        auto r = std::make_unique<CheckedRun>(dvi);
        r->go(args, fonts.env(), Limits(), nullptr, fonts.config.path());
        EXPECT_EQ(r->r.exitCode, 0) << r->r.out;
        return r;
    };
    const auto plain = run({});
    const std::string trace = plain->file("out.log");
    EXPECT_EQ(count(trace, "\nnotdef: code "), 2u) << trace;
    EXPECT_NE(trace.find("\nnotdef: code 65 names /Euro, which the font does not have\n"), std::string::npos);
    for (const char* pass : {"cold", "warm", "warm again"}) {
        SCOPED_TRACE(pass);
        const auto cached = run({"--cache=" + cacheDir.file("cache")});
        EXPECT_EQ(traceOfGlyphs(cached->file("out.log")), traceOfGlyphs(trace));
        EXPECT_EQ(cached->file("fonts.svg"), plain->file("fonts.svg"));
        EXPECT_EQ(cached->file("out.svg"), plain->file("out.svg"));
    }
}

}  // namespace
}  // namespace morvex::testing
