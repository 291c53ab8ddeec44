// The paths one Ghostscript permit names exactly: nothing that splits a
// permit (':'), widens it ('*', and "." or ".." parts it reduces) or may be
// read as an escape.
#include "process/ghostscript_permit.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

TEST(GhostscriptPermit, AbsoluteAndRelativePaths) {
    struct Case {
        const char* path;
        bool absolute;  // permittable
        bool relative;  // permittableRelative
    };
    const Case cases[] = {
        {"/a/b.eps", true, false},
        {"/a b/c d.eps", true, false},
        {"/a/[x]{y}.eps", true, false},
        {"/\xc3\xa9t\xc3\xa9.eps", true, false},
        {"in/0", false, true},
        {"cmr10", false, true},
        {"a/b.eps", false, true},
        {"/a:b", false, false},
        {"a:b", false, false},
        {"/a*", false, false},
        {"in/*", false, false},
        {"/a?", false, false},
        {"/a\\b", false, false},
        {"/a\nb", false, false},
        {"a\x7f", false, false},
        {"/a//b", false, false},
        {"/a/./b", false, false},
        {"/a/../b", false, false},
        {"../b", false, false},
        {"./b", false, false},
        {"b/..", false, false},
        {"/a/", false, false},
        {"a/", false, false},
        {"/a/.", false, false},
        {"/a/..", false, false},
        {"/", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(permittable(c.path), c.absolute) << c.path;
        EXPECT_EQ(permittableRelative(c.path), c.relative) << c.path;
    }
}

}  // namespace
}  // namespace morvex
