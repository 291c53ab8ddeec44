#include "support/render.h"

#include <png.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

#include "support/process.h"

namespace morvex::testing {
namespace {

constexpr double kTexPtPerInch = 72.27;
constexpr int kCssPxPerInch = 96;
// Wall-clock limits: a renderer that hangs fails the test instead of
// stopping the suite.
constexpr const char* kDvipngSeconds = "120";
constexpr const char* kChromiumSeconds = "90";

std::string lowerSuffix(const std::string& s, size_t n) {
    std::string t = s.size() >= n ? s.substr(s.size() - n) : s;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return t;
}

// An absolute, resolved path, or "" when the file does not exist.
std::string absolutePath(const std::string& path) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// A file URL for an absolute path: every byte other than unreserved ones
// and '/' is percent-encoded, so no name can break out of the URL or of an
// HTML attribute.
std::string fileUrl(const std::string& absPath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : absPath) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

// The SVG document from its root element on: the byte order mark, the XML
// declaration, comments and the document type declaration before the root
// are dropped (they may not stand inside another document). False when no
// element follows them.
bool svgRootElement(const std::string& svg, std::string& root) {
    size_t at = svg.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (true) {
        at = svg.find_first_not_of(" \t\r\n", at);
        if (at == std::string::npos || svg[at] != '<' || at + 1 >= svg.size()) return false;
        size_t end = std::string::npos;
        if (svg.compare(at, 2, "<?") == 0) {
            end = svg.find("?>", at);
            if (end != std::string::npos) end += 2;
        } else if (svg.compare(at, 4, "<!--") == 0) {
            end = svg.find("-->", at + 4);
            if (end != std::string::npos) end += 3;
        } else if (svg.compare(at, 9, "<!DOCTYPE") == 0) {
            size_t close = svg.find_first_of("[>", at);
            if (close != std::string::npos && svg[close] == '[') close = svg.find("]", close);
            end = close == std::string::npos ? close : svg.find('>', close);
            if (end != std::string::npos) end += 1;
        } else {
            root = svg.substr(at);
            return true;
        }
        if (end == std::string::npos) return false;
        at = end;
    }
}

std::string lastLines(const std::string& text, size_t maxChars = 600) {
    return text.size() <= maxChars ? text : "..." + text.substr(text.size() - maxChars);
}

uint32_t beU4(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// Ink (1 - gray) as floats.
std::vector<float> inkOf(const GrayImage& image) {
    std::vector<float> ink(image.pixels.size());
    for (size_t i = 0; i < ink.size(); ++i) ink[i] = 1.0f - image.pixels[i] / 255.0f;
    return ink;
}

// A separable Gaussian blur; outside the image there is no ink.
std::vector<float> blur(const std::vector<float>& in, int width, int height, double sigma) {
    if (sigma <= 0) return in;
    int radius = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> kernel(2 * radius + 1);
    double total = 0;
    for (int i = -radius; i <= radius; ++i) {
        kernel[i + radius] = static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)));
        total += kernel[i + radius];
    }
    for (auto& k : kernel) k = static_cast<float>(k / total);

    std::vector<float> rows(in.size(), 0.0f);
    for (int y = 0; y < height; ++y) {
        const float* src = &in[static_cast<size_t>(y) * width];
        float* dst = &rows[static_cast<size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            float v = src[x];
            if (v == 0.0f) continue;
            int lo = std::max(-radius, -x), hi = std::min(radius, width - 1 - x);
            for (int i = lo; i <= hi; ++i) dst[x + i] += v * kernel[i + radius];
        }
    }
    std::vector<float> out(in.size(), 0.0f);
    for (int y = 0; y < height; ++y) {
        int lo = std::max(-radius, -y), hi = std::min(radius, height - 1 - y);
        for (int i = lo; i <= hi; ++i) {
            const float* src = &rows[static_cast<size_t>(y) * width];
            float* dst = &out[static_cast<size_t>(y + i) * width];
            float k = kernel[i + radius];
            for (int x = 0; x < width; ++x) dst[x] += src[x] * k;
        }
    }
    return out;
}

