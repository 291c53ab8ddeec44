#pragma once
// Renders pages the way people see them and compares the pictures: a DVI
// page through dvipng, an SVG or HTML document through headless Chromium,
// and a measure of how alike the ink of two such pictures is.
//
// Both renderers cover the page box of a DVI file: the widest page and the
// tallest page of its postamble with the one-inch margin at the left and at
// the top, so that the DVI origin lies one inch right of and below the
// top-left corner. A CSS pixel is 1/96 in, so a Chromium screenshot at
// device scale S has the pixels of dvipng at 96*S dpi.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvex::testing {

// 8-bit gray pixels, row by row, 0 black to 255 white.
struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    GrayImage() = default;
    GrayImage(int w, int h, uint8_t fill = 255)
        : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}
    bool empty() const { return pixels.empty(); }
    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
    uint8_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
};

// A picture or the reason there is none.
struct Rendered {
    GrayImage image;
    std::string error;
    bool ok() const { return error.empty() && !image.empty(); }
};

// Reads any PNG file (gray, palette, RGB, with or without alpha; alpha is
// laid over white) as gray pixels.
Rendered readPng(const std::string& path);
// Reads any PNG file as RGB pixels (three bytes a pixel, row by row; alpha
// laid over white); false, with nothing read, when it cannot.
bool readRgbPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb);
// Writes gray pixels, or RGB pixels (three bytes a pixel), as a PNG file.
bool writePng(const std::string& path, const GrayImage& image);
bool writeRgbPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// The rectangle [x, x+width) x [y, y+height) of an image; the parts outside
// it are white.
GrayImage crop(const GrayImage& image, int x, int y, int width, int height);

// The page box of a DVI file, from its postamble.
struct PageBox {
    uint32_t maxWidth = 0;         // u: the widest page, DVI units
    uint32_t maxHeightDepth = 0;  // l: the tallest page's height plus depth, DVI units
    double ptPerDvi = 0;          // TeX points per DVI unit, magnification included
    double widthPt = 0;           // u in TeX points plus the margin, 72.27 pt
    double heightPt = 0;          // l in TeX points plus the margin
    std::string error;            // why the postamble could not be read

    bool ok() const { return error.empty(); }
    // The box in CSS pixels (1/96 in), rounded up to whole pixels: the size of
    // the window that shows it and of the image that holds it.
    int cssWidth() const;
    int cssHeight() const;
};
PageBox readPageBox(const std::string& dviPath);

// dvipng's rendering of the page whose \count0 is `page` (the first such
// page) at `dpi`, as a widthPx x heightPx image whose top-left corner is the
// page box's: the DVI origin is at pixel (dpi, dpi). With widthPx or heightPx
// 0, that side is the page box read from the DVI file, rounded up to whole
// pixels. Glyphs come from the Type 1 fonts through FreeType, antialiased
// with a linear palette (gamma 1) from white to black.
//
// With `oversample` k > 1, dvipng renders at k*dpi and each k x k square
// becomes one pixel of its mean ink. FreeType hints glyphs at dvipng's
// resolution and dvipng puts them on whole pixels; oversampled, both shrink
// to a fraction of a pixel, which brings the picture near an exact,
// unhinted rendering such as a browser's of glyph outlines.
Rendered renderDvipng(const std::string& dviPath, int page, int dpi, int widthPx = 0, int heightPx = 0,
                      int oversample = 1);

// Headless Chromium's screenshot of a document shown in a window of
// widthCss x heightCss CSS pixels at device scale `scale`: an image of
// widthCss*scale x heightCss*scale pixels. An .svg file is shown inline in
// an otherwise empty white XHTML page, at its natural size at the top-left
// corner: it is read by the XML parser as on its own, and drawn at its
// exact size (as an <img> or on its own Chromium rounds its size to whole
// device pixels); as for an <img>, nothing outside it is loaded and no
// script runs. Any other file is opened as it is. Each call starts one
// browser (a few seconds): put several pictures on one page where that is
// possible. With rgb given, the screenshot's colours are kept there too
// (three bytes a pixel, the image's size); with dom given, the document as
// its scripts left it, serialized.
Rendered renderChromium(const std::string& svgOrHtml, int widthCss, int heightCss, int scale,
                        std::vector<uint8_t>* rgb = nullptr, std::string* dom = nullptr);

