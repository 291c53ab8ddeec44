#include "svg/text_document.h"

#include "base/version.h"
#include "text/conv.h"

namespace morvex {

namespace {

constexpr const char* kSvgNamespace = "xmlns=\"http://www.w3.org/2000/svg\"";

// A position in points: the product in single precision, the page margin
// added in double precision.
double toPoints(int32_t dvi, float ptPerDvi) {
    float scaled = static_cast<float>(dvi) * ptPerDvi;
    return static_cast<double>(scaled) + 72.27;
}

// A file name as it may stand in url(...) inside the style's CDATA section:
// every byte but those of plain names percent-encoded, so that no name can
// end the section, the url or the rule.
std::string urlPath(const std::string& path) {
    std::string s;
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.' || c == '~' || c == '/' || c == '+';
        if (plain) {
            s += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            s += hex;
        }
    }
    return s;
}

// Size in points of a scaled size in DVI units; sizes have no margin.
double pointSize(uint32_t s, float ptPerDvi) { return static_cast<double>(static_cast<float>(s) * ptPerDvi); }

}  // namespace

TextDocument::TextDocument(FileHandle svg, std::FILE* log, std::FILE* out)
    : svg(std::move(svg)), log(log), out(out) {}

void TextDocument::head() {
    std::fprintf(svg.get(), "<?xml %s %s standalone=\"yes\" ?>", "version=\"1.0\"", "encoding=\"utf-8\"");
    std::fprintf(svg.get(), "\n<!-- Generator: MORVEX version %s -->", kMorvexVersion);
}

void TextDocument::prologue(const DviFrame& frame, const std::string& fontsPath) {
    std::FILE* f = svg.get();
    ptPerDvi = frame.ptPerDvi;
    std::fprintf(f, "\n<!DOCTYPE svg SYSTEM %s [", "\"-//W3C//DTD SVG 1.1//EN\"");
    if (!frame.fontsComplete) return;
    for (const FontDef& def : frame.fonts) declared.set(static_cast<size_t>(def.number));
    for (const FontDef& def : frame.fonts)
        std::fprintf(f, "\n <!ENTITY st%d \"font-family:%s;font-size:%.2fpt;\">", def.number, def.name.c_str(),
                     pointSize(def.s, ptPerDvi));
    std::fprintf(f, "\n]>");

    double width = static_cast<double>(static_cast<float>(frame.u) * ptPerDvi) + 72.27;
    double height = static_cast<double>(static_cast<float>(frame.l) * ptPerDvi) + 72.27;
    std::fprintf(f,
                 "\n<svg width=\"%.2fpt\" height=\"%.2fpt\" %s\n     viewBox=\"0 0 %.2fpt %.2fpt\"\n     %s "
                 "xml:space=\"preserve\">",
                 width, height, "version=\"1.1\"", width, height, kSvgNamespace);

    std::fprintf(f, "\n<style type=\"text/css\">");
    std::fprintf(f, "\n<![CDATA[");
    const std::string url = urlPath(fontsPath);
    for (const FontDef& def : frame.fonts) {
        const char* name = def.name.c_str();
        std::fprintf(f, "\n @font-face{font-family:'%s';font-size:'%.2fpt';src:url(%s#%s)}", name,
                     pointSize(def.s, ptPerDvi), url.c_str(), urlPath(def.name).c_str());
    }
    std::fprintf(f, "\n]]>");
    std::fprintf(f, "\n</style>");
}

void TextDocument::end() {
    machine.closePage();
    std::fputs("\n</svg>\n", svg.get());
}

bool TextDocument::close() {
    if (!svg) return true;
    bool written = !std::ferror(svg.get());
    if (std::fclose(svg.release()) != 0) written = false;
    return written;
}

void TextDocument::openText(int32_t page) { std::fprintf(svg.get(), "\n<text id=\"page%d\">", page); }

// A font the postamble does not define has no style entity; its span names
// it in a style that needs none.
void TextDocument::openSpan(int32_t font) {
    if (font >= 0 && font < 256 && declared[static_cast<size_t>(font)])
        std::fprintf(svg.get(), "\n<tspan style=\"&st%d;\">", font);
    else
        std::fprintf(svg.get(), "\n<tspan style=\"font-family:undeclared-font-%d;\">", font);
}

void TextDocument::closeSpan() { std::fputs("\n</tspan>", svg.get()); }
void TextDocument::closeText() { std::fputs("\n</text>", svg.get()); }

void TextDocument::endRun(const TextRun& run) {
    double x = toPoints(run.startH, ptPerDvi);
    double y = toPoints(run.startV, ptPerDvi);
    conv(run.codes, convText, out);
    std::fprintf(svg.get(), "\n<tspan x=\"%.2fpt\" y=\"%.2fpt\">", x, y);
    std::fwrite(convText.data(), 1, convText.size(), svg.get());
    std::fputs("</tspan>", svg.get());
}

void TextDocument::pageBegin(int32_t count0, uint64_t) { machine.pageBegin(count0); }
void TextDocument::pageEnd() { machine.pageEnd(); }
void TextDocument::fontSelect(int32_t font) { machine.fontSelect(font); }
void TextDocument::character(const CharEvent& c) { machine.character(c.code, c.h, c.v); }
void TextDocument::movement(int32_t, int32_t) { machine.movement(); }
void TextDocument::special(const SpecialEvent&) { machine.other(); }
void TextDocument::plain(PlainCommand) { machine.other(); }

// Rules change no state: their rectangle, in DVI units and without a
// position, follows whatever markup stands open.
void TextDocument::rule(const RuleEvent& r) {
    machine.rule(r.width);
    std::fprintf(svg.get(), "\n<rect width=\"%d\" height=\"%d\"/>", r.width, r.height);
}

}  // namespace morvex