struct Sums {
    double ab = 0, aa = 0, bb = 0;
    Sums& operator+=(const Sums& o) {
        ab += o.ab;
        aa += o.aa;
        bb += o.bb;
        return *this;
    }
};

double similarity(const Sums& s, double floor) { return (2 * s.ab + floor) / (s.aa + s.bb + floor); }

// Each factor x factor square of pixels becomes one pixel of their mean: the
// palette is linear, so the mean is the square's ink coverage.
GrayImage shrink(const GrayImage& fine, int factor) {
    GrayImage out(fine.width / factor, fine.height / factor);
    int area = factor * factor;
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int sum = 0;
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx) sum += fine.at(x * factor + dx, y * factor + dy);
            out.at(x, y) = static_cast<uint8_t>((sum + area / 2) / area);
        }
    }
    return out;
}

}  // namespace

Rendered readPng(const std::string& path) {
    Rendered r;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        r.error = "cannot read PNG " + path + ": " + png.message;
        return r;
    }
    png.format = PNG_FORMAT_GRAY;
    if (png.width == 0 || png.height == 0 || png.width > 20000 || png.height > 20000) {
        png_image_free(&png);
        r.error = "PNG of an unreasonable size: " + path;
        return r;
    }
    GrayImage image(static_cast<int>(png.width), static_cast<int>(png.height));
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&png, &white, image.pixels.data(), 0, nullptr)) {
        r.error = "cannot decode PNG " + path + ": " + png.message;
        png_image_free(&png);
        return r;
    }
    r.image = std::move(image);
    return r;
}

bool readRgbPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    png.format = PNG_FORMAT_RGB;
    if (png.width == 0 || png.height == 0 || png.width > 20000 || png.height > 20000) {
        png_image_free(&png);
        return false;
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(png.width) * png.height * 3);
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&png, &white, pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return false;
    }
    width = static_cast<int>(png.width);
    height = static_cast<int>(png.height);
    rgb = std::move(pixels);
    return true;
}

bool writePng(const std::string& path, const GrayImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_GRAY;
    return png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr) != 0;
}

bool writeRgbPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    if (rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3) return false;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

GrayImage crop(const GrayImage& image, int x, int y, int width, int height) {
    GrayImage out(std::max(width, 0), std::max(height, 0));
    for (int row = 0; row < out.height; ++row) {
        int sy = y + row;
        if (sy < 0 || sy >= image.height) continue;
        for (int col = 0; col < out.width; ++col) {
            int sx = x + col;
            if (sx >= 0 && sx < image.width) out.at(col, row) = image.at(sx, sy);
        }
    }
    return out;
}

int PageBox::cssWidth() const { return static_cast<int>(std::ceil(widthPt / kTexPtPerInch * kCssPxPerInch - 1e-9)); }
int PageBox::cssHeight() const { return static_cast<int>(std::ceil(heightPt / kTexPtPerInch * kCssPxPerInch - 1e-9)); }

