#pragma once
// What the picture program reports: its records, parsed and checked.
//
// A record is one line "NONCE TAG FIELDS...", alone on its line; any other
// line (what a special prints) is not a record. Numbers are integers:
// lengths and coordinates in thousandths of a TeX point (page coordinates
// from the top-left corner of the page box, y down), ratios in millionths.
// A colour is six hexadecimal digits (rrggbb); a string is hexadecimal
// text between < and >. A path is a list of "M x y", "L x y",
// "C x1 y1 x2 y2 x3 y3", "Z", closed by "E". A matrix is six numbers
// a b c d e f, mapping (x, y) to (a x + c y + e, b x + d y + f): a b c d in
// millionths and e f in thousandths, except where the record says
// "lengths" (all six in thousandths).
//
//   J 1                      the program is ready
//   S chunk                  a chunk begins
//   e chunk T clip invisible rgb alpha
//                            a chunk ended: T (a matrix, page to page) is
//                            how the DVI's glyphs and rules set now are
//                            moved, clip the clip they lie in, invisible 1
//                            when nothing is seen, rgb and alpha their paint
//   E chunk name command     an error of the chunk (hex strings)
//   f clip rule rgb alpha PATH
//                            a fill; rule 0 nonzero, 1 even-odd; the path
//                            in page coordinates
//   s clip rgb alpha width cap join miterlimit dashoffset n dash*n M PATH
//                            a stroke; PATH, width and dashes in a user
//                            space that M takes to the page
//   c id parent rule PATH    a clip: PATH (page coordinates) within clip
//                            parent (0: the page)
//   g clip alpha type extend0 extend1 M coords... stops... E
//                            an axial (type 2: x0 y0 x1 y1) or radial
//                            (3: x0 y0 r0 x1 y1 r1) gradient in a space M
//                            takes to the page, painted within clip; each
//                            stop "offset rgb", offsets (millionths) in
//                            order from 0 to 1000000
//   i clip alpha Q w h bits kind ... interpolate planes <data>... E
//                            an image: Q (lengths) takes the unit square
//                            (row 0 at y 0) to the page; kind g, r or k
//                            followed by 2n decode values (millionths), or
//                            x followed by a palette of 2^bits colours (hex);
//                            rows padded to whole bytes, one <data> for each
//                            of planes (several: one component each)
//   m clip alpha rgb Q w h paint <bits> E
//                            an image mask painting its samples of value
//                            paint (0 or 1)
//   t id painttype x0 y0 x1 y1 xstep ystep M
//                            a tiling pattern's cell: the records up to
//                            "T id" are in its space, which M takes to the
//                            page
//   T id                     the cell's end
//   p clip alpha id rgb      cell id tiled over clip; rgb for a cell of
//                            paint type 2 (uncoloured)
//   w <text>                 something not drawn, for a message
//   A x0 y0 x1 y1 kind <target>
//                            a link's area; kind D (named destination),
//                            U (URI) or -
//   D <name> 1 x y | D <name> 0
//                            a destination, where it is when known
//   I <title>                the document's title
//   Q name command           the program failed
//   Z                        the job is done
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace morvex::pictures {

struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb8&) const = default;
};

// (x, y) -> (a x + c y + e, b x + d y + f)
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    bool identity(double tolerance = 1e-6) const;
};

enum class PathOp : uint8_t { Move, Line, Curve, Close };

struct Path {
    std::vector<PathOp> ops;
    std::vector<double> coords;  // two for Move and Line, six for Curve
    bool empty() const { return ops.empty(); }
};

struct Fill {
    uint32_t clip = 0;
    bool evenOdd = false;
    Rgb8 color;
    double alpha = 1;
    Path path;
};

struct Stroke {
    uint32_t clip = 0;
    Rgb8 color;
    double alpha = 1;
    double width = 0;  // 0: the thinnest line the device can draw
    int cap = 0, join = 0;
    double miterLimit = 10;
    double dashOffset = 0;
    std::vector<double> dashes;
    Affine matrix;
    Path path;
};

struct GradientStop {
    double offset = 0;
    Rgb8 color;
};

struct Gradient {
    uint32_t clip = 0;
    double alpha = 1;
    bool radial = false;
    bool extendStart = false, extendEnd = false;
    Affine matrix;
    std::vector<double> coords;  // x0 y0 x1 y1, or x0 y0 r0 x1 y1 r1
    std::vector<GradientStop> stops;
};

struct Image {
    uint32_t clip = 0;
    double alpha = 1;
    Affine matrix;  // the unit square to the page
    int width = 0, height = 0, bits = 8;
    char kind = 'g';              // g, r, k, x
    std::vector<double> decode;   // g r k: two a component
    std::string palette;          // x: three bytes a sample value
    bool interpolate = false;
    std::vector<std::string> planes;  // the samples, rows padded to bytes
};

struct ImageMask {
    uint32_t clip = 0;
    double alpha = 1;
    Rgb8 color;
    Affine matrix;
    int width = 0, height = 0;
    int paintBit = 1;
    std::string bits;
};

struct PatternPaint {
    uint32_t clip = 0;
    double alpha = 1;
    uint32_t cell = 0;
    Rgb8 color;  // for an uncoloured cell
};

using Paint = std::variant<Fill, Stroke, Gradient, Image, ImageMask, PatternPaint>;

struct Cell {
    uint32_t id = 0;
    int paintType = 1;
    double box[4] = {0, 0, 0, 0};
    double xStep = 0, yStep = 0;
    Affine matrix;
    std::vector<Paint> paints;
};

struct ClipDef {
    uint32_t id = 0;
    uint32_t parent = 0;
    bool evenOdd = false;
    Path path;
};

struct Link {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    char kind = '-';     // D: a named destination, U: a URI, -: none
    std::string target;  // raw bytes
};

struct Destination {
    std::string name;
    bool placed = false;
    double x = 0, y = 0;
};

struct ChunkError {
    std::string name;     // raw bytes of the error's name (undefined, ...)
    std::string command;  // and of what raised it
};

struct EndState {
    Affine transform;  // page to page, for the DVI's glyphs and rules
    uint32_t clip = 0;
    bool invisible = false;
    Rgb8 color;
    double alpha = 1;
};

struct ChunkReport {
    bool begun = false;
    std::optional<EndState> end;
    std::vector<ChunkError> errors;
    std::vector<Paint> paints;  // in the order painted
    std::vector<Link> links;
    std::vector<Destination> destinations;
    std::vector<std::string> warnings;
};

struct Report {
    bool ready = false;     // J
    bool finished = false;  // Z: the job ran to its end
    std::optional<ChunkError> fatal;
    std::vector<ChunkReport> chunks;       // by chunk index
    std::map<uint32_t, ClipDef> clips;     // by id, each defined before use
    std::map<uint32_t, Cell> cells;        // by id
    std::optional<std::string> title;
    std::optional<size_t> lastBegun;       // the chunk that began last
    size_t rejectedLines = 0;              // lines with the nonce that are no record
};

// Reads the program's standard output. Only lines that begin with the
// nonce count; each is checked whole (fields, ranges, references to clips
// and cells defined before) and dropped, counted, when anything is wrong.
Report parseReport(std::string_view output, std::string_view nonce, size_t chunkCount);

}  // namespace morvex::pictures
