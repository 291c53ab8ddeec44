// Encoding vectors as TeX's encoding files write them.
#include "fonts/encoding_file.h"

#include <gtest/gtest.h>

#include "support/process.h"

namespace morvex {
namespace {

std::string names(int from, int to, const std::string& prefix = "/g") {
    std::string s;
    for (int c = from; c < to; ++c) s += prefix + std::to_string(c) + (c % 8 == 7 ? "\n" : " ");
    return s;
}

TEST(EncodingFile, ParsesTheVectorOfAnEncodingFile) {
    const std::string text = "% comment [ /not /this ]\n/MyEncoding[%another\n" + names(0, 255) +
                             "/last] def\n";
    auto v = parseEncodingVector(text);
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)[0], "g0");
    EXPECT_EQ((*v)[254], "g254");
    EXPECT_EQ((*v)[255], "last");
}

TEST(EncodingFile, RefusesWhatIsNotOneVectorOf256Names) {
    const std::pair<const char*, std::string> cases[] = {
        {"255 names", "/E [" + names(0, 255) + "] def"},
        {"257 names", "/E [" + names(0, 257) + "] def"},
        {"no array", "/E " + names(0, 256)},
        {"unterminated", "/E [" + names(0, 256)},
        {"a word that is no name", "/E [" + names(0, 255) + "oops ] def"},
        {"a nested array", "/E [ [" + names(0, 256) + "] ] def"},
        {"an empty name", "/E [" + names(0, 255) + "/ ] def"},
        {"nothing", ""},
    };
    for (const auto& [what, text] : cases) EXPECT_FALSE(parseEncodingVector(text)) << what;
}

TEST(EncodingFile, ReadsTheInstallationsEncodingFiles) {
    for (const char* name : {"lm-ec.enc", "cm-super-t1.enc", "cm-super-ts1.enc", "8r.enc"}) {
        SCOPED_TRACE(name);
        auto r = testing::runProcess({"kpsewhich", name}, "/");
        const std::string path = r.out.substr(0, r.out.find('\n'));
        ASSERT_FALSE(path.empty());
        auto v = readEncodingVector(path);
        ASSERT_TRUE(v);
        // Code 0x16 of TeX's T1 is the em dash; of TS1 the three-quarter em dash.
        const std::string n = name;
        if (n != "8r.enc") {
            EXPECT_EQ((*v)[0x16], n == "cm-super-ts1.enc" ? "threequartersemdash" : "emdash");
        }
        if (n != "cm-super-ts1.enc" && n != "8r.enc") {
            EXPECT_EQ((*v)[0x1C], "fi");
        }
    }
    EXPECT_FALSE(readEncodingVector("/nonexistent/x.enc"));
}

}  // namespace
}  // namespace morvex
