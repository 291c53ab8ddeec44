#include "pictures/special_text.h"

#include <array>
#include <cctype>

namespace morvex::pictures {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view skipSpaces(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    return s;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

// The keys of special.pro's figure parameters; "clip" takes no value.
constexpr std::array<std::string_view, 14> kFigureKeys = {
    "hoffset", "voffset", "hsize", "vsize", "hscale", "vscale", "angle",
    "llx",     "lly",     "urx",   "ury",   "rwi",    "rhi",    "clip"};

bool knownFigureKey(std::string_view key) {
    for (std::string_view k : kFigureKeys)
        if (k == key) return true;
    return false;
}

// A plain decimal number: an optional sign, digits with at most one point.
bool plainNumber(std::string_view s) {
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    bool digit = false, point = false;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit && s.size() <= 24;
}

// The next word: up to a space.
std::string_view word(std::string_view& s) {
    s = skipSpaces(s);
    size_t n = 0;
    while (n < s.size() && !isSpace(s[n])) ++n;
    std::string_view w = s.substr(0, n);
    s.remove_prefix(n);
    return w;
}

ParsedSpecial problem(std::string why) { return ParsedSpecial{std::nullopt, std::move(why)}; }

ParsedSpecial figure(std::string_view rest) {
    PictureSpecial f;
    f.kind = SpecialKind::Figure;
    if (!rest.empty() && rest.front() == '"') {
        size_t close = rest.find('"', 1);
        if (close == std::string_view::npos) return problem("a figure name without its closing quote");
        f.file = std::string(rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
    } else {
        f.file = std::string(word(rest));
    }
    if (f.file.empty()) return problem("a figure without a file name");
    if (f.file.front() == '`') return problem("a figure made by a shell command, which is never run");
    while (!(rest = skipSpaces(rest)).empty()) {
        std::string_view w = word(rest);
        size_t eq = w.find('=');
        std::string_view key = w.substr(0, eq);
        if (!knownFigureKey(key)) continue;  // dvips warns and goes on
        if (key == "clip") {
            f.parameters.push_back({"clip", ""});
            continue;
        }
        std::string_view value = eq == std::string_view::npos ? std::string_view() : w.substr(eq + 1);
        if (!plainNumber(value)) return problem("a figure parameter that is not a number: " + std::string(w));
        f.parameters.push_back({std::string(key), std::string(value)});
    }
    return ParsedSpecial{std::move(f), {}};
}

// "{text}" at the front of s: text, s past it; none when unbalanced.
std::optional<std::string> braced(std::string_view& s) {
    s = skipSpaces(s);
    if (s.empty() || s.front() != '{') return std::nullopt;
    int depth = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '{') ++depth;
        if (s[i] == '}' && --depth == 0) {
            std::string text(s.substr(1, i - 1));
            s.remove_prefix(i + 1);
            return text;
        }
    }
    return std::nullopt;
}

ParsedSpecial header(std::string_view rest) {
    PictureSpecial h;
    h.kind = SpecialKind::Header;
    rest = skipSpaces(rest);
    if (!rest.empty() && rest.front() == '{') {
        // The extended form: every part in braces.
        std::optional<std::string> file = braced(rest);
        if (!file) return problem("a header name without its closing brace");
        h.file = *file;
        while (!(rest = skipSpaces(rest)).empty()) {
            std::string* part = startsWith(rest, "pre=") ? &h.pre : startsWith(rest, "post=") ? &h.post : nullptr;
            if (part == nullptr) return problem("a header part other than pre= and post=");
            rest.remove_prefix(rest.find('=') + 1);
            std::optional<std::string> text = braced(rest);
            if (!text) return problem("a header part without its braces");
            *part = *text;
        }
    } else {
        h.file = std::string(word(rest));
    }
    if (h.file.empty()) return problem("a header without a file name");
    return ParsedSpecial{std::move(h), {}};
}

ParsedSpecial code(SpecialKind kind, std::string_view text) {
    PictureSpecial s;
    s.kind = kind;
    s.code = std::string(text);
    return ParsedSpecial{std::move(s), {}};
}

}  // namespace

ParsedSpecial parsePictureSpecial(std::string_view text) {
    std::string_view s = skipSpaces(text);
    if (startsWith(s, "ps::[begin]")) return code(SpecialKind::PsBegin, s.substr(11));
    if (startsWith(s, "ps::[end]")) return code(SpecialKind::PsRaw, s.substr(9));
    if (startsWith(s, "ps::[nobreak]")) return code(SpecialKind::PsRaw, s.substr(13));
    if (startsWith(s, "ps::")) return code(SpecialKind::PsRaw, s.substr(4));
    if (startsWith(s, "ps:")) {
        std::string_view rest = s.substr(3);
        if (startsWith(skipSpaces(rest), "plotfile ")) return problem("a plotfile special, which is not drawn");
        return code(SpecialKind::Ps, rest);
    }
    if (startsWith(s, "\"")) return code(SpecialKind::Quote, s.substr(1));
    if (startsWith(s, "!")) return code(SpecialKind::Literal, s.substr(1));
    if (startsWith(s, "header=")) return header(s.substr(7));
    if (startsWithNoCase(s, "psfile=")) return figure(skipSpaces(s.substr(7)));
    return {};
}

std::string figureParameterCode(const std::vector<FigureParameter>& parameters) {
    std::string code;
    for (const FigureParameter& p : parameters) {
        if (!code.empty()) code += ' ';
        if (!p.value.empty()) code += p.value + ' ';
        code += '@' + p.key;
    }
    return code;
}

}  // namespace morvex::pictures
