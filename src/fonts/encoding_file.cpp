#include "fonts/encoding_file.h"

#include <cctype>

#include "base/file_handle.h"

namespace morvex {

std::optional<EncodingVector> parseEncodingVector(const std::string& text) {
    EncodingVector names;
    size_t count = 0;
    bool inArray = false;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '%') {  // a comment runs to the end of the line
            while (i < n && text[i] != '\n' && text[i] != '\r') ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '[') {
            if (inArray) return std::nullopt;
            inArray = true;
            ++i;
            continue;
        }
        if (c == ']') {
            if (!inArray) return std::nullopt;
            return count == names.size() ? std::optional<EncodingVector>(names) : std::nullopt;
        }
        size_t end = i + 1;
        while (end < n && !std::isspace(static_cast<unsigned char>(text[end])) && text[end] != '/' &&
               text[end] != '[' && text[end] != ']' && text[end] != '%')
            ++end;
        if (inArray) {
            if (c != '/' || end == i + 1 || count == names.size()) return std::nullopt;
            names[count++] = text.substr(i + 1, end - i - 1);
        }
        i = end;
    }
    return std::nullopt;
}

std::optional<EncodingVector> readEncodingVector(const std::string& path) {
    // Encoding files are a few kilobytes; a bound keeps a hostile one small.
    std::optional<std::string> text = readWholeFile(path, 1u << 20);
    if (!text) return std::nullopt;
    return parseEncodingVector(*text);
}

}  // namespace morvex
