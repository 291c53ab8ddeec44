#include "tfm/dvitfm.h"

namespace morvex {

void dvitfminit() {}

int dvitfmload(TfmState&, const std::string&, int, std::FILE*, std::FILE*) { return 1; }

void dvitfmfree(TfmState&, std::FILE*) {}

}  // namespace morvex
