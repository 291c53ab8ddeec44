#include "svg/paths_document.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/printable.h"
#include "base/version.h"
#include "text/conv.h"
#include "text/glyph_list.h"

namespace morvex {

namespace {

// A character of the invisible text stands in the temporary file as this
// byte, the font's index (4 bytes, little-endian) and the code, until the
// glyph names are known. No other byte of the markup is a control byte.
constexpr char kCharMark = '\x01';
constexpr size_t kCharRefSize = 6;
constexpr uint32_t kNoFont = 0xFFFFFFFFu;

// Coordinates are TeX points: three decimals are far below a device pixel.
constexpr int kPlaces = 3;

void appendNumber(std::string& out, double v, int places) {
    if (!std::isfinite(v)) v = 0;
    v = std::clamp(v, -1e15, 1e15);
    char buf[64];
    char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, places).ptr;
    if (places > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    std::string_view s(buf, static_cast<size_t>(end - buf));
    out.append(s == "-0" ? "0" : s);
}

std::string number(double v, int places = kPlaces) {
    std::string s;
    appendNumber(s, v, places);
    return s;
}

// An id prefix for a font's glyphs from its name: letters, digits, '-' and
// '.' kept, every other byte as _XX, so that distinct names give distinct
// ids (the code follows the last '-') and documents pasted into one HTML
// page share an id only for one glyph.
std::string glyphIdPrefix(const std::string& fontName) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string id = "mvx-";
    for (unsigned char c : fontName) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.') {
            id += static_cast<char>(c);
        } else {
            id += '_';
            id += kHex[c >> 4];
            id += kHex[c & 15];
        }
    }
    id += '-';
    return id;
}

// Attribute text from outside (path data read back from Ghostscript's
// output): the markup characters escaped, anything but printable ASCII a
// space.
std::string attributeText(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '&')
            s += "&amp;";
        else if (c == '<')
            s += "&lt;";
        else if (c == '"')
            s += "&quot;";
        else if (c < 0x20 || c > 0x7E)
            s += ' ';
        else
            s += static_cast<char>(c);
    }
    return s;
}

std::string escapedText(const std::u32string& chars) {
    std::string s;
    for (char32_t c : chars) {
        if (c == '&')
            s += "&amp;";
        else if (c == '<')
            s += "&lt;";
        else if (c == '>')
            s += "&gt;";
        else
            s += utf8(c);
    }
    return s;
}

// The text of a code whose glyph name stands for no character: conv's,
// with the one control character it keeps (DEL) moved to the private use
// area as conv moves the others.
std::string codeText(unsigned char code) {
    char32_t c = convCodePoint(code);
    return textCharacter(c) ? convCode(code) : utf8(0xE000 + code);
}

std::string hexColor(Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

// A file in the temporary directory that no one else sees: unlinked at
// once, closed on exec so that Ghostscript does not inherit it.
FileHandle anonymousFile() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string tmpl = (base / "morvex-text-XXXXXX").string();
    int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    unlink(tmpl.c_str());
    std::FILE* f = fdopen(fd, "w+b");
    if (f == nullptr) close(fd);
    return FileHandle(f);
}

// The glyph of a code, when the extraction gave one to draw.
const GlyphRecord* drawnGlyph(const GeneratedFont* font, size_t code) {
    const GlyphRecord* g = font != nullptr ? font->glyph(static_cast<int>(code)) : nullptr;
    if (g == nullptr || g->name == ".notdef" || g->outline.empty()) return nullptr;
    return g;
}

}  // namespace

PathsDocument::PathsDocument(FileHandle svg, std::FILE* log, std::FILE* out)
    : svg(std::move(svg)), log(log), out(out), textFile(anonymousFile()) {
    if (!textFile) std::fputs("\nCan not create a temporary file: the document has no invisible text.\n", out);
    // Each kind of special the document acts on, by its prefix.
    specials.add(ColorHandler::kPrefix, colors);
}

