#include "fonts/psmap.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace morvex {

namespace {

bool isCommentStart(int c) { return c == ' ' || c == '#' || c == '%' || c == '*' || c == ';'; }

// Reads the rest of a line after its first character c; the newline is
// consumed but not kept. The end of the map ends the line as well.
std::string readLine(std::FILE* map, int c) {
    std::string line(1, static_cast<char>(c));
    while ((c = std::getc(map)) != EOF && c != '\n') line += static_cast<char>(c);
    return line;
}

// Text into the trace with every byte kept (a zero byte included).
void traceText(std::FILE* log, const std::string& s) { std::fwrite(s.data(), 1, s.size(), log); }

// One trace line of named values: psmap: a='...' b='...'
void traceFields(std::FILE* log, std::initializer_list<std::pair<const char*, const std::string*>> fields) {
    const char* separator = "psmap: ";
    for (const auto& [name, value] : fields) {
        std::fprintf(log, "%s%s='", separator, name);
        traceText(log, *value);
        std::fputc('\'', log);
        separator = " ";
    }
    std::fputc('\n', log);
}

// A plain decimal number: what a map line writes before SlantFont or
// ExtendFont. Anything else (exponents, hex, names) is not taken.
bool plainDecimal(const std::string& s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            ++digits;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits > 0 && digits <= 12;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The words of a quoted text, split at blanks and tabs.
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> w;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find_first_of(" \t", i);
        if (end == std::string::npos) end = text.size();
        if (end > i) w.push_back(text.substr(i, end - i));
        i = end + 1;
    }
    return w;
}

}  // namespace

void psmapReencoding(const std::string& line, MapEntry& entry) {
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            std::string quoted = line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            const std::vector<std::string> w = words(quoted);
            for (size_t k = 1; k < w.size(); ++k) {
                if (!plainDecimal(w[k - 1])) continue;
                if (w[k] == "SlantFont") entry.slant = w[k - 1];
                if (w[k] == "ExtendFont") entry.extend = w[k - 1];
            }
            if (close == std::string::npos) break;
            i = close + 1;
            if (i < n) ++i;
            continue;
        }
        size_t end = line.find_first_of(" \t", i);
        if (end == std::string::npos) end = n;
        std::string token = line.substr(i, end - i);
        if (token.rfind("<[", 0) == 0) token.erase(0, 2);
        else if (token.rfind("<", 0) == 0) token.erase(0, 1);
        else token.clear();
        if (token.size() > 4 && endsWith(token, ".enc") && token.find('<') == std::string::npos) entry.encFile = token;
        i = end + 1;
    }
}

void psmapTokens(const std::string& line, std::string& fntDvi, std::string& fntPs) {
    std::size_t first = line.find(' ');
    if (first == std::string::npos) {
        fntDvi = line;
        fntPs.clear();
        return;
    }
    fntDvi = line.substr(0, first);
    std::size_t second = line.find(' ', first + 1);
    fntPs = line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
}

std::string psmapPfb(const std::string& line) {
    std::string pfb;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        if (line[i] == '"') {
            std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos) break;  // open quote: the rest is its content
            i = close + 1;
            if (i < n) ++i;  // the character after the closing quote
            continue;
        }
        std::size_t end = line.find_first_of(" \t", i);
        if (end == std::string::npos) end = n;
        if (line[i] == '<') {
            std::string token = line.substr(i, end - i);
            std::size_t dot = token.find('.', 1);
            if (dot != std::string::npos && token.compare(dot + 1, 3, "pfb") == 0 && token.size() >= dot + 4)
                pfb = token.substr(1);
        }
        i = end + 1;  // one separator only
    }
    return pfb;
}

std::optional<MapEntry> psmap(std::FILE* map, const std::string& fontName, std::FILE* log) {
    std::rewind(map);
    MapEntry entry;
    for (;;) {
        int c = std::getc(map);
        while (c == '\n') c = std::getc(map);
        if (c == EOF) return std::nullopt;
        std::string line = readLine(map, c);
        if (isCommentStart(c)) continue;
        psmapTokens(line, entry.fntDvi, entry.fntPs);
        if (entry.fntDvi != fontName) continue;
        std::fputs("\npsmap: '", log);
        traceText(log, line);
        std::fputs("'\n", log);
        entry.fntPfb = psmapPfb(line);
        traceFields(log, {{"fnt_dvi", &entry.fntDvi}, {"fnt_ps", &entry.fntPs}, {"fnt_pfb", &entry.fntPfb}});
        psmapReencoding(line, entry);
        if (entry.reencoded())
            traceFields(log, {{"enc", &entry.encFile}, {"slant", &entry.slant}, {"extend", &entry.extend}});
        return entry;
    }
}

}  // namespace morvex
