// The picture program's records: each kind read into its values, attributed
// to its chunk, and every malformed or foreign line dropped, never trusted.
#include "pictures/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvex::pictures {
namespace {

const std::string kNonce = "5eed";

// Records with the nonce, one a line, between the job's frame.
std::string records(const std::vector<std::string>& lines, bool finished = true) {
    std::string out = kNonce + " J 1\n";
    for (const std::string& l : lines) out += "\n" + kNonce + " " + l + "\n";
    if (finished) out += kNonce + " Z\n";
    return out;
}

Report parse(const std::vector<std::string>& lines, size_t chunks = 4) {
    return parseReport(records(lines), kNonce, chunks);
}

TEST(ReportParser, PaintsOfEveryKind) {
    Report r = parse({
        "S 2",
        "c 1 0 1 M 0 0 L 10000 0 L 10000 10000 Z E",
        "f 1 0 ff8000 500000 M 1000 2000 C 1 2 3 4 5 6 Z E",
        "s 0 0000ff 1000000 3000 1 2 10000000 500 2 1000 2000 866025 500000 -500000 866025 72270 72270 M 0 0 L 99998 0 E",
        "g 1 1000000 3 1 0 1000000 0 0 1000000 72270 72270 1 2 0 1 2 40000 0 000000 500000 808080 1000000 ffffff E",
        "i 0 1000000 20000 0 0 20000 72270 72270 2 2 8 g 0 1000000 1 1 <00ff80c0> E",
        "i 0 1000000 2000 0 0 1000 0 0 2 1 1 x <ff000000ff00> 0 1 <40> E",
        "m 0 250000 ff0000 2000 0 0 -2000 72270 74270 2 2 1 <80c0> E",
        "e 2 1000000 0 0 1000000 0 0 1 0 00ff00 500000",
    });
    EXPECT_TRUE(r.ready);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.rejectedLines, 0u);
    ASSERT_EQ(r.clips.count(1), 1u);
    EXPECT_TRUE(r.clips[1].evenOdd);
    EXPECT_EQ(r.clips[1].path.ops.size(), 4u);
    const ChunkReport& c = r.chunks[2];
    EXPECT_TRUE(c.begun);
    ASSERT_EQ(c.paints.size(), 6u);

    const Fill& f = std::get<Fill>(c.paints[0]);
    EXPECT_EQ(f.clip, 1u);
    EXPECT_EQ(f.color, (Rgb8{0xff, 0x80, 0}));
    EXPECT_DOUBLE_EQ(f.alpha, 0.5);
    EXPECT_EQ(f.path.coords, (std::vector<double>{1, 2, 0.001, 0.002, 0.003, 0.004, 0.005, 0.006}));

    const Stroke& s = std::get<Stroke>(c.paints[1]);
    EXPECT_DOUBLE_EQ(s.width, 3);
    EXPECT_EQ(s.cap, 1);
    EXPECT_EQ(s.join, 2);
    EXPECT_DOUBLE_EQ(s.miterLimit, 10);
    EXPECT_DOUBLE_EQ(s.dashOffset, 0.5);
    EXPECT_EQ(s.dashes, (std::vector<double>{1, 2}));
    EXPECT_DOUBLE_EQ(s.matrix.a, 0.866025);
    EXPECT_DOUBLE_EQ(s.matrix.c, -0.5);
    EXPECT_DOUBLE_EQ(s.matrix.e, 72.27);

    const Gradient& g = std::get<Gradient>(c.paints[2]);
    EXPECT_TRUE(g.radial);
    EXPECT_TRUE(g.extendStart);
    EXPECT_FALSE(g.extendEnd);
    EXPECT_EQ(g.coords, (std::vector<double>{0.001, 0.002, 0, 0.001, 0.002, 40}));
    ASSERT_EQ(g.stops.size(), 3u);
    EXPECT_DOUBLE_EQ(g.stops[1].offset, 0.5);
    EXPECT_EQ(g.stops[2].color, (Rgb8{255, 255, 255}));

    const Image& i = std::get<Image>(c.paints[3]);
    EXPECT_EQ(i.width, 2);
    EXPECT_EQ(i.kind, 'g');
    EXPECT_TRUE(i.interpolate);
    EXPECT_EQ(i.planes, (std::vector<std::string>{std::string("\x00\xff\x80\xc0", 4)}));
    EXPECT_DOUBLE_EQ(i.matrix.a, 20);

    const Image& x = std::get<Image>(c.paints[4]);
    EXPECT_EQ(x.kind, 'x');
    EXPECT_EQ(x.palette, std::string("\xff\x00\x00\x00\xff\x00", 6));

    const ImageMask& m = std::get<ImageMask>(c.paints[5]);
    EXPECT_EQ(m.paintBit, 1);
    EXPECT_EQ(m.bits, "\x80\xc0");

