#pragma once
// The fields of one record, read strictly: single spaces between fields,
// integers without signs beyond one minus, exactly six hexadecimal digits
// for a colour, hexadecimal text of even length between < and >. A reader
// that fails leaves the record to be dropped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pictures/report.h"

namespace morvex::pictures {

class Fields {
public:
    explicit Fields(std::string_view text) : rest(text) {}

    // The next field, whatever it holds; false at the end.
    bool next(std::string_view& field);
    bool word(std::string_view expected);
    bool integer(int64_t& value, int64_t low, int64_t high);
    bool index(size_t& value, size_t limit);  // 0 <= value < limit
    bool id(uint32_t& value);                 // 0 .. 2^32-1
    // A length in thousandths of a point, a ratio in millionths.
    bool milli(double& value);
    bool micro(double& value);
    bool unit(double& value);  // a ratio within 0 .. 1
    bool flag(bool& value);    // 0 or 1
    bool color(Rgb8& value);
    bool hex(std::string& bytes, size_t maxBytes);
    // Six numbers: a b c d in millionths (thousandths with lengths), e f in
    // thousandths.
    bool matrix(Affine& value, bool lengths);
    // "M x y", "L x y", "C ...", "Z" up to "E".
    bool path(Path& value);
    // Whether every field has been read.
    bool done() const { return rest.empty(); }

private:
    std::string_view rest;
};

}  // namespace morvex::pictures
