// The font map reader over arbitrary bytes: the line of a font that is there
// (the first token of the first line), of one that is not, and the token
// rules on every line.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fonts/psmap.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* map = size == 0 ? std::fopen("/dev/null", "rb")
                               : fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (map == nullptr) return 0;
    char* logBuf = nullptr;
    size_t logLen = 0;
    std::FILE* log = open_memstream(&logBuf, &logLen);

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string firstLine = bytes.substr(0, bytes.find('\n'));
    std::string present, ps;
    psmapTokens(firstLine, present, ps);

    for (const std::string& name : {present, std::string("cmr10"), std::string()}) {
        // A found line names its font first.
        if (auto entry = psmap(map, name, log); entry && entry->fntDvi != name) __builtin_trap();
    }
    // The token rules on every line, as the lookup applies them.
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        std::string pfb = psmapPfb(line);
        if (!pfb.empty() && line.find(pfb) == std::string::npos) __builtin_trap();
        start = end + 1;
    }

    std::fclose(map);
    std::fclose(log);
    std::free(logBuf);
    return 0;
}