// What a page's script left in its <pre id="report"> element, read from
// the serialized document (renderChromium's dom); none when the element or
// its end is missing.
std::optional<std::string> scriptReport(const std::string& dom);

// A string the page's script wrote with encodeURIComponent, decoded.
std::string percentDecode(const std::string& s);

// How alike the ink (1 - gray) of two images of one size is. Both are
// blurred with a Gaussian of `sigmaPx` (about a stroke width, so that
// antialiasing and placement within a pixel hardly count), then:
// - the global figure 2*sum(a*b) / (sum(a*a) + sum(b*b)) over the whole
//   image: 1 for equal ink, lower for ink missing, added or moved;
// - the same figure over square tiles of `tilePx` laid every tilePx/2, the
//   worst one reported: one word out of place on a full page hardly moves
//   the global figure but ruins its tile. A tile whose ink is about
//   `tileFloorPx` pixels of full ink or less counts as alike, so that a
//   faint fringe of a neighbour's ink cannot decide;
// - the peak of |a - b| after the blur, in ink (0 to 1): the darkest blot of
//   the difference. A letter replaced by one of a like shape (o by a) keeps
//   most of its tile's figure but leaves a blot of a stroke's weight, while
//   two renderers of one page differ by thin fringes along the strokes.
struct InkCompareOptions {
    double sigmaPx = 2.0;
    int tilePx = 16;
    double tileFloorPx = 30;

    // The options for a resolution: sigma 0.75 pt (a stem of cmr10), tiles
    // of 6 pt (a letter or two of 10-point type), a floor of about 4 square
    // points of ink.
    static InkCompareOptions forDpi(int dpi);
};
struct InkReport {
    double global = 0;
    double worstTile = 0;
    int worstX = 0;  // the worst tile's top-left corner, pixels
    int worstY = 0;
    int tilePx = 0;
    double peakDifference = 0;
    int peakX = 0;  // where the peak is, pixels
    int peakY = 0;
    double sigmaPx = 0;
    std::string error;  // the images cannot be compared (sizes differ, empty)

    // One line for a failure message; with dpi given, places are also told
    // in TeX points from the DVI origin.
    std::string describe(int dpi = 0) const;
};
InkReport compareInk(const GrayImage& a, const GrayImage& b, const InkCompareOptions& options = {});

// The limits within which two pictures of a page count as the same page,
// chosen with tests/render at 192 dpi (Chromium at device scale 2), with the
// options for that resolution and dvipng oversampled 4 times. Measured there
// (global / worst tile / peak difference), against Chromium's picture:
//   dvipng's own picture of either page           1.0000 / 1.0000 / 0.000
//   page 1, 2 at twice the resolution, shrunk     0.9949 / 0.9444 / 0.100
//                                                 0.9920 / 0.9421 / 0.102
//   the page moved by a fifth of a point          0.9910 / 0.9475 / 0.101
//   an SVG in points against TeX's rules          0.9991 / 0.9869 / 0.060
// which must pass, and
//   the table's last rule removed                 0.9845 / 0.1493 / 0.238
//   one letter changed (brown to brawn)           1.0000 / 0.9244 / 0.232
//   the page moved right by 2pt                   0.7884 / 0.1529 / 0.468
//   the page moved down by 2pt                    0.6551 / 0.1963 / 0.581
//   one word moved right by 2pt                   0.9997 / 0.4579 / 0.362
//   one word raised by 2pt                        0.9954 / 0.2332 / 0.348
//   the SVG's rules 72.27/72 too far out          0.7851 / 0.0371 / 0.939
// which must not. The peak limit lies about halfway (x1.5 either way)
// between the worst that passes and the best that fails; the tile limit
// lies far from both, and so does the global one.
struct InkThresholds {
    double minGlobal = 0.90;
    double minWorstTile = 0.75;
    double maxPeakDifference = 0.16;
};
bool looksAlike(const InkReport& report, const InkThresholds& limits = {});

// Writes a PNG for a person to look at: `a`, `b` and their overlay side by
// side. In the overlay ink of both is black, ink of `a` only red, ink of `b`
// only blue; the worst tile of the report is framed in green.
bool writeComparison(const std::string& path, const GrayImage& a, const GrayImage& b, const InkReport& report);

}  // namespace morvex::testing
