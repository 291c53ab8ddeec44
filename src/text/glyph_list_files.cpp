// Reading the glyph list files: pdftex's \pdfglyphtounicode lines and the
// NAME;XXXX lines of glyphlist.txt and texglyphlist.txt. Every file is
// input from outside: a line that does not fit is skipped whole.
#include <vector>

#include "text/glyph_code_points.h"
#include "text/glyph_list.h"

namespace morvex {

namespace {

// PostScript limits a name to 127 characters; a font's entry in pdftex's
// list ("tfm:cmmi10/phi") fits too. A name longer is no glyph's.
constexpr std::size_t kMaxNameBytes = 127;
// The longest sequence the lists give a name is a few characters.
constexpr std::size_t kMaxCharacters = 16;

constexpr std::string_view kPdftexCommand = "\\pdfglyphtounicode{";

// Printable ASCII without the space: what a glyph name is made of.
bool validName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes) return false;
    for (char c : name)
        if (c <= ' ' || c > '~') return false;
    return true;
}

// The lines of a text, their line ends (LF or CRLF) removed.
template <class Each>
void eachLine(std::string_view text, Each each) {
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        each(line);
    }
}

// Groups of four digits or more (up to six) separated by single spaces, a
// space at the end allowed; nullopt when any group is not hex or there are
// too many. fourOnly: every group exactly four digits.
std::optional<std::u32string> hexGroups(std::string_view values, bool fourOnly) {
    std::u32string out;
    while (!values.empty()) {
        std::size_t space = values.find(' ');
        std::string_view group = values.substr(0, space);
        values = space == std::string_view::npos ? std::string_view() : values.substr(space + 1);
        // Beyond four digits only for code points beyond the BMP, so that a
        // value has one spelling.
        std::optional<char32_t> c = hexCodePoint(group);
        if (!c || group.size() < 4 || (group.size() > 4 && (fourOnly || *c <= 0xFFFF))) return std::nullopt;
        if (out.size() == kMaxCharacters) return std::nullopt;
        out.push_back(*c);
    }
    if (out.empty()) return std::nullopt;
    return out;
}

// UTF-16 units to code points: a high surrogate and a low one make one
// character; a surrogate alone makes the whole sequence void.
std::optional<std::u32string> fromUtf16(const std::u32string& units) {
    std::u32string chars;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            chars += 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (surrogate(u)) {
            return std::nullopt;
        } else {
            chars += u;
        }
    }
    return chars;
}

// The characters of one alternative of glyphlist.txt's form, when every one
// is text.
std::optional<std::u32string> alternative(std::string_view values) {
    std::optional<std::u32string> chars = hexGroups(values, false);
    if (!chars) return std::nullopt;
    for (char32_t c : *chars)
        if (!textCharacter(c)) return std::nullopt;
    return chars;
}

std::u32string withoutMarks(const std::u32string& chars) {
    std::u32string kept;
    for (char32_t c : chars)
        if (!zeroWidthMark(c)) kept += c;
    return kept;
}

}  // namespace

void GlyphList::add(std::string_view name, const std::u32string& chars) {
    if (!validName(name) || find(name) != nullptr) return;
    for (char32_t c : chars)
        if (!textCharacter(c)) return;
    names.emplace(std::string(name), withoutMarks(chars));
}

void GlyphList::addPdftexList(std::string_view text) {
    eachLine(text, [this](std::string_view line) {
        if (line.substr(0, kPdftexCommand.size()) != kPdftexCommand) return;
        line.remove_prefix(kPdftexCommand.size());
        const std::size_t nameEnd = line.find('}');
        if (nameEnd == std::string_view::npos || line.substr(nameEnd, 2) != "}{") return;
        const std::string_view name = line.substr(0, nameEnd);
        line.remove_prefix(nameEnd + 2);
        const std::size_t valuesEnd = line.find('}');
        if (valuesEnd == std::string_view::npos) return;
        const std::string_view values = line.substr(0, valuesEnd);
        // After the command only blanks and a comment.
        std::string_view rest = line.substr(valuesEnd + 1);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
        if (!rest.empty() && rest.front() != '%') return;
        std::optional<std::u32string> units = hexGroups(values, true);
        if (!units) return;
        std::optional<std::u32string> chars = fromUtf16(*units);
        if (chars) add(name, *chars);
    });
}

void GlyphList::addGlyphList(std::string_view text) {
    eachLine(text, [this](std::string_view line) {
        if (line.empty() || line.front() == '#') return;
        const std::size_t semi = line.find(';');
        if (semi == std::string_view::npos) return;
        const std::string_view name = line.substr(0, semi);
        std::string_view values = line.substr(semi + 1);
        // Most names of the later lists are known by then: no need to read
        // their values, unless they name alternatives.
        if (values.find(',') == std::string_view::npos && find(name) != nullptr) return;
        std::vector<std::u32string> alternatives;
        while (!values.empty() && alternatives.size() < kMaxCharacters) {
            const std::size_t comma = values.find(',');
            if (std::optional<std::u32string> chars = alternative(values.substr(0, comma)))
                alternatives.push_back(std::move(*chars));
            values = comma == std::string_view::npos ? std::string_view() : values.substr(comma + 1);
        }
        if (alternatives.empty()) return;
        // A line that names alternatives lists what the name may stand for;
        // an earlier list that gives none of them is wrong there (pdftex's
        // gives Digamma a surrogate pair that is not U+1D7CB's).
        if (alternatives.size() > 1)
            if (auto it = names.find(name); it != names.end()) {
                bool listed = false;
                for (const std::u32string& chars : alternatives) listed = listed || withoutMarks(chars) == it->second;
                if (!listed) names.erase(it);
            }
        add(name, alternatives.front());
    });
}

GlyphList GlyphList::parse(std::string_view text) {
    GlyphList list;
    list.addGlyphList(text);
    return list;
}

}  // namespace morvex
