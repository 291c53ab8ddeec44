#pragma once

namespace morvex {

constexpr const char* kMorvexVersion = "0.7.1";

}  // namespace morvex
