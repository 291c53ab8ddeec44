#include "svg/psmap.h"

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

}  // namespace

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
        std::fputs("psmap: fnt_dvi='", log);
        traceText(log, entry.fntDvi);
        std::fputs("' fnt_ps='", log);
        traceText(log, entry.fntPs);
        std::fputs("' fnt_pfb='", log);
        traceText(log, entry.fntPfb);
        std::fputs("'\n", log);
        return entry;
    }
}

}  // namespace morvex
