#pragma once
// The DVI command bytes that morvex reads.
#include <cstdint>

namespace morvex {

constexpr int32_t OP_SET1 = 128;
constexpr int32_t OP_SET_RULE = 132;
constexpr int32_t OP_PUT1 = 133;
constexpr int32_t OP_PUT_RULE = 137;
constexpr int32_t OP_NOP = 138;
constexpr int32_t OP_BOP = 139;
constexpr int32_t OP_EOP = 140;
constexpr int32_t OP_PUSH = 141;
constexpr int32_t OP_POP = 142;
constexpr int32_t OP_RIGHT1 = 143;
constexpr int32_t OP_W0 = 147;
constexpr int32_t OP_X0 = 152;
constexpr int32_t OP_DOWN1 = 157;
constexpr int32_t OP_Y0 = 161;
constexpr int32_t OP_Z0 = 166;
constexpr int32_t OP_Z4 = 170;
constexpr int32_t OP_FNT_NUM_0 = 171;
constexpr int32_t OP_FNT_NUM_63 = 234;
constexpr int32_t OP_FNT1 = 235;
constexpr int32_t OP_XXX1 = 239;
constexpr int32_t OP_XXX2 = 240;
constexpr int32_t OP_FNT_DEF1 = 243;
constexpr int32_t OP_PRE = 247;
constexpr int32_t OP_POST = 248;
constexpr int32_t OP_POST_POST = 249;

}  // namespace morvex
