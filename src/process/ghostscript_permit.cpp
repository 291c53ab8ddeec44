#include "process/ghostscript_permit.h"

namespace morvex {

namespace {

// Characters that split a permit, widen it, or may be read as an escape.
bool permitChar(unsigned char c) { return c >= 0x20 && c != 0x7f && c != ':' && c != '*' && c != '?' && c != '\\'; }

// Parts between single slashes, none empty, "." or "..".
bool plainParts(std::string_view path) {
    while (true) {
        const size_t end = path.find('/');
        const std::string_view part = path.substr(0, end);
        if (part.empty() || part == "." || part == "..") return false;
        for (unsigned char c : part)
            if (!permitChar(c)) return false;
        if (end == std::string_view::npos) return true;
        path.remove_prefix(end + 1);
    }
}

}  // namespace

bool permittable(std::string_view path) { return path.size() > 1 && path.front() == '/' && plainParts(path.substr(1)); }

bool permittableRelative(std::string_view path) { return !path.empty() && path.front() != '/' && plainParts(path); }

}  // namespace morvex