void PathsDocument::head() {
    std::fprintf(svg.get(), "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    std::fprintf(svg.get(), "\n<!-- Generator: MORVEX version %s, glyphs as paths -->", kMorvexVersion);
}

void PathsDocument::openRoot(double width, double height) {
    // The user unit is the TeX point; width and height say the same size
    // in PostScript points (1/72 in), the unit of SVG.
    constexpr double kPtPerTexPt = 72.0 / 72.27;
    std::fprintf(svg.get(),
                 "\n<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                 "version=\"1.1\"\n     width=\"%spt\" height=\"%spt\" viewBox=\"0 0 %s %s\">",
                 number(width * kPtPerTexPt, 6).c_str(), number(height * kPtPerTexPt, 6).c_str(),
                 number(width, 6).c_str(), number(height, 6).c_str());
    rootOpen = true;
}

void PathsDocument::prologue(const DviFrame& frame, int32_t selectedPage) {
    if (rootOpen) return;
    ptPerDvi = std::isfinite(frame.ptPerDvi) ? static_cast<double>(frame.ptPerDvi) : 0.0;
    const double width = frame.u * ptPerDvi + 72.27;
    pageHeight = frame.l * ptPerDvi + 72.27;
    // A number no page carries still gets an empty page box.
    auto pages = std::count(frame.pageNumbers.begin(), frame.pageNumbers.end(), selectedPage);
    openRoot(width, pageHeight * static_cast<double>(std::max<decltype(pages)>(pages, 1)));
}

void PathsDocument::pageBegin(int32_t count0) {
    if (!rootOpen) prologue(DviFrame{}, count0);
    closePage();
    pageOpen = true;
    pageNumber = count0;
    pageTop = static_cast<double>(pageIndex) * pageHeight;
    ++pageIndex;
    pageUses = pageRules = 0;
    if (pageTop == 0)
        std::fputs("\n<g>", svg.get());
    else
        std::fprintf(svg.get(), "\n<g transform=\"translate(0 %s)\">", number(pageTop).c_str());
    machine.pageBegin(count0);
}

void PathsDocument::closePage() {
    machine.closePage();
    if (!pageOpen) return;
    if (fillOpen) std::fputs("\n</g>", svg.get());
    fillOpen = false;
    std::fputs("\n</g>", svg.get());
    pageOpen = false;
    std::fprintf(log, "\nPaths: page %d (%llu of the document): %llu glyphs, %llu rules", pageNumber,
                 static_cast<unsigned long long>(pageIndex), static_cast<unsigned long long>(pageUses),
                 static_cast<unsigned long long>(pageRules));
}

void PathsDocument::pageEnd() {
    machine.pageEnd();
    closePage();
}

void PathsDocument::fontSelect(int32_t font) { machine.fontSelect(font); }
void PathsDocument::movement(int32_t, int32_t) { machine.movement(); }
void PathsDocument::plain(PlainCommand) { machine.other(); }

void PathsDocument::special(const SpecialEvent& special) {
    machine.other();
    specials.dispatch(special, true);
}

void PathsDocument::unselectedSpecial(const SpecialEvent& special) { specials.dispatch(special, false); }

// The group that gives the glyphs and rules that follow their colour, opened
// only once something is drawn in it.
void PathsDocument::useFill() {
    const Rgb want = colors.current();
    if (fillOpen && openFill == want) return;
    if (fillOpen) std::fputs("\n</g>", svg.get());
    std::fprintf(svg.get(), "\n<g fill=\"%s\">", hexColor(want).c_str());
    fillOpen = true;
    openFill = want;
}

uint32_t PathsDocument::fontIndex(const CharEvent& c) {
    FontSlot& slot = slots[static_cast<size_t>(c.font) & 0xFF];
    const FontDef& def = *c.fontDef;
    if (slot.valid && slot.s == def.s && slot.name == def.name) return slot.index;
    auto [it, added] = fontByName.try_emplace(def.name, static_cast<uint32_t>(fonts.size()));
    if (added) fonts.push_back({def.name, glyphIdPrefix(def.name), {}});
    slot.valid = true;
    slot.name = def.name;
    slot.s = def.s;
    slot.index = it->second;
    slot.transform = "\" transform=\"matrix(";
    const std::string size = number(def.s * ptPerDvi, 4);
    slot.transform += size + " 0 0 " + size + " ";
    return slot.index;
}

void PathsDocument::character(const CharEvent& c) {
    if (!pageOpen) {
        machine.character(c.code, c.h, c.v);
        return;
    }
    const unsigned char code = static_cast<unsigned char>(c.code & 0xFF);
    const uint32_t index = c.fontDef != nullptr ? fontIndex(c) : kNoFont;
    machine.character(c.code, c.h, c.v);
    if (textFile && machine.state() == SM_RUN) {
        if (runText.empty()) runSize = c.fontDef != nullptr ? c.fontDef->s : 0;
        runText += kCharMark;
        for (int i = 0; i < 4; ++i) runText += static_cast<char>((index >> (8 * i)) & 0xFF);
        runText += static_cast<char>(code);
        runWidth += c.advance;
    }
    if (index == kNoFont) return;
    UsedFont& font = fonts[index];
    font.codes.set(code);
    useFill();
    line = "\n<use xlink:href=\"#";
    line += font.id;
    line += std::to_string(code);
    line += slots[static_cast<size_t>(c.font) & 0xFF].transform;
    appendNumber(line, onPage(c.h), kPlaces);
    line += ' ';
    appendNumber(line, onPage(c.v), kPlaces);
    line += ")\"/>";
    std::fwrite(line.data(), 1, line.size(), svg.get());
    ++pageUses;
}

void PathsDocument::rule(const RuleEvent& r) {
    machine.rule(r.width);
    if (!pageOpen || r.height <= 0 || r.width <= 0) return;
    useFill();
    // The rule's bottom left corner is at (h, v) and it rises from there.
    line = "\n<rect x=\"";
    appendNumber(line, onPage(r.h), kPlaces);
    line += "\" y=\"";
    appendNumber(line, onPage(static_cast<double>(r.v) - r.height), kPlaces);
    line += "\" width=\"";
    appendNumber(line, r.width * ptPerDvi, kPlaces);
    line += "\" height=\"";
    appendNumber(line, r.height * ptPerDvi, kPlaces);
    line += "\"/>";
    std::fwrite(line.data(), 1, line.size(), svg.get());
    ++pageRules;
}

void PathsDocument::openText(int32_t) {
    lastRun = RunEnd{};
    if (!textFile) return;
    line = "\n<text fill=\"transparent\" xml:space=\"preserve\"";
    if (pageTop != 0) line += " transform=\"translate(0 " + number(pageTop) + ")\"";
    // Nothing stands between the elements inside the text but the spaces
    // that separate words: any other white space would be text too.
    line += '>';
    std::fwrite(line.data(), 1, line.size(), textFile.get());
}

void PathsDocument::openSpan(int32_t) {}
void PathsDocument::closeSpan() {}

void PathsDocument::closeText() {
    if (textFile) std::fputs("</text>", textFile.get());
}

// One element a run at the run's position, stretched to the run's width so
// that a selection covers the glyphs it copies. A gap of more than a thin
// space, or a new line, separates it from the run before by a space.
void PathsDocument::endRun(const TextRun& run) {
    if (!textFile) return;
    line.clear();
    if (lastRun.valid) {
        const double em = lastRun.size > 0 ? lastRun.size : 1.0;
        const double gap = static_cast<double>(run.startH) - static_cast<double>(lastRun.h);
        const double drop = std::abs(static_cast<double>(run.startV) - lastRun.v);
        if (drop > 0.8 * em || gap > 0.15 * em || gap < -em) line += ' ';
    }
    line += "<tspan\n x=\"";
    appendNumber(line, onPage(run.startH), kPlaces);
    line += "\" y=\"";
    appendNumber(line, onPage(run.startV), kPlaces);
    line += "\" font-size=\"";
    appendNumber(line, runSize > 0 ? runSize * ptPerDvi : 10.0, kPlaces);
    if (runWidth > 0) {
        line += "\" textLength=\"";
        appendNumber(line, static_cast<double>(runWidth) * ptPerDvi, kPlaces);
        line += "\" lengthAdjust=\"spacingAndGlyphs";
    }
    line += "\">";
    line += runText;
    line += "</tspan>";
    std::fwrite(line.data(), 1, line.size(), textFile.get());
    lastRun = {true, static_cast<int64_t>(run.startH) + runWidth, run.startV, runSize};
    runText.clear();
    runWidth = 0;
    runSize = 0;
}

void PathsDocument::end(const std::map<std::string, GeneratedFont>& glyphs, const GlyphList* names) {
    finish(&glyphs, names);
}

bool PathsDocument::close() {
    finish(nullptr, nullptr);
    textFile.reset();
    return closeChecked(svg);
}

void PathsDocument::finish(const std::map<std::string, GeneratedFont>* outlines, const GlyphList* names) {
    if (finished || !svg) return;
    finished = true;
    if (!rootOpen) openRoot(0, 0);
    closePage();
    writeText(outlines, names);
    writeDefs(outlines);
    std::fputs("\n</svg>\n", svg.get());
}

// The invisible text of every page, its characters now named: by the glyph
// list for the glyph names the fonts give, as conv writes them otherwise.
void PathsDocument::writeText(const std::map<std::string, GeneratedFont>* outlines, const GlyphList* names) {
    if (!textFile) return;
    if (outlines != nullptr && !outlines->empty() && names == nullptr)
        std::fputs("\nPaths: glyphlist.txt not found; the text is that of the codes", log);
    std::vector<std::array<std::string, 256>> texts(fonts.size());
    for (size_t i = 0; i < fonts.size(); ++i) {
        const GeneratedFont* font = nullptr;
        if (outlines != nullptr)
            if (auto it = outlines->find(fonts[i].name); it != outlines->end()) font = &it->second;
        for (size_t code = 0; code < 256; ++code) {
            if (!fonts[i].codes[code]) continue;
            std::optional<std::u32string> chars;
            const GlyphRecord* glyph = font != nullptr ? font->glyph(static_cast<int>(code)) : nullptr;
            if (names != nullptr && glyph != nullptr) chars = names->characters(glyph->name, fonts[i].name);
            texts[i][code] = chars ? escapedText(*chars) : codeText(static_cast<unsigned char>(code));
        }
    }
    std::array<std::string, 256> plain;
    for (size_t code = 0; code < 256; ++code) plain[code] = codeText(static_cast<unsigned char>(code));

    std::FILE* f = textFile.get();
    std::fflush(f);
    std::rewind(f);
    std::string pending;  // a reference cut by the end of a block
    std::vector<char> block(65536);
    size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), f)) > 0) {
        pending.append(block.data(), got);
        size_t at = 0;
        while (at < pending.size()) {
            size_t mark = pending.find(kCharMark, at);
            if (mark == std::string::npos) mark = pending.size();
            std::fwrite(pending.data() + at, 1, mark - at, svg.get());
            at = mark;
            if (at == pending.size() || pending.size() - at < kCharRefSize) break;
            uint32_t index = 0;
            for (int i = 0; i < 4; ++i)
                index |= static_cast<uint32_t>(static_cast<unsigned char>(pending[at + 1 + i])) << (8 * i);
            const auto code = static_cast<unsigned char>(pending[at + 5]);
            const std::string& text = index < texts.size() ? texts[index][code] : plain[code];
            std::fputs(text.c_str(), svg.get());
            at += kCharRefSize;
        }
        pending.erase(0, at);
    }
    if (std::ferror(f)) std::fputs("\nCan not read back the invisible text of the document.\n", out);
}

