#include "base/kpse_program.h"

#include <unistd.h>

#include <cstring>

#include <kpathsea/kpathsea.h>

namespace morvex {

void setKpseProgramName() {
    if (kpse_program_name != nullptr && std::strcmp(kpse_program_name, "morvex") == 0) return;
    if (access("/proc/self/exe", F_OK) == 0)
        kpse_set_program_name("/proc/self/exe", "morvex");
    else
        kpse_set_program_name("morvex", nullptr);
}

}  // namespace morvex
