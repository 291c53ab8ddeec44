#pragma once
// What Ghostscript's --permit-file-read, -write and -control options can
// name. Ghostscript 10 splits a value at ':' into several permits, reads
// '*' as "any characters", reduces "." and ".." before it matches, and
// takes a permit "P" as P itself and every path below "P/". The rule of the
// paths that one permit names exactly, for every program that starts
// Ghostscript.
#include <string_view>

namespace morvex {

// An absolute path without "." or ".." parts or doubled slashes, and
// without ':', '*', '?', '\' or control bytes. Ghostscript follows links,
// so the path is taken as it is.
bool permittable(std::string_view path);

// The same for a path relative to the directory Ghostscript runs in: the
// parts of a plain relative path, none of them "." or "..".
bool permittableRelative(std::string_view path);

}  // namespace morvex
