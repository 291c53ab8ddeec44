// The text strings of PDF marks, as hyperref writes them (UTF-16BE with a
// byte order mark) or in PDFDocEncoding, read as UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "pictures/pdf_text.h"

namespace morvex::pictures {
namespace {

struct TextCase {
    const char* what;
    std::string bytes;
    std::string utf8;
};

TEST(PdfText, StringsOfBothEncodingsReadAsUtf8) {
    using std::string;
    const TextCase cases[] = {
        {"plain ASCII", "A Title", "A Title"},
        {"UTF-16BE as hyperref writes pdftitle", string("\xFE\xFF\0A\0 \0T", 8), "A T"},
        {"UTF-16BE beyond Latin-1", string("\xFE\xFF\x03\xB1\x20\x13", 6), "\xCE\xB1\xE2\x80\x93"},
        {"a surrogate pair", string("\xFE\xFF\xD8\x35\xDC\x00", 6), "\xF0\x9D\x90\x80"},
        {"a lone high surrogate", string("\xFE\xFF\xD8\x35\0x", 6), "\xEF\xBF\xBDx"},
        {"a lone low surrogate", string("\xFE\xFF\xDC\x00", 4), "\xEF\xBF\xBD"},
        {"half a unit at the end", string("\xFE\xFF\0A\0", 5), "A\xEF\xBF\xBD"},
        {"controls in UTF-16: tab a space, NUL gone", string("\xFE\xFF\0\t\0\0\0x", 8), " x"},
        {"Latin-1 letters", "caf\xE9", "caf\xC3\xA9"},
        {"PDFDocEncoding's own punctuation", "\x80\x84\x8D\x8E\x92\xA0", "\xE2\x80\xA2\xE2\x80\x94\xE2\x80\x9C\xE2\x80\x9D\xE2\x84\xA2\xE2\x82\xAC"},
        {"its accents below the space", "\x18\x1F", "\xCB\x98\xCB\x9C"},
        {"its undefined codes", "\x9F\xAD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"controls dropped, line ends spaced", string("a\0b\nc\x7F", 6), "ab c"},
        {"only the byte order mark", "\xFE\xFF", ""},
        {"empty", "", ""},
    };
    for (const TextCase& c : cases) EXPECT_EQ(pdfTextToUtf8(c.bytes), c.utf8) << c.what;
}

}  // namespace
}  // namespace morvex::pictures