PageBox readPageBox(const std::string& dviPath) {
    PageBox box;
    std::ifstream in(dviPath, std::ios::binary);
    if (!in) {
        box.error = "cannot open " + dviPath;
        return box;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    // The trailer: post_post, q[4], the identification byte 2, and at least
    // four bytes 223. Only the last kilobyte is looked at for it.
    std::streamoff tailSize = std::min<std::streamoff>(size, 1024);
    if (size < 0 || tailSize < 10) {
        box.error = "too short for a DVI file: " + dviPath;
        return box;
    }
    std::vector<unsigned char> tail(static_cast<size_t>(tailSize));
    in.seekg(size - tailSize);
    in.read(reinterpret_cast<char*>(tail.data()), tailSize);
    size_t end = tail.size();
    size_t fill = 0;
    while (end > 0 && tail[end - 1] == 223) {
        --end;
        ++fill;
    }
    if (fill < 4 || end < 6 || tail[end - 1] != 2 || tail[end - 6] != 249) {
        box.error = "no DVI trailer at the end of " + dviPath;
        return box;
    }
    uint32_t post = beU4(&tail[end - 5]);
    unsigned char p[29];
    if (static_cast<std::streamoff>(post) + 29 > size) {
        box.error = "postamble pointer beyond the end of " + dviPath;
        return box;
    }
    in.seekg(post);
    in.read(reinterpret_cast<char*>(p), sizeof p);
    if (!in || p[0] != 248) {
        box.error = "no postamble where the trailer points in " + dviPath;
        return box;
    }
    uint32_t num = beU4(p + 5), den = beU4(p + 9), mag = beU4(p + 13);
    if (num == 0 || den == 0 || mag == 0 || num > 0x7fffffffu || den > 0x7fffffffu || mag > 0x7fffffffu) {
        box.error = "postamble with a zero or negative num, den or mag in " + dviPath;
        return box;
    }
    box.maxHeightDepth = beU4(p + 17);
    box.maxWidth = beU4(p + 21);
    // num/den is in units of 1e-7 m per DVI unit; an inch is 254000 of them.
    box.ptPerDvi = static_cast<double>(num) / den * (mag / 1000.0) * kTexPtPerInch / 254000.0;
    box.widthPt = box.maxWidth * box.ptPerDvi + kTexPtPerInch;
    box.heightPt = box.maxHeightDepth * box.ptPerDvi + kTexPtPerInch;
    return box;
}

Rendered renderDvipng(const std::string& dviPath, int page, int dpi, int widthPx, int heightPx, int oversample) {
    Rendered r;
    if (dpi < 10 || oversample < 1 || oversample > 8 || dpi * oversample > 4800) {
        r.error = "resolution out of range: " + std::to_string(dpi) + " dpi, oversampled " + std::to_string(oversample);
        return r;
    }
    std::string dvi = absolutePath(dviPath);
    if (dvi.empty()) {
        r.error = "no DVI file " + dviPath;
        return r;
    }
    if (widthPx <= 0 || heightPx <= 0) {
        PageBox box = readPageBox(dvi);
        if (!box.ok()) {
            r.error = box.error;
            return r;
        }
        if (widthPx <= 0) widthPx = static_cast<int>(std::ceil(box.widthPt / kTexPtPerInch * dpi - 1e-9));
        if (heightPx <= 0) heightPx = static_cast<int>(std::ceil(box.heightPt / kTexPtPerInch * dpi - 1e-9));
    }
    if (widthPx > 16000 / oversample || heightPx > 16000 / oversample) {
        r.error = "image too large";
        return r;
    }
    TempDir dir;
    if (dir.path.empty()) {
        r.error = "cannot make a temporary directory";
        return r;
    }
    // dvipng cuts the -T size down to whole pixels: half a pixel more gives
    // exactly the pixels asked for. With -T the origin would sit at the
    // corner; -O puts it one inch in.
    int fineDpi = dpi * oversample, fineWidth = widthPx * oversample, fineHeight = heightPx * oversample;
    char size[64];
    std::snprintf(size, sizeof size, "%.6fin,%.6fin", (fineWidth + 0.5) / fineDpi, (fineHeight + 0.5) / fineDpi);
    // -pp with a range of one number selects pages by \count0 (also a
    // negative one); -p and -l do not do that reliably. Every page with that
    // number is written as page<n>.png, n its place in the file: the lowest
    // n is the first such page.
    std::string pageArg = std::to_string(page);
    ProcessResult run = runProcess({"timeout", "-k", "5", kDvipngSeconds, "dvipng", "-q", "-D", std::to_string(fineDpi),
                                    "-O", "1in,1in", "-T", size, "-pp", pageArg + "-" + pageArg, "--freetype",
                                    "--gamma", "1", "-bg", "rgb 1 1 1", "-fg", "rgb 0 0 0", "-o",
                                    dir.file("page%d.png"), dvi},
                                   dir.path);
    if (run.exitCode != 0) {
        r.error = "dvipng exited with " + std::to_string(run.exitCode) + ": " + lastLines(run.out + run.err);
        return r;
    }
    long first = 0;
    for (const std::string& name : filesIn(dir.path)) {
        if (name.size() < 9 || name.compare(0, 4, "page") != 0 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
        std::string digits = name.substr(4, name.size() - 8);
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        long n = std::stol(digits);
        if (first == 0 || n < first) first = n;
    }
    if (first == 0) {
        r.error = "dvipng rendered no page numbered " + pageArg + " of " + dviPath + ": " + lastLines(run.out + run.err);
        return r;
    }
    r = readPng(dir.file("page" + std::to_string(first) + ".png"));
    if (!r.ok()) return r;
    if (r.image.width != fineWidth || r.image.height != fineHeight) {
        r.error = "dvipng made " + std::to_string(r.image.width) + "x" + std::to_string(r.image.height) +
                  " pixels instead of " + std::to_string(fineWidth) + "x" + std::to_string(fineHeight);
        return r;
    }
    if (oversample > 1) r.image = shrink(r.image, oversample);
    return r;
}

Rendered renderChromium(const std::string& svgOrHtml, int widthCss, int heightCss, int scale,
                        std::vector<uint8_t>* rgb, std::string* dom) {
    Rendered r;
    if (widthCss <= 0 || heightCss <= 0 || scale <= 0 || scale > 8 || widthCss * scale > 16000 ||
        heightCss * scale > 16000) {
        r.error = "window size out of range";
        return r;
    }
    std::string doc = absolutePath(svgOrHtml);
    if (doc.empty()) {
        r.error = "no document " + svgOrHtml;
        return r;
    }
    TempDir dir;
    if (dir.path.empty()) {
        r.error = "cannot make a temporary directory";
        return r;
    }
    if (lowerSuffix(doc, 4) == ".svg") {
        // The SVG goes inline into an XHTML page: the XML parser reads it
        // (a document that is not well-formed shows as an error, as it
        // would on its own), and it is drawn at its exact size. As an <img>
        // or a document of its own Chromium rounds that size to whole
        // device pixels, which stretches the page by up to half a pixel.
        // As for an <img>, nothing outside the document is loaded and no
        // script runs: a document that is not self-contained shows gaps.
        std::string svg = readFile(doc);
        std::string body;
        if (!svgRootElement(svg, body)) {
            r.error = "no SVG root element in " + svgOrHtml;
            return r;
        }
        std::string html = dir.file("page.xhtml");
        std::ofstream page(html, std::ios::binary);
        page << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
                "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                "style-src 'unsafe-inline'; img-src data:\"/><style>"
                "html,body{margin:0;padding:0;background:#fff;overflow:hidden}svg{display:block}"
                "</style></head><body>"
             << body << "</body></html>\n";
        if (!page) {
            r.error = "cannot write " + html;
            return r;
        }
        doc = html;
    }
    std::string shot = dir.file("shot.png");
    // A fresh profile and home for every run: nothing is shared between
    // runs or with the user's own browser. The sandbox cannot work as root;
    // the GPU, networking and the first-run machinery are off so that
    // nothing waits for what this machine lacks.
    std::vector<std::string> args = {
        "env", "HOME=" + dir.path, "XDG_CONFIG_HOME=" + dir.file("config"), "XDG_CACHE_HOME=" + dir.file("cache"),
        "timeout", "-k", "5", kChromiumSeconds, "chromium", "--headless", "--no-sandbox", "--disable-gpu",
        "--disable-quic", "--no-first-run", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--disable-extensions", "--disable-dev-shm-usage", "--disable-breakpad",
        "--user-data-dir=" + dir.file("profile"), "--hide-scrollbars", "--screenshot=" + shot,
        "--window-size=" + std::to_string(widthCss) + "," + std::to_string(heightCss),
        "--force-device-scale-factor=" + std::to_string(scale)};
    if (dom != nullptr) args.push_back("--dump-dom");
    args.push_back(fileUrl(doc));
    ProcessResult run = runProcess(args, dir.path);
    if (dom != nullptr) *dom = run.out;
    if (run.exitCode != 0) {
        r.error = "chromium exited with " + std::to_string(run.exitCode) + ": " + lastLines(run.err);
        return r;
    }
    r = readPng(shot);
    if (!r.ok()) {
        r.error = "chromium wrote no screenshot: " + r.error + " " + lastLines(run.err);
        return r;
    }
    if (r.image.width != widthCss * scale || r.image.height != heightCss * scale) {
        r.error = "chromium made " + std::to_string(r.image.width) + "x" + std::to_string(r.image.height) +
                  " pixels instead of " + std::to_string(widthCss * scale) + "x" +
                  std::to_string(heightCss * scale);
        return r;
    }
    int w = 0, h = 0;
    if (rgb != nullptr && !readRgbPng(shot, w, h, *rgb)) r.error = "cannot read the colours of " + shot;
    return r;
}

InkReport compareInk(const GrayImage& a, const GrayImage& b, const InkCompareOptions& options) {
    InkReport report;
    report.sigmaPx = options.sigmaPx;
    int half = std::max(1, options.tilePx / 2);
    report.tilePx = 2 * half;
    if (a.empty() || b.empty() || a.width != b.width || a.height != b.height) {
        report.error = "cannot compare a " + std::to_string(a.width) + "x" + std::to_string(a.height) + " with a " +
                       std::to_string(b.width) + "x" + std::to_string(b.height) + " image";
        return report;
    }
    int w = a.width, h = a.height;
    std::vector<float> inkA = blur(inkOf(a), w, h, options.sigmaPx);
    std::vector<float> inkB = blur(inkOf(b), w, h, options.sigmaPx);

    // Sums over cells of half a tile; a tile is two by two cells.
    int cellsX = (w + half - 1) / half, cellsY = (h + half - 1) / half;
    std::vector<Sums> cells(static_cast<size_t>(cellsX) * cellsY);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            size_t i = static_cast<size_t>(y) * w + x;
            double va = inkA[i], vb = inkB[i];
            Sums& c = cells[static_cast<size_t>(y / half) * cellsX + x / half];
            c.ab += va * vb;
            c.aa += va * va;
            c.bb += vb * vb;
        }
    }
    Sums all;
    for (const Sums& c : cells) all += c;
    // One pixel of full ink, blurred, has the energy 1 / (4 pi sigma^2).
    double sigma = std::max(options.sigmaPx, 0.5);
    double floor = options.tileFloorPx / (4 * M_PI * sigma * sigma);
    report.global = similarity(all, floor);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            size_t i = static_cast<size_t>(y) * w + x;
            double d = std::fabs(inkA[i] - inkB[i]);
            if (d > report.peakDifference) {
                report.peakDifference = d;
                report.peakX = x;
                report.peakY = y;
            }
        }
    }
    report.worstTile = 1.0;
    for (int ty = 0; ty < std::max(1, cellsY - 1); ++ty) {
        for (int tx = 0; tx < std::max(1, cellsX - 1); ++tx) {
            Sums t;
            for (int dy = 0; dy < 2 && ty + dy < cellsY; ++dy)
                for (int dx = 0; dx < 2 && tx + dx < cellsX; ++dx)
                    t += cells[static_cast<size_t>(ty + dy) * cellsX + tx + dx];
            double s = similarity(t, floor);
            if (s < report.worstTile) {
                report.worstTile = s;
                report.worstX = tx * half;
                report.worstY = ty * half;
            }
        }
    }
    return report;
}

