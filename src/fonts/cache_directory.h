#pragma once
// The glyph cache's directory, opened once and used only through that
// handle: a directory swapped for a link after the checks, an entry that is
// a link, a pipe or another's file, and temporary files left by a run that
// was killed, can not feed a run what another user put there.
#include <optional>
#include <string>

#include "base/descriptor.h"

namespace morvex {

class CacheDirectory {
public:
    // Makes the missing directories of path, private to the user, and
    // opens it without following a link at its end. It is refused, with why
    // set, when it is not the user's own directory, when others may write
    // into it, or when others may write into its parent (unless the parent
    // is sticky: then only its owner or root may move what it holds). The
    // temporary files of entries older than a few minutes are removed.
    static std::optional<CacheDirectory> open(const std::string& path, std::string& why);

    // The bytes of an entry when it is a regular file of the user's, at
    // most limit of them; none for anything else (a pipe is not waited on).
    std::optional<std::string> read(const std::string& name, size_t limit) const;

    // Writes the entry under a temporary name and renames it into place,
    // whatever stood at its name; false, with why set, when it could not.
    bool write(const std::string& name, const std::string& bytes, std::string& why) const;

private:
    explicit CacheDirectory(Descriptor fd) : fd(std::move(fd)) {}
    void removeStaleTemporaries() const;

    Descriptor fd;
};

}  // namespace morvex
