// A run as a careless or a hostile user makes it: outputs that are the
// input or one another, lost writes, inherited descriptors, interrupts,
// names with a directory part, Ghostscript's own environment, a page that
// is not there, malformed pages, runaway traces and definitions, and bytes
// meant for a terminal or for the markup. Every case runs the built
// program under the hostile-input limits and checks what it leaves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "hostile/checked_run.h"
#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"

namespace morvex::testing {
namespace {

// Outputs that are the DVI file or one another are refused before anything
// is created or truncated.
TEST(Safety, OutputsThatAreTheInputOrOneAnotherAreRefused) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::function<void(const TempDir&)> setup;
        std::string message;
    };
    const auto none = [](const TempDir&) {};
    const Case cases[] = {
        {"fonts file is the DVI", {"-f", "in.dvi"}, none, "the SVG fonts file in.dvi and the DVI file in.dvi"},
        {"log is the DVI", {"-O", "in.dvi"}, none, "the trace log in.dvi and the DVI file in.dvi"},
        {"document is the DVI", {"-o", "in.dvi"}, none, "the SVG document in.dvi and the DVI file in.dvi"},
        {"document is the log", {"-o", "x", "-O", "x"}, none, "the SVG document x and the trace log x"},
        {"by another spelling", {"-o", "x", "-f", "./x"}, none, "the SVG fonts file ./x and the SVG document x"},
        {"through a directory", {"-o", "sub/../x.svg", "-O", "x.svg"},
         [](const TempDir& d) { mkdir(d.file("sub").c_str(), 0700); },
         "the SVG document sub/../x.svg and the trace log x.svg"},
        {"a symbolic link to the DVI", {"-o", "link.svg"},
         [](const TempDir& d) { ASSERT_EQ(symlink("in.dvi", d.file("link.svg").c_str()), 0); },
         "the SVG document link.svg and the DVI file in.dvi"},
        {"a hard link to the DVI", {"-O", "hard.log"},
         [](const TempDir& d) { ASSERT_EQ(link(d.file("in.dvi").c_str(), d.file("hard.log").c_str()), 0); },
         "the trace log hard.log and the DVI file in.dvi"},
        {"a link to a file still to be made", {"-o", "d.svg", "-O", "target.log"},
         [](const TempDir& d) { ASSERT_EQ(symlink("target.log", d.file("d.svg").c_str()), 0); },
         "the SVG document d.svg and the trace log target.log"},
        {"a linked directory", {"-o", "alias/x.svg", "-O", "x.svg"},
         [](const TempDir& d) { ASSERT_EQ(symlink(".", d.file("alias").c_str()), 0); },
         "the SVG document alias/x.svg and the trace log x.svg"},
    };
    const std::string dvi = realDvi("hello");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CheckedRun run(dvi);
        c.setup(run.dir);
        const std::set<std::string> before = run.files();
        run.go(c.args);
        EXPECT_EQ(run.r.exitCode, 40) << run.r.out;
        EXPECT_NE(run.r.out.find(c.message + " are the same file; nothing was written.\n"), std::string::npos)
            << run.r.out;
        EXPECT_EQ(run.file("in.dvi"), dvi);
        EXPECT_EQ(run.files(), before);
        EXPECT_TRUE(run.tmpEmpty());
    }
    // Devices write nothing another stream could overwrite: both outputs may
    // be /dev/null.
    CheckedRun devices(dvi);
    devices.go({"-o", "/dev/null", "-O", "/dev/null"});
    EXPECT_EQ(devices.r.exitCode, 0) << devices.r.out;
    EXPECT_EQ(devices.files(), (std::set<std::string>{"fonts.svg", "in.dvi"}));
}