InkCompareOptions InkCompareOptions::forDpi(int dpi) {
    InkCompareOptions options;
    options.sigmaPx = 0.75 * dpi / kTexPtPerInch;
    options.tilePx = std::max(2, static_cast<int>(std::lround(6 * dpi / kTexPtPerInch)));
    // About 4 square points of ink, 30 pixels at 192 dpi.
    double pxPerPt = dpi / kTexPtPerInch;
    options.tileFloorPx = 4.25 * pxPerPt * pxPerPt;
    return options;
}

bool looksAlike(const InkReport& report, const InkThresholds& limits) {
    return report.error.empty() && report.global >= limits.minGlobal && report.worstTile >= limits.minWorstTile &&
           report.peakDifference <= limits.maxPeakDifference;
}

std::string InkReport::describe(int dpi) const {
    if (!error.empty()) return error;
    auto place = [dpi](int x, int y) {
        char at[96];
        if (dpi > 0) {
            std::snprintf(at, sizeof at, "pixel (%d,%d) = (%.1fpt,%.1fpt) from the DVI origin", x, y,
                          (x - dpi) * kTexPtPerInch / dpi, (y - dpi) * kTexPtPerInch / dpi);
        } else {
            std::snprintf(at, sizeof at, "pixel (%d,%d)", x, y);
        }
        return std::string(at);
    };
    char line[160];
    std::snprintf(line, sizeof line, "ink: global %.4f, worst tile %.4f (%dpx) at ", global, worstTile, tilePx);
    std::string text = line + place(worstX, worstY);
    std::snprintf(line, sizeof line, ", peak difference %.3f at ", peakDifference);
    text += line + place(peakX, peakY);
    std::snprintf(line, sizeof line, " (blur sigma %.2fpx)", sigmaPx);
    text += line;
    return text;
}