    ASSERT_TRUE(c.end);
    EXPECT_TRUE(c.end->transform.identity());
    EXPECT_EQ(c.end->clip, 1u);
    EXPECT_FALSE(c.end->invisible);
    EXPECT_DOUBLE_EQ(c.end->alpha, 0.5);
}

TEST(ReportParser, CellsErrorsLinksAndTitle) {
    Report r = parse({
        "S 1",
        "t 3 1 0 0 10000 10000 10000 10000 1000000 0 0 1000000 72270 72270",
        "s 0 00ff00 1000000 1000 0 0 10000000 0 0 1000000 0 0 1000000 0 0 M 0 0 L 9998 9998 E",
        "T 3",
        "c 4 0 0 M 0 0 L 1 1 Z E",
        "p 4 1000000 3 000000",
        "E 1 <756e646566696e6564> <70676665>",
        "w <61206d657368>",
        "A 72270 72270 172270 92270 U <687474703a2f2f782e6f7267>",
        "A 1 2 3 4 -",
        "D <73656331> 1 82270 92270",
        "D <73656332> 0",
        "I <54fe69746c65>",
        "e 1 1000000 0 0 1000000 0 0 0 0 000000 1000000",
    });
    EXPECT_EQ(r.rejectedLines, 0u);
    ASSERT_EQ(r.cells.count(3), 1u);
    EXPECT_EQ(r.cells[3].paints.size(), 1u);
    EXPECT_DOUBLE_EQ(r.cells[3].xStep, 10);
    const ChunkReport& c = r.chunks[1];
    ASSERT_EQ(c.paints.size(), 1u);  // the cell's stroke is the cell's
    EXPECT_EQ(std::get<PatternPaint>(c.paints[0]).cell, 3u);
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0].name, "undefined");
    EXPECT_EQ(c.errors[0].command, "pgfe");
    EXPECT_EQ(c.warnings, (std::vector<std::string>{"a mesh"}));
    ASSERT_EQ(c.links.size(), 2u);
    EXPECT_EQ(c.links[0].kind, 'U');
    EXPECT_EQ(c.links[0].target, "http://x.org");
    EXPECT_DOUBLE_EQ(c.links[0].y1, 92.27);
    EXPECT_EQ(c.links[1].kind, '-');
    ASSERT_EQ(c.destinations.size(), 2u);
    EXPECT_TRUE(c.destinations[0].placed);
    EXPECT_DOUBLE_EQ(c.destinations[0].x, 82.27);
    EXPECT_FALSE(c.destinations[1].placed);
    EXPECT_EQ(r.title, std::string("T\xfeitle"));
}