// A write that fails (a full disk) is not reported as success.
TEST(Safety, LostWritesEndWithTheirOwnCode) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::vector<std::string> messages;
    };
    const std::string svgLost = "\nCan not write /dev/full: the SVG document is incomplete.\n";
    const std::string logLost = "\nCan not write /dev/full: the trace log is incomplete.\n";
    const Case cases[] = {
        {{"-o", "/dev/full"}, 51, {svgLost}},
        {{"-O", "/dev/full"}, 31, {logLost}},
        {{"-o", "/dev/full", "-O", "/dev/full"}, 51, {svgLost, logLost}},
        {{"-f", "/dev/full"}, 64, {"\nCan not write /dev/full.\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + std::to_string(c.code));
        CheckedRun run(realDvi("hello"));
        run.go(c.args);
        EXPECT_EQ(run.r.exitCode, c.code) << run.r.out;
        for (const auto& m : c.messages) EXPECT_NE(run.r.out.find(m), std::string::npos) << run.r.out;
        EXPECT_TRUE(run.tmpEmpty());
    }
}

// Ghostscript inherits no file of the run, starts with SAFER whatever the
// environment says, and is ended past its time limit.
TEST(Safety, GhostscriptGetsNoFilesNoOptionsFromTheEnvironmentAndATimeLimit) {
    FakeGs gs("exec /usr/bin/gs \"$@\"");
    CheckedRun run(hiPage());
    run.go({}, {gs.path(), "GS_OPTIONS=-dNOSAFER", "GS_LIB=" + run.dir.path});
    EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
    const std::string notes = readFile(gs.notes);
    EXPECT_NE(notes.find("args: -q -dNODISPLAY -dBATCH -dNOPAUSE -dQUIT -dSAFER "), std::string::npos) << notes;
    EXPECT_EQ(notes.find("GS_OPTIONS"), std::string::npos) << notes;
    EXPECT_EQ(notes.find("GS_LIB"), std::string::npos) << notes;
    for (const char* file : {"in.dvi", "out.svg", "out.log", "morvex.map", "fonts.svg"})
        EXPECT_EQ(notes.find(file), std::string::npos) << file << " inherited:\n" << notes;
    EXPECT_NE(run.file("fonts.svg").find("<font id=\"cmr10\""), std::string::npos);

    FakeGs slow("exec sleep 60");
    CheckedRun late(hiPage());
    late.go({"--gs-time-limit=1"}, {slow.path()});
    EXPECT_EQ(late.r.exitCode, 65) << late.r.out;
    EXPECT_NE(late.r.out.find("\nGhostscript failed on font cmr10 (time limit of 1 s).\n"), std::string::npos)
        << late.r.out;
    EXPECT_LT(late.r.seconds, 20.0);
    EXPECT_TRUE(late.tmpEmpty());
    const std::string pid = readFile(slow.pidFile);
    ASSERT_FALSE(pid.empty());
    EXPECT_NE(kill(std::stoi(pid), 0), 0) << "the stand-in still runs";

    for (const char* bad : {"--gs-time-limit=0", "--gs-time-limit=x", "--gs-time-limit=99999999", "--gs-time-limit="}) {
        CheckedRun refused(hiPage());
        refused.go({bad});
        EXPECT_EQ(refused.r.exitCode, 204) << bad;
        EXPECT_EQ(refused.files(), std::set<std::string>{"in.dvi"}) << bad;
    }
}

// An interrupt while Ghostscript runs ends Ghostscript, removes the private
// directory and ends the run as the signal would.
TEST(Safety, AnInterruptEndsGhostscriptAndLeavesNothingBehind) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        FakeGs gs("exec sleep 60");
        CheckedRun run(hiPage());
        bool sent = false;
        run.go({}, {gs.path()}, Limits(), [&](pid_t pid) {
            if (!sent && !readFile(gs.pidFile).empty()) {
                kill(pid, sig);
                sent = true;
            }
        });
        EXPECT_TRUE(sent);
        EXPECT_EQ(run.r.signal, sig) << run.r.out;
        EXPECT_LT(run.r.seconds, 20.0);
        EXPECT_TRUE(run.tmpEmpty()) << "the private directory was left";
        const std::string pid = readFile(gs.pidFile);
        ASSERT_FALSE(pid.empty());
        EXPECT_NE(kill(std::stoi(pid), 0), 0) << "Ghostscript was left running";
        EXPECT_EQ(run.files(), (std::set<std::string>{"in.dvi", "out.log", "out.svg"}));
    }
}

