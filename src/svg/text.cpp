#include "svg/text.h"

namespace morvex {

void dvipagetext(TextMachine&, float, int32_t, int32_t, int32_t, int32_t, std::FILE*, std::FILE*,
                 DviRegisters, std::FILE*) {}

}  // namespace morvex
