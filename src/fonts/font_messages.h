#pragma once
// The order of the messages of the fonts: every font is looked up before
// any is made, and what each lookup prints waits in its own buffer until
// its font's turn, so that fonts made side by side show on standard output
// exactly as one after the other would.
#include <cstdio>
#include <memory>
#include <vector>

#include "base/memory_stream.h"

namespace morvex {

class FontMessages {
public:
    explicit FontMessages(std::FILE* out) : out(out) {}

    // The buffer of the next font, in font order.
    std::FILE* next() {
        said.push_back(std::make_unique<MemoryStream>());
        return said.back()->get();
    }
    // Shows the buffers of the fonts up to font (its index), those not
    // shown yet.
    void showThrough(size_t font) {
        for (; shown <= font && shown < said.size(); ++shown) std::fputs(said[shown]->text().c_str(), out);
    }
    void showAll() { showThrough(said.size()); }

private:
    std::FILE* const out;
    std::vector<std::unique_ptr<MemoryStream>> said;
    size_t shown = 0;
};

}  // namespace morvex