// A page font named with a directory part is never handed to kpathsea; a
// plain name that kpathsea cannot make leaves no missfont.log behind.
TEST(Safety, PageFontNamesWithADirectoryPartAreNotLookedUp) {
    for (const std::string name : {"/usr/share/texlive/texmf-dist/fonts/tfm/public/cm/cmr10", "../../cmr10",
                                    "a/../cmr10", "sub/../../x", "/dev/stdin", ".."}) {
        SCOPED_TRACE(name);
        CheckedRun run(onePage(DviWriter().fntdef(0, name).b.u1(171).u1('A')));
        run.go({});
        EXPECT_EQ(run.r.exitCode, 200) << run.r.out;
        EXPECT_TRUE(endsWith(run.r.out, "\nCan not find font metrics " + name +
                                            ": the name is not a plain file name.\n"))
            << run.r.out;
        EXPECT_EQ(run.file("out.log").find("Font metrics"), std::string::npos);
    }
    CheckedRun missing(onePage(DviWriter().fntdef(0, "mvxnosuchfontzz").b.u1(171).u1('A')));
    missing.go({}, {"MKTEXTFM=1"});
    EXPECT_EQ(missing.r.exitCode, 200) << missing.r.out;
    EXPECT_EQ(missing.files(), (std::set<std::string>{"in.dvi", "out.log", "out.svg"}));
}

// A page number that no page carries: the files are written as for any run,
// and the run says so and ends with its own code.
TEST(Safety, APageNumberNoPageCarriesIsReported) {
    CheckedRun run(realDvi("hello"));
    run.go({"-p", "9"});
    EXPECT_EQ(run.r.exitCode, 104) << run.r.out;
    EXPECT_TRUE(endsWith(run.r.out, "SVG Fonts:\n\nNo page carries the number 9.\n")) << run.r.out;
    EXPECT_TRUE(wellFormed(run.dir.file("out.svg")));
    EXPECT_TRUE(wellFormed(run.dir.file("fonts.svg")));
    EXPECT_TRUE(endsWith(run.file("out.log"), "\ndvipagefontfree: 0\n"));
}

// Pages that select fonts the postamble does not define, or end without
// eop, still give a well-formed document.
TEST(Safety, MalformedPagesGiveWellFormedDocuments) {
    struct Case {
        const char* what;
        std::string dvi;
    };
    DviWriter twoPages;
    twoPages.pre("two").bop(1).fntdef(0, "cmr10").b.u1(171).u1('A');
    twoPages.bop(1).b.u1(171).u1('B');  // the first page has no eop
    twoPages.eop().post().fntdef(0, "cmr10").postpost();
    const Case cases[] = {
        {"a font the postamble does not define",
         onePage(DviWriter().fntdef(5, "cmr10").b.u1(176).u1('A'), {{0, "cmr10"}})},
        {"no eop before the postamble", onePage(DviWriter().fntdef(0, "cmr10").b.u1(171).u1('A'), {{0, "cmr10"}}, false)},
        {"no eop before the next page", twoPages.str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CheckedRun run(c.dvi);
        run.go({});
        EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
        std::string why;
        EXPECT_TRUE(wellFormed(run.dir.file("out.svg"), &why)) << why << run.file("out.svg");
    }
}

// Real documents with bytes changed at random: every run whose pages ended
// wrote a well-formed document. The font map has no entries, so no
// Ghostscript runs and such runs end with 0, 63 or 104.
TEST(Safety, MutatedDocumentsStayWellFormed) {
    ConfigDir config("% no fonts\n");
    const TempDir& cfg = config.dir;
    std::mt19937 rng(20261210);
    int checked = 0;
    for (const char* name : {"hello", "multi", "textruns"}) {
        const std::string original = realDvi(name);
        for (int i = 0; i < 60; ++i) {
            std::string dvi = original;
            const int changes = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < changes; ++k) dvi[rng() % dvi.size()] = static_cast<char>(rng() % 256);
            CheckedRun run(dvi);
            run.go({}, {}, Limits(), nullptr, cfg.path);
            const int code = run.r.exitCode;
            if (code != 0 && code != 63 && code != 104) continue;
            ++checked;
            std::string why;
            EXPECT_TRUE(wellFormed(run.dir.file("out.svg"), &why)) << name << " mutation " << i << ": " << why;
        }
    }
    EXPECT_GT(checked, 40);
}

