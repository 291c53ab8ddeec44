// The cache as a glyph source around another: a font it holds comes from
// it for the codes wanted and the source never hears of it; a font it
// lacks is asked of the source for every code, kept whole, and handed on
// for the codes wanted; what the source says reaches the report as the
// requests' own.
#include "fonts/cached_glyphs.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "fonts/ghostscript_command.h"
#include "support/bytes.h"
#include "support/process.h"

namespace morvex {
namespace {

using testing::OutCapture;
using testing::TempDir;
using testing::writeFile;

const std::bitset<256> kAll = std::bitset<256>().set();

std::bitset<256> codeSet(std::initializer_list<int> codes) {
    std::bitset<256> b;
    for (int c : codes) b.set(static_cast<size_t>(c));
    return b;
}

// A font of every code whose advance is its code.
GeneratedFont wholeFont(const std::string& name) {
    GeneratedFont f;
    f.id = f.family = name;
    f.defaultAdvance = {"255", 255};
    f.unitsPerEm = {"1000", 1000};
    for (int c = 0; c < 256; ++c)
        f.glyphs.push_back({c, "x", "g" + std::to_string(c), {std::to_string(c), double(c)}, "M0 0Z"});
    return f;
}

// A source that makes wholeFont for every request and says so.
struct FakeSource : GlyphSource {
    std::vector<GlyphRequest> asked;
    void add(const GlyphRequest& request, std::FILE* log) override {
        asked.push_back(request);
        std::fprintf(log, "fake: %s\n", request.name.c_str());
    }
    int make(GlyphReport& report) override {
        for (size_t i = 0; i < asked.size(); ++i) {
            report.lookupsThrough(i);
            report.say("made " + asked[i].name + "\n");
            if (asked[i].name == "broken")
                report.failed(i);
            else
                report.made(i, wholeFont(asked[i].name));
        }
        return 0;
    }
};

struct Recorded final : GlyphReport {
    std::vector<std::string> said;
    std::map<size_t, GeneratedFont> fonts;
    std::vector<size_t> failures;
    void lookupsThrough(size_t request) override { said.push_back("lookups " + std::to_string(request)); }
    void allLookups() override { said.push_back("all lookups"); }
    void say(std::string_view text) override { said.push_back(std::string(text)); }
    void sayError(std::string_view) override {}
    void trace(std::string_view) override {}
    void made(size_t request, GeneratedFont font) override { fonts[request] = std::move(font); }
    void failed(size_t request) override { failures.push_back(request); }
    void cannotWrite(std::string_view) override {}
};

GlyphRequest request(const std::string& name, const std::string& type1, std::bitset<256> codes) {
    GlyphRequest r;
    r.name = name;
    r.entry.fntDvi = name;
    r.files.type1Path = type1;
    r.codes = codes;
    return r;
}

TEST(CachedGlyphs, HitsComeFromTheCacheAndMissesFromTheSourceWhole) {
    TempDir dir;
    writeFile(dir.file("a.pfb"), "a");
    writeFile(dir.file("b.pfb"), "b");
    OutCapture out, log;
    GlyphCache cache(dir.file("cache"), out.f);
    ASSERT_TRUE(cache.usable());

    // The first run: both fonts missing, asked of the source for every code.
    {
        FakeSource source;
        CachedGlyphs cached(cache, source, "program 1");
        cached.add(request("fa", dir.file("a.pfb"), codeSet({65, 66})), log.f);
        cached.add(request("broken", dir.file("b.pfb"), codeSet({67})), log.f);
        Recorded report;
        EXPECT_EQ(cached.make(report), 0);
        ASSERT_EQ(source.asked.size(), 2u);
        EXPECT_EQ(source.asked[0].codes, kAll);
        EXPECT_EQ(report.said, (std::vector<std::string>{"lookups 0", "made fa\n", "lookups 1", "made broken\n"}));
        ASSERT_EQ(report.fonts.count(0), 1u);
        EXPECT_EQ(report.fonts[0].glyphs.size(), 2u);
        EXPECT_EQ(report.fonts[0].defaultAdvance.text, "66");
        EXPECT_EQ(report.failures, std::vector<size_t>{1});
    }
    // The second: fa is held and never reaches the source; broken is asked
    // again. Another program is another key.
    {
        FakeSource source;
        CachedGlyphs cached(cache, source, "program 1");
        cached.add(request("fa", dir.file("a.pfb"), codeSet({66, 200})), log.f);
        cached.add(request("broken", dir.file("b.pfb"), codeSet({67})), log.f);
        Recorded report;
        EXPECT_EQ(cached.make(report), 0);
        ASSERT_EQ(source.asked.size(), 1u);
        EXPECT_EQ(source.asked[0].name, "broken");
        ASSERT_EQ(report.fonts.count(0), 1u);
        EXPECT_EQ(generatedFontText(report.fonts[0]), generatedFontText(fontForCodes(wholeFont("fa"), codeSet({66, 200}))));
        FakeSource other;
        CachedGlyphs changed(cache, other, "program 2");
        changed.add(request("fa", dir.file("a.pfb"), codeSet({66})), log.f);
        EXPECT_EQ(other.asked.size(), 1u);
    }
    const std::string trace = log.str();
    EXPECT_NE(trace.find("cache: glyphs of fa from Ghostscript, kept as "), std::string::npos) << trace;
    EXPECT_NE(trace.find("fake: fa\n"), std::string::npos) << trace;
    EXPECT_TRUE(std::regex_search(trace, std::regex("cache: glyphs of fa from [0-9a-f]{16}\\.glyphs\n"))) << trace;
    EXPECT_EQ(out.str(), "");
}

// The job list of a batch names every file and code of every font, in
// hexadecimal strings whatever the bytes, with the map's transforms.
TEST(GhostscriptBatch, TheJobListHoldsEveryRequest) {
    GlyphRequest a = request("a(b)", "/t1/a\\b.pfb", codeSet({0, 255}));
    GlyphRequest b = request("c", "/t1/c.pfb", codeSet({65}));
    b.files.encVectorPath = "/e/x.enc";
    b.entry.slant = ".167";
    b.entry.extend = "1.2";
    EXPECT_EQ(jobList({a, b}),
              "[\n<< /FONTFILE <2f74312f615c622e706662> /THEFONT /a(b) /SYMBOLS [ 0 255 ] /FONTOUT <6128622"
              "9> >>\n<< /FONTFILE <2f74312f632e706662> /THEFONT /c /SYMBOLS [ 65 ] /FONTOUT <63> /ENCVECFILE "
              "<2f652f782e656e63> /SLANT .167 /EXTEND 1.2 >>\n]\n");
}

}  // namespace
}  // namespace morvex
