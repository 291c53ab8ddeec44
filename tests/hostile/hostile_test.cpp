// Hostile inputs through the built program: files cut short, lengths at
// their maxima, broken page chains, runaway stacks, malformed metrics and
// font maps. Every run must end with its message and exit code, within
// bounded time and memory, and leave nothing but its outputs behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "hostile/bounded_run.h"
#include "support/bytes.h"
#include "support/morvex_run.h"
#include "support/process.h"
#include "tfm/tfm_fixture.h"

namespace morvex::testing {
namespace {

const std::string& kConfigDir = kBuildConfigDir;
const std::string kDviDir = MORVEX_TEST_DVI_DIR;

constexpr long kMaxRssKiB = 512 * 1024;

// The fixture fonts: one well-formed, and one per malformed length field.
void writeHostileFonts() {
    static bool done = [] {
        std::vector<uint8_t> idx(256, 1);
        writeTfm("mvxhost", TfmWriter::font(0, idx, {0.5}).bytes());

        TfmWriter t = TfmWriter::font(0, {1, 1}, {0.5});
        t.nw = -1;  // negative width count
        writeTfm("mvxnwneg", t.bytes());

        t = TfmWriter::font(0, {1, 1}, {0.5});
        t.lh = -5;  // negative header length
        writeTfm("mvxlhneg", t.bytes());

        t = TfmWriter::font(0, {1, 1}, {0.5});
        t.lh = 32767;  // a header far beyond the end of the file
        writeTfm("mvxlhmax", t.bytes());

        t = TfmWriter::font(0, {1, 1}, {0.5});
        t.bc = 200;  // bc above ec
        t.ec = 10;
        writeTfm("mvxbcec", t.bytes());

        t = TfmWriter::font(0, {1, 1}, {0.5});
        t.bc = static_cast<int16_t>(0xFF80);  // high bytes set: codes 0x80..0xFF
        t.ec = 0x7FFF;
        writeTfm("mvxhigh", t.bytes());

        t = TfmWriter::font(0, {1, 1}, {0.5});
        t.nw = 32767;  // a width table far beyond the end of the file
        writeTfm("mvxnwmax", t.bytes());

        t = TfmWriter::font(0, {200, 255, 3}, {0.5});  // indices past the width table
        writeTfm("mvxidx", t.bytes());

        writeTfm("mvxempty", Bytes());
        writeTfm("mvxone", Bytes().u1(0x7F));
        return true;
    }();
    (void)done;
}

struct Doc {
    std::vector<std::pair<uint32_t, std::string>> postFonts = {};
    uint32_t stackDepth = 2;
};

// A one-page document: page 1 holds cmds; the postamble defines doc's fonts.
std::string onePageDvi(const Bytes& cmds, const Doc& doc = Doc()) {
    DviWriter w;
    w.pre("hostile");
    w.bop(1);
    w.b.data.insert(w.b.data.end(), cmds.data.begin(), cmds.data.end());
    w.eop();
    w.post(39321600, 26214400, doc.stackDepth);
    for (const auto& [k, name] : doc.postFonts) w.fntdef(k, name);
    w.postpost();
    return w.str();
}

// Overwrites four bytes at offset with v, big-endian.
void patch4(std::string& bytes, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(v >> (24 - 8 * i));
}

// Offsets in a onePageDvi document: the bop at the end of the preamble (15
// bytes and the comment), its back-pointer 41 bytes further, the postamble
// where post_post's q says.
constexpr size_t kBop = 15 + 7;
size_t postOffset(const std::string& dvi) {
    size_t pp = dvi.size() - 4 - 6;  // four 223 bytes
    return (static_cast<uint8_t>(dvi[pp + 1]) << 24) | (static_cast<uint8_t>(dvi[pp + 2]) << 16) |
           (static_cast<uint8_t>(dvi[pp + 3]) << 8) | static_cast<uint8_t>(dvi[pp + 4]);
}

struct Checked {
    BoundedResult r;
    std::string svg;
    std::string log;
    std::string fonts;
};

// Runs the program on dvi in a fresh directory and checks what every run
// must show: it ended by itself, within the memory bound, and left only its
// outputs (nothing in its private temporary area).
Checked runChecked(const std::string& what, const std::string& dvi, std::vector<std::string> args = {},
                   const std::string& configDir = kConfigDir) {
    writeHostileFonts();
    TempDir dir;
    const std::string tmp = dir.file("tmp");
    mkdir(tmp.c_str(), 0700);
    writeFile(dir.file("in.dvi"), dvi);
    args.push_back("in.dvi");
    const std::vector<std::string> argv = morvexArgs(args, configDir);
    Checked c;
    c.r = runBounded(argv, dir.path, tmp, {"MKTEXTFM=0"});
    EXPECT_FALSE(c.r.timedOut) << what;
    EXPECT_EQ(c.r.signal, 0) << what << ": killed\n" << c.r.out.substr(0, 4000) << c.r.err.substr(0, 8000);
    EXPECT_LT(c.r.maxRssKiB, kMaxRssKiB) << what;
    EXPECT_TRUE(filesIn(tmp).empty()) << what << ": the private directory was left";
    for (const std::string& name : filesIn(dir.path)) {
        bool known = name == "in.dvi" || name == "tmp" || name == "out.svg" || name == "out.log" ||
                     name == "fonts.svg";
        EXPECT_TRUE(known) << what << ": left " << name;
    }
    c.svg = readFile(dir.file("out.svg"));
    c.log = readFile(dir.file("out.log"));
    c.fonts = readFile(dir.file("fonts.svg"));
    return c;
}

const std::string kNoPre = "\nCan not find DVI_PRE.\n";
const std::string kNoPostPost = "\nCan not find DVI_POST_POST.\n";
const std::string kNoPost = "\nCan not find DVI_POST.\n";
const std::string kBadBop = "Error in DVI: DVI_BOP.\n";
const std::string kEndOfFile = "\n?\?(ff)\n";

// Files that end with a message of the front end or of the page loop.
TEST(HostileDvi, EveryFileEndsWithItsMessageAndCode) {
    struct Case {
        const char* name;
        std::string dvi;
        std::vector<std::string> args;
        int code;
        std::string outEnd;
    };
    std::vector<Case> cases;
    cases.push_back({"0 bytes", "", {}, 15, kNoPre});
    cases.push_back({"1 byte: pre", std::string(1, '\xF7'), {}, 12, kNoPostPost});
    cases.push_back({"1 byte: zero", std::string(1, '\0'), {}, 15, kNoPre});
    cases.push_back({"only padding", std::string(40, '\xDF'), {}, 15, kNoPre});
    {
        std::string d = onePageDvi(Bytes());
        patch4(d, kBop + 41, kBop);  // the page points at itself
        cases.push_back({"page chain: a page pointing at itself", d, {}, 16, kBadBop});
    }
    {
        DviWriter w;
        w.pre("hostile").bop(1).eop().bop(2).eop().post().postpost();
        std::string d = w.str();
        patch4(d, kBop + 41, kBop + 46);  // page 1 points forward at page 2, which points back
        cases.push_back({"page chain: two pages pointing at each other", d, {}, 16, kBadBop});
    }
    for (uint32_t p : {0x7FFFFFFFu, 0xFFFFFFFEu, 100000u}) {
        std::string d = onePageDvi(Bytes());
        patch4(d, postOffset(d) + 1, p);
        cases.push_back({"page chain: last page beyond the file", d, {}, 16, kBadBop});
    }
    {
        std::string d = onePageDvi(Bytes());
        patch4(d, postOffset(d) + 1, kBop + 1);
        cases.push_back({"page chain: into the middle of a bop", d, {}, 16, kBadBop});
    }
    {
        std::string d = onePageDvi(Bytes());
        patch4(d, postOffset(d) + 1, static_cast<uint32_t>(postOffset(d)));
        cases.push_back({"postamble: last page is the postamble itself", d, {}, 16, kBadBop});
    }
    {
        std::string d = onePageDvi(Bytes());
        patch4(d, d.size() - 9, static_cast<uint32_t>(d.size() - 10));
        cases.push_back({"post_post: q pointing at post_post itself", d, {}, 13, kNoPost});
    }
    {
        std::string d = onePageDvi(Bytes());
        patch4(d, d.size() - 9, 0xFFFFFFF0u);
        cases.push_back({"post_post: q beyond the file", d, {}, 13, kNoPost});
    }
    {
        Bytes cmds;
        cmds.u1(240).u2(0xFFFF).repeat('s', 0xFFFF);
        cases.push_back({"special of 65535 bytes", onePageDvi(cmds), {}, 0, "\n"});
    }
    {
        Bytes cmds;
        cmds.u1(240).u2(0xFFFF).text("short");
        cases.push_back({"special longer than the rest of the file", onePageDvi(cmds), {}, 102, kEndOfFile});
    }
    {
        Bytes cmds;
        for (int i = 0; i < 100000; ++i) cmds.u1(141);
        for (int i = 0; i < 100000; ++i) cmds.u1(142);
        cases.push_back({"100000 pushes on a stack of 2", onePageDvi(cmds), {}, 0, "\n"});
        Doc negative;
        negative.stackDepth = 0xFFFF;
        cases.push_back({"100000 pushes on a stack of -1", onePageDvi(cmds, negative), {}, 0, "\n"});
        Doc deepest;
        deepest.stackDepth = 0x7FFF;
        cases.push_back({"100000 pushes on a stack of 32767", onePageDvi(cmds, deepest), {}, 0, "\n"});
    }
    {
        std::string name(255, 'a');
        name += std::string(255, 'b');
        Bytes def = DviWriter().fntdef(3, std::string(255, 'b'), 655360, 655360, 0, std::string(255, 'a')).b;
        cases.push_back({"page font of a 510-byte name", onePageDvi(def), {}, 200,
                         "\nCan not find font metrics " + name + ".\n"});
    }

    for (const Case& c : cases) {
        Checked r = runChecked(c.name, c.dvi, c.args);
        EXPECT_EQ(r.r.exitCode, c.code) << c.name << "\n" << r.r.out.substr(0, 2000);
        EXPECT_TRUE(endsWith(r.r.out, c.outEnd)) << c.name << "\n" << r.r.out.substr(0, 2000);
    }
}

TEST(HostileDvi, StackOverflowIsReportedPerPushAndTheRunGoesOn) {
    Bytes cmds;
    for (int i = 0; i < 100000; ++i) cmds.u1(141);
    for (int i = 0; i < 100003; ++i) cmds.u1(142);
    Checked r = runChecked("pushes", onePageDvi(cmds));
    EXPECT_EQ(r.r.exitCode, 0);
    EXPECT_EQ(count(r.r.out, "\nStack overflow\n"), 99998u);
    EXPECT_EQ(count(r.r.out, "\nStack underflow\n"), 100001u);
    EXPECT_TRUE(endsWith(r.svg, "\n</svg>\n"));
}

TEST(HostileDvi, LengthsAtTheirMaxima) {
    // 510-byte names in the postamble reach the prologue whole.
    std::string area(255, 'a'), name(255, 'b');
    DviWriter w;
    w.pre(std::string(255, 'c')).bop(1).eop();
    w.post();
    w.fntdef(7, name, 655360, 655360, 0, area);
    w.postpost();
    Checked r = runChecked("510-byte names", w.str());
    EXPECT_EQ(r.r.exitCode, 0) << r.r.out;
    EXPECT_NE(r.svg.find("<!ENTITY st7 \"font-family:" + area + name + ";"), std::string::npos);
    EXPECT_NE(r.svg.find("src:url(fonts.svg#" + area + name + ")}"), std::string::npos);
    EXPECT_NE(r.r.out.find("'" + std::string(255, 'c') + "'\n"), std::string::npos);

    // 256 fonts in the postamble and 256 definitions on a page, each set
    // once; no page is selected, so no glyphs are extracted.
    DviWriter all;
    all.pre("256 fonts").bop(1);
    for (uint32_t k = 0; k < 256; ++k) {
        all.fntdef(k, "mvxhost");
        all.b.u1(235).u1(k).u1('A');  // fnt1 k, set_char 'A'
    }
    all.eop().post();
    for (uint32_t k = 0; k < 256; ++k) all.fntdef(k, "mvxhost");
    all.postpost();
    Checked f = runChecked("256 fonts", all.str(), {"-p", "2"});
    EXPECT_EQ(f.r.exitCode, 104) << f.r.out;  // no page 2
    EXPECT_NE(f.r.out.find("Fonts:" + std::string(256, '*') + "\n"), std::string::npos) << f.r.out;
    EXPECT_NE(f.r.out.find("Pages:." + std::string(256, '*') + "\n"), std::string::npos) << f.r.out;
    EXPECT_EQ(count(f.log, "Font metrics mvxhost"), 256u);
    EXPECT_NE(f.log.find("\ndvitfmfree: 0 1 2 "), std::string::npos);
    EXPECT_NE(f.log.find(" 254 255\n"), std::string::npos);
}

// Metrics whose lengths are negative, inconsistent or beyond the file load
// without a fault, and every code of the font can be set.
TEST(HostileDvi, MalformedMetricsLoadAndEveryCodeIsSet) {
    for (const char* font : {"mvxnwneg", "mvxlhneg", "mvxlhmax", "mvxbcec", "mvxhigh", "mvxnwmax", "mvxidx",
                             "mvxempty", "mvxone"}) {
        Bytes cmds = DviWriter().fntdef(0, font).b;
        cmds.u1(171);
        for (int c = 0; c < 128; ++c) cmds.u1(c);
        for (int c = 128; c < 256; ++c) cmds.u1(128).u1(c);
        Checked r = runChecked(font, onePageDvi(cmds), {"-p", "2"});
        EXPECT_EQ(r.r.exitCode, 104) << font << "\n" << r.r.out;  // no page 2
        EXPECT_NE(r.log.find("\nFont metrics " + std::string(font) + ": "), std::string::npos) << font;
        EXPECT_NE(r.log.find("WIDTHS SECTION (nw)\n"), std::string::npos) << font;
        EXPECT_TRUE(endsWith(r.svg, "\n</svg>\n")) << font;
    }
}

// A page font named by the path of a named pipe or a device: reading it
// would wait for ever; a name with a directory part is not looked up at all.
TEST(HostileDvi, AFontNamedByAPipeIsNotWaitedFor) {
    TempDir fifoDir;
    const std::string fifo = fifoDir.file("pipe.tfm");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string notPlain = ": the name is not a plain file name.\n";
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "\nCan not find font metrics " + fifo + notPlain},
        {"/dev/stdin", "\nCan not find font metrics /dev/stdin" + notPlain},
        {"/dev/zero", "\nCan not find font metrics /dev/zero" + notPlain},
    };
    for (const auto& [name, message] : cases) {
        Bytes cmds = DviWriter().fntdef(0, name).b;
        Checked r = runChecked(name, onePageDvi(cmds));
        EXPECT_EQ(r.r.exitCode, 200) << name << "\n" << r.r.out;
        EXPECT_TRUE(endsWith(r.r.out, message)) << name << "\n" << r.r.out;
    }
}