// A page of 100 kB of characters in one line: the trace stops at its bound
// with one line that says so.
TEST(Safety, TheTraceOfOneRunIsBounded) {
    Bytes cmds = DviWriter().fntdef(0, "cmr10").b.u1(171);
    cmds.repeat('a', 100000);
    const std::string dvi = onePage(cmds, {{0, "cmr10"}});
    CheckedRun run(dvi);
    run.go({});
    EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
    const std::string log = run.file("out.log");
    const uint64_t limit = 64 * static_cast<uint64_t>(dvi.size()) + (16u << 20);
    EXPECT_LE(log.size(), limit + 200);
    EXPECT_TRUE(endsWith(log, "\n#### trace cut: the log reached " + std::to_string(limit) +
                                  " bytes, its limit for this DVI file\n"));
    EXPECT_TRUE(wellFormed(run.dir.file("out.svg")));
}

// 100,000 definitions of one font: one lookup, the same trace each time,
// and memory that does not grow with them (kpathsea keeps what every lookup
// allocates: a lookup per definition took a kilobyte each).
TEST(Safety, RepeatedFontDefinitionsCostNoLookupAndNoMemory) {
    const auto run = [](int definitions) {
        DviWriter defs;
        for (int i = 0; i < definitions; ++i) defs.fntdef(0, "cmr10");
        auto r = std::make_unique<CheckedRun>(onePage(defs.b));
        r->go({"-p", "2"});
        EXPECT_EQ(r->r.exitCode, 104) << r->r.out.substr(0, 2000);
        const std::string log = r->file("out.log");
        EXPECT_EQ(count(log, "\nFont metrics cmr10: "), static_cast<size_t>(definitions));
        // Every definition traces the same sections.
        EXPECT_EQ(count(log, "WIDTHS SECTION (nw)\n"), static_cast<size_t>(definitions));
        return r->r.maxRssKiB;
    };
    const long few = run(1000);
    const long many = run(100000);
    EXPECT_LT(many - few, 32 * 1024) << few << " KiB for 1000, " << many << " KiB for 100000";
}

// The DVI comment reaches the terminal with its control bytes shown, and
// any fonts path gives a well-formed document and a valid url.
TEST(Safety, TerminalAndMarkupEscapes) {
    CheckedRun comment(onePage(Bytes(), {}, true, "\x1b[31mred\x07"));
    comment.go({"-p", "1"});
    EXPECT_NE(comment.r.out.find("'\\x1B[31mred\\x07'\n"), std::string::npos) << comment.r.out;
    EXPECT_EQ(comment.r.out.find('\x1b'), std::string::npos);

    const std::pair<std::string, std::string> names[] = {
        {"a]]>b.svg", "a%5D%5D%3Eb.svg"}, {"x)y.svg", "x%29y.svg"}, {"q'\"z.svg", "q%27%22z.svg"},
        {"sp ace.svg", "sp%20ace.svg"},   {"h#a%s.svg", "h%23a%25s.svg"}, {"fonts.svg", "fonts.svg"},
    };
    for (const auto& [name, url] : names) {
        SCOPED_TRACE(name);
        CheckedRun run(hiPage());
        run.go({"-f", name});
        EXPECT_EQ(run.r.exitCode, 0) << run.r.out;
        std::string why;
        EXPECT_TRUE(wellFormed(run.dir.file("out.svg"), &why)) << why;
        EXPECT_NE(run.file("out.svg").find("src:url(" + url + "#cmr10)}"), std::string::npos);
        EXPECT_NE(run.file(name).find("<font id=\"cmr10\""), std::string::npos);
    }
}

}  // namespace
}  // namespace morvex::testing