bool writeComparison(const std::string& path, const GrayImage& a, const GrayImage& b, const InkReport& report) {
    constexpr int kGap = 8;
    int w = std::max(a.width, b.width), h = std::max(a.height, b.height);
    if (w <= 0 || h <= 0) return false;
    int total = 3 * w + 2 * kGap;
    std::vector<uint8_t> rgb(static_cast<size_t>(total) * h * 3, 160);
    auto put = [&](int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
        size_t i = (static_cast<size_t>(y) * total + x) * 3;
        rgb[i] = red;
        rgb[i + 1] = green;
        rgb[i + 2] = blue;
    };
    auto gray = [](const GrayImage& im, int x, int y) -> uint8_t {
        return x < im.width && y < im.height ? im.at(x, y) : 255;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t ga = gray(a, x, y), gb = gray(b, x, y);
            put(x, y, ga, ga, ga);
            put(w + kGap + x, y, gb, gb, gb);
            // Where both have ink: black; a only: red; b only: blue.
            put(2 * (w + kGap) + x, y, gb, std::min(ga, gb), ga);
        }
    }
    if (report.error.empty() && report.tilePx > 0 && report.worstTile < 1.0) {
        for (int panel = 0; panel < 3; ++panel) {
            int x0 = panel * (w + kGap) + report.worstX, y0 = report.worstY;
            int x1 = std::min(x0 + report.tilePx, panel * (w + kGap) + w) - 1, y1 = std::min(y0 + report.tilePx, h) - 1;
            for (int x = x0; x <= x1; ++x) {
                put(x, y0, 0, 200, 0);
                put(x, y1, 0, 200, 0);
            }
            for (int y = y0; y <= y1; ++y) {
                put(x0, y, 0, 200, 0);
                put(x1, y, 0, 200, 0);
            }
        }
    }
    return writeRgbPng(path, total, h, rgb);
}

std::optional<std::string> scriptReport(const std::string& dom) {
    const size_t from = dom.find("<pre id=\"report\"");
    if (from == std::string::npos) return std::nullopt;
    const size_t start = dom.find('>', from);
    const size_t to = dom.find("</pre>", from);
    if (start == std::string::npos || to == std::string::npos || to < start) return std::nullopt;
    return dom.substr(start + 1, to - start - 1);
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace morvex::testing
