#include "svg/conv.h"

namespace morvex {

void conv(const std::string& codes, std::string& convText, std::FILE*) { convText = codes; }

}  // namespace morvex