// Each glyph the pages use, once, in units of the em with y down, so that a
// use scales it by the font's size. A glyph the fonts do not have is an
// empty group: its uses draw nothing.
void PathsDocument::writeDefs(const std::map<std::string, GeneratedFont>* outlines) {
    std::fputs("\nPaths: glyphs defined:", log);
    bool any = false;
    for (const UsedFont& font : fonts) {
        if (font.codes.none()) continue;
        if (!any) std::fputs("\n<defs>", svg.get());
        any = true;
        const GeneratedFont* outline = nullptr;
        if (outlines != nullptr)
            if (auto it = outlines->find(font.name); it != outlines->end()) outline = &it->second;
        std::fprintf(log, " %s[", printable(font.name).c_str());
        std::string scale;
        if (outline != nullptr) {
            const double upm = outline->unitsPerEm.value;
            const double unit = upm > 0 ? 1.0 / upm : 0.001;
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.9g", unit);
            scale = std::string(" transform=\"scale(") + buf + " -" + buf + ")\"";
        }
        bool first = true;
        for (size_t code = 0; code < 256; ++code) {
            if (!font.codes[code]) continue;
            const GlyphRecord* g = drawnGlyph(outline, code);
            std::fprintf(log, "%s%zu=%s", first ? "" : " ", code,
                         g != nullptr ? printable(g->name).c_str() : "(none)");
            first = false;
            line = "\n<";
            line += g != nullptr ? "path" : "g";
            line += " id=\"" + font.id + std::to_string(code) + "\"";
            if (g != nullptr) line += scale + " d=\"" + attributeText(g->outline) + "\"";
            line += "/>";
            std::fwrite(line.data(), 1, line.size(), svg.get());
        }
        std::fputc(']', log);
    }
    if (any) std::fputs("\n</defs>", svg.get());
}

}  // namespace morvex