// A real document and a written one cut at every length: the cut removes
// the postamble's end, so every run ends at dvibase with its message.
TEST(HostileDvi, TruncatedAtEveryLength) {
    DviWriter w;
    w.pre("cut").bop(1).fntdef(0, "mvxhost").b.u1(171).u1('A').u1(128).u1(200).u1(132).u4(10).u4(20).u1(239).u1(2)
        .text("xy").u1(141).u1(147 + 2).u2(300).u1(142);
    w.eop().post().fntdef(0, "mvxhost").postpost();
    const std::string written = w.str();
    const std::string real = readFile(kDviDir + "/hello.dvi");
    ASSERT_FALSE(real.empty());
    for (const std::string* file : {&written, &real}) {
        // Everything up to the end of post_post: the padding is optional.
        size_t whole = file->size() - 4;
        for (size_t n = 0; n < whole; ++n) {
            std::string what = (file == &real ? "hello.dvi cut at " : "written DVI cut at ") + std::to_string(n);
            Checked r = runChecked(what, file->substr(0, n));
            int code = n == 0 ? 15 : 12;
            EXPECT_EQ(r.r.exitCode, code) << what << "\n" << r.r.out;
            EXPECT_TRUE(endsWith(r.r.out, n == 0 ? kNoPre : kNoPostPost)) << what << "\n" << r.r.out;
        }
    }
}

