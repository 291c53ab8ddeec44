// The TFM loader over arbitrary bytes: every length field, every section cut
// short. The loaded tables are read back for every code.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "tfm/dvitfm.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen cannot open an empty buffer; an empty stream is /dev/null.
    std::FILE* in = size == 0 ? std::fopen("/dev/null", "rb")
                              : fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (in == nullptr) return 0;
    char* logBuf = nullptr;
    size_t logLen = 0;
    std::FILE* log = open_memstream(&logBuf, &logLen);

    auto tfm = std::make_unique<TfmState>();
    const int k = size > 0 ? data[0] : 0;
    readTfm(*tfm, in, k, log);
    // A second load into the same slot replaces the first.
    std::rewind(in);
    readTfm(*tfm, in, k, log);
    volatile float sum = 0.0f;
    for (int f : {k, (k + 1) & 0xFF})
        for (int ch = -1; ch <= 256; ++ch) sum = sum + tfmWidth(*tfm, f, ch);
    dvitfmfree(*tfm, log);

    std::fclose(in);
    std::fclose(log);
    std::free(logBuf);
    return 0;
}