// Every line here is dropped and counted; what was read before stays.
TEST(ReportParser, MalformedLinesAreDropped) {
    const std::vector<std::string> bad = {
        "f 0 0 ff0000 1000000 M 0 0 L 1 1",                // no E
        "f 0 0 ff0000 1000000 M 0 0 L 1 1 E junk",         // after the end
        "f 0 0 ff000 1000000 M 0 0 E",                     // five digits of colour
        "f 0 0 gg0000 1000000 M 0 0 E",                    // not hexadecimal
        "f 0 2 ff0000 1000000 M 0 0 E",                    // no such rule
        "f 0 0 ff0000 1000001 M 0 0 E",                    // alpha above 1
        "f 9 0 ff0000 1000000 M 0 0 E",                    // no clip 9
        "f 0 0 ff0000 1000000 L 0 0 E",                    // a path begins with M
        "f 0 0 ff0000 1000000 M 0 E",                      // a point short
        "f 0 0 ff0000 1000000 M 0 0x1 E",                  // not a number
        "f 0 0 ff0000 1000000 M 1e5 0 E",                  // no exponents
        "f 0 0 ff0000 1000000 M 0 0 <3c7376673e> E",       // no text in a path
        "f  0 0 ff0000 1000000 M 0 0 E",                   // two spaces
        "f 0 0 ff0000 1000000 M 0 0 E ",                   // a space at the end
        "f 0 0 ff0000 1000000 M 9999999999999999 0 E",     // beyond any page
        "s 0 000000 1000000 -1 0 0 10000000 0 0 1000000 0 0 1000000 0 0 M 0 0 E",  // negative width
        "s 0 000000 1000000 1 3 0 10000000 0 0 1000000 0 0 1000000 0 0 M 0 0 E",   // no cap 3
        "s 0 000000 1000000 1 0 0 10000000 0 2 1 1000000 0 0 1000000 0 0 M 0 0 E", // a dash short
        "c 0 0 0 M 0 0 E",                                 // clip 0 is the page's
        "c 5 7 0 M 0 0 E",                                 // no parent 7
        "g 0 1000000 4 0 0 1000000 0 0 1000000 0 0 0 0 1 1 0 000000 E",  // no type 4
        "g 0 1000000 2 0 0 1000000 0 0 1000000 0 0 0 0 1 1 E",           // no stops
        "g 0 1000000 2 0 0 1000000 0 0 1000000 0 0 0 0 1 1 500000 000000 0 ffffff E",  // out of order
        "i 0 1000000 1 0 0 1 0 0 2 2 8 g 0 1000000 0 1 <00ff80> E",      // a sample short
        "i 0 1000000 1 0 0 1 0 0 2 2 3 g 0 1000000 0 1 <00ff> E",        // 3 bits
        "i 0 1000000 1 0 0 1 0 0 1 1 8 q 0 1000000 0 1 <00> E",          // no kind q
        "i 0 1000000 1 0 0 1 0 0 1 1 1 x <ff0000> 0 1 <00> E",           // palette of one colour
        "i 0 1000000 1 0 0 1 0 0 1 1 8 r 0 1000000 0 1000000 0 1000000 0 2 <00> <00> E",  // two planes of three
        "i 0 1000000 1 0 0 1 0 0 5000000 1 8 g 0 1000000 0 1 <00> E",    // too wide
        "m 0 1000000 000000 1 0 0 1 0 0 9 1 1 <ff> E",                   // a byte short
        "p 0 1000000 8 000000",                            // no cell 8
        "A 0 0 1 1 X <00>",                                // no kind X
        "D <0> 0",                                         // odd hexadecimal
        "D <00> 1 5",                                      // a coordinate short
        "e 1 1000000 0 0 1000000 0 0 0 0 000000 1000000",  // another chunk's end
        "E 3 <00> <00>",                                   // another chunk's error
        "S 1",                                             // chunks begin in order
        "S 4",                                             // no chunk 4
        "x 1",                                             // no such record
        "",                                                // nothing
        "J",                                               // J 1 only
    };
    for (const std::string& line : bad) {
        SCOPED_TRACE(line);
        Report r = parse({"S 2", "f 0 0 ff0000 1000000 M 0 0 E", line, "e 2 1000000 0 0 1000000 0 0 0 0 000000 1000000"});
        EXPECT_EQ(r.rejectedLines, 1u);
        EXPECT_EQ(r.chunks[2].paints.size(), 1u);
        EXPECT_TRUE(r.chunks[2].end);
        EXPECT_EQ(r.clips.size(), 0u);
    }
}

// What a special prints is no record, even shaped like one; a record read
// outside a chunk is not taken; a cell cannot hold itself.
TEST(ReportParser, ForeignAndMisplacedLines) {
    std::string out = records({"S 1", "f 0 0 ff0000 1000000 M 0 0 E"}, false);
    out += "f 0 0 00ff00 1000000 M 5 5 E\n";                       // no nonce
    out += "5eedf 0 0 00ff00 1000000 M 5 5 E\n";                   // nonce glued on
    out += "junk" + kNonce + " f 0 0 00ff00 1000000 M 5 5 E\n";    // not at the line's start
    out += "5eec f 0 0 00ff00 1000000 M 5 5 E\n";                  // another nonce
    out += kNonce + " e 1 1000000 0 0 1000000 0 0 0 0 000000 1000000\n";
    out += kNonce + " f 0 0 0000ff 1000000 M 1 1 E\n";              // between chunks
    out += kNonce + " S 2\n" + kNonce + " t 5 1 0 0 1 1 1 1 1000000 0 0 1000000 0 0\n";
    out += kNonce + " p 0 1000000 5 000000\n";                      // the cell within itself
    out += kNonce + " T 5\n";
    out += kNonce + " f 0 0 0000ff 1000000 M 1 1";                  // cut off: no newline
    Report r = parseReport(out, kNonce, 4);
    EXPECT_EQ(r.chunks[1].paints.size(), 1u);
    EXPECT_EQ(r.rejectedLines, 2u);
    EXPECT_EQ(r.cells.count(5), 1u);
    EXPECT_TRUE(r.cells[5].paints.empty());
    EXPECT_TRUE(r.chunks[2].paints.empty());
    EXPECT_FALSE(r.finished);
    EXPECT_EQ(r.lastBegun, 2u);
    EXPECT_FALSE(r.chunks[2].end);
}

TEST(ReportParser, NothingWithoutTheNonce) {
    Report r = parseReport(records({"S 0", "f 0 0 ff0000 1000000 M 0 0 E"}), "", 4);
    EXPECT_FALSE(r.ready);
    EXPECT_FALSE(r.chunks[0].begun);
    Report fatal = parseReport(kNonce + " Q <696f6572726f72> <77726974657374726967>\n", kNonce, 1);
    ASSERT_TRUE(fatal.fatal);
    EXPECT_EQ(fatal.fatal->name, "ioerror");
}

}  // namespace
}  // namespace morvex::pictures