// The self-contained document of --paths stays a well-formed document
// without DTD whatever the file: no postamble, bad fonts, pages without
// eop, characters without font, positions and sizes at the ends of their
// range, malformed colour specials, a font the map lacks, a page cut short.
TEST(HostileDvi, PathsDocumentsAreWellFormed) {
    struct Case {
        const char* name;
        std::string dvi;
        int code;
    };
    std::vector<Case> cases;
    cases.push_back({"0 bytes", "", 15});
    {
        DviWriter w;
        w.pre("bad").bop(1).eop().post().fntdef(0, "cm r10").postpost();
        cases.push_back({"a postamble font of a bad name", w.str(), 14});
    }
    {
        // Page 1 twice, the first without eop, a character before any font
        // and one of a font selected but never defined.
        DviWriter w;
        w.pre("no eop").bop(1).fntdef(0, "cmr10").b.u1('A').u1(171).text("Hi").u1(178).text("x");
        w.bop(1).b.u1(171).text("ok");
        w.eop().post().fntdef(0, "cmr10").postpost();
        cases.push_back({"a page without eop, characters without font", w.str(), 0});
    }
    {
        Bytes cmds = DviWriter().fntdef(0, "cmr10", 0x7FFFFFFF, 655360).b;
        cmds.u1(171).u1(146).u4(0x7FFFFFFF).text("A").u1(160).u4(0x80000000).text("B");
        cmds.u1(132).u4(0x7FFFFFFF).u4(0x7FFFFFFF).u1(137).u4(0x80000000).u4(5).u1(132).u4(5).u4(0xFFFFFFFF);
        cmds.u1(143).u1(0x80).u1(128).u1(0xFF).u1(133).u1(0);
        cases.push_back({"positions and sizes at the ends of their range", onePageDvi(cmds), 0});
    }
    {
        Bytes cmds = DviWriter().fntdef(0, "cmr10").b;
        cmds.u1(171);
        for (const std::string& special : {std::string("color push rgb 1 0"), std::string("color pop"),
                                           std::string("color pop"), std::string("color push \xff\0<&", 15),
                                           std::string("color push rgb 1e999 0 0"), std::string("color Red")}) {
            cmds.u1(239).u1(static_cast<uint32_t>(special.size())).text(special).text("a");
        }
        cases.push_back({"malformed colour specials", onePageDvi(cmds), 0});
    }
    {
        Bytes cmds = DviWriter().fntdef(0, "mvxhost").b;
        cmds.u1(171).text("AB");
        cases.push_back({"a font the map lacks", onePageDvi(cmds), 63});
    }
    {
        Bytes cmds = DviWriter().fntdef(0, "cmr10").b;
        cmds.u1(171).text("Cut").u1(239).u1(14).text("color push Red").text("short").u1(250);
        cases.push_back({"a page cut short by an unknown command", onePageDvi(cmds), 102});
    }
    for (const Case& c : cases) {
        Checked r = runChecked(c.name, c.dvi, {"--paths"});
        EXPECT_EQ(r.r.exitCode, c.code) << c.name << "\n" << r.r.out.substr(0, 2000);
        EXPECT_TRUE(r.fonts.empty()) << c.name;
        TempDir dir;
        writeFile(dir.file("out.svg"), r.svg);
        ProcessResult lint = runProcess({"xmllint", "--nonet", "--noout", dir.file("out.svg")}, dir.path);
        EXPECT_EQ(lint.exitCode, 0) << c.name << "\n" << lint.err.substr(0, 2000) << r.svg.substr(0, 2000);
        EXPECT_EQ(r.svg.find("<!DOCTYPE"), std::string::npos) << c.name;
        EXPECT_TRUE(endsWith(r.svg, "\n</svg>\n")) << c.name;
        for (unsigned char b : r.svg) ASSERT_TRUE(b >= 0x20 || b == '\n') << c.name << ": control byte " << int{b};
    }
}

