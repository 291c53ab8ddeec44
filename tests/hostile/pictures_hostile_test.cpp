// Hostile picture specials in --paths runs: specials that read the job,
// end Ghostscript, close their file, ask for more memory than a run has or hold any byte;
// the page around them is drawn, the document well-formed, nothing left
// behind; an interrupt during the picture run ends it and leaves nothing.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "hostile/checked_run.h"
#include "svg/picture_layer.h"

namespace morvex::testing {
namespace {

constexpr int kExitPictures = 70;

// "Hi" between a red square and a blue one, with special between them.
std::string pageAround(const std::string& special) {
    const std::string red = "\" 1 0 0 setrgbcolor 0 0 10 10 rectfill";
    const std::string blue = "\" 0 0 1 setrgbcolor 20 0 10 10 rectfill";
    Bytes cmds = DviWriter().fntdef(0, "cmr10").b;
    cmds.u1(239).u1(static_cast<uint8_t>(red.size())).text(red);
    cmds.u1(242).u4(static_cast<uint32_t>(special.size())).text(special);
    cmds.u1(171).u1('H').u1('i');
    cmds.u1(239).u1(static_cast<uint8_t>(blue.size())).text(blue);
    return onePage(cmds, {{0, "cmr10"}});
}

TEST(HostilePictures, ThePageAroundAHostileSpecialIsDrawn) {
    std::string everyByte = "\" ";
    for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
    const std::vector<std::string> specials = {
        "\" (%stdin) (r) file 1000 string readstring pop pop",
        "ps: currentfile 1000 string readstring pop pop",
        "ps: currentfile closefile",
        "ps: quit",
        "\" systemdict /showpage {} put userdict /fill {} put",
        "\" 200000000 array",
        "\" (/etc/passwd) (r) file 100 string readstring pop ==",
        "\" ) ] } >> (",
        "ps::[begin] gsave 0 0 moveto",
        everyByte,
    };
    for (const std::string& special : specials) {
        SCOPED_TRACE(morvex::specialExcerpt(special));
        CheckedRun run(pageAround(special));
        run.go({"--paths", "--gs-time-limit=5"});
        EXPECT_TRUE(run.r.exitCode == 0 || run.r.exitCode == kExitPictures) << run.r.exitCode << run.r.out;
        const std::string svg = run.file("out.svg");
        std::string why;
        EXPECT_TRUE(wellFormed(run.dir.file("out.svg"), &why)) << why;
        EXPECT_NE(svg.find("fill=\"#ff0000\""), std::string::npos) << run.r.out;
        EXPECT_NE(svg.find("fill=\"#0000ff\""), std::string::npos) << run.r.out;
        EXPECT_NE(svg.find("<use "), std::string::npos);
        EXPECT_EQ(svg.find("root:"), std::string::npos);
        EXPECT_TRUE(run.tmpEmpty());
        EXPECT_EQ(run.files(), (std::set<std::string>{"in.dvi", "out.log", "out.svg"}));
    }
}

// An interrupt while a special runs without end ends Ghostscript, removes
// the private directory and ends the run as the signal would.
TEST(HostilePictures, AnInterruptDuringThePicturesLeavesNothingBehind) {
    CheckedRun run(pageAround("\" { 1 pop } loop"));
    const auto start = std::chrono::steady_clock::now();
    bool sent = false;
    run.go({"--paths"}, {}, Limits(), [&](pid_t pid) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!sent && seconds > 1.0) {
            kill(pid, SIGTERM);
            sent = true;
        }
    });
    EXPECT_TRUE(sent);
    EXPECT_EQ(run.r.signal, SIGTERM) << run.r.out;
    EXPECT_LT(run.r.seconds, 20.0);
    EXPECT_TRUE(run.tmpEmpty()) << "a private directory was left";
}

}  // namespace
}  // namespace morvex::testing