// Font map lines of 100 KB, and a last line without its newline: the line
// of the font is found whole and its glyphs are extracted.
TEST(HostileMap, LongLinesAndNoFinalNewline) {
    const std::string ps = readFile(kConfigDir + "/tarnevik.ps");
    const std::string enc = readFile(kConfigDir + "/tarnevik.enc");
    ASSERT_FALSE(ps.empty());
    ASSERT_FALSE(enc.empty());
    const std::string longComment = "%" + std::string(100 * 1024, 'c') + "\n";
    const std::string longOther = "mvxother " + std::string(100 * 1024, 'o') + " <other.pfb\n";
    const std::string longTokens = "mvxhost CMR10 " + std::string(100 * 1024, 'x') + " <cmr10.pfb";
    struct Case {
        const char* name;
        std::string map;
        int code;
        std::string outPart;
    };
    const Case cases[] = {
        {"long lines before a last line without newline", longComment + longOther + "mvxhost CMR10 <cmr10.pfb", 0,
         "SVG Fonts:*\n"},
        {"the font's own line is 100 KB long, without newline", longComment + longTokens, 0, "SVG Fonts:*\n"},
        {"a 100 KB line without newline and not the font", longComment + "mvxnot" + std::string(100 * 1024, 'n'),
         63, "Mappings for mvxhost not founded.\n"},
        {"an empty map", "", 63, "Mappings for mvxhost not founded.\n"},
    };
    Bytes cmds = DviWriter().fntdef(0, "mvxhost").b;
    cmds.u1(171).text("AB");
    const std::string dvi = onePageDvi(cmds);
    for (const Case& c : cases) {
        TempDir config;
        writeFile(config.file("tarnevik.ps"), ps);
        writeFile(config.file("tarnevik.enc"), enc);
        writeFile(config.file("morvex.map"), c.map);
        Checked r = runChecked(c.name, dvi, {}, config.path);
        EXPECT_EQ(r.r.exitCode, c.code) << c.name << "\n" << r.r.out.substr(0, 3000);
        EXPECT_NE(r.r.out.find(c.outPart), std::string::npos) << c.name << "\n" << r.r.out.substr(0, 3000);
        if (c.code == 0) {
            EXPECT_NE(r.fonts.find("mvxhost"), std::string::npos) << c.name << "\n" << r.fonts;
        }
        EXPECT_EQ(filesIn(config.path), (std::set<std::string>{"morvex.map", "tarnevik.enc", "tarnevik.ps"}));
    }
}

}  // namespace
}  // namespace morvex::testing
