#pragma once
// The DVI command bytes that morvex reads.
#include <cstdint>

namespace morvex {

constexpr int32_t kOpSet1 = 128;
constexpr int32_t kOpSetRule = 132;
constexpr int32_t kOpPut1 = 133;
constexpr int32_t kOpPutRule = 137;
constexpr int32_t kOpNop = 138;
constexpr int32_t kOpBop = 139;
constexpr int32_t kOpEop = 140;
constexpr int32_t kOpPush = 141;
constexpr int32_t kOpPop = 142;
constexpr int32_t kOpRight1 = 143;
constexpr int32_t kOpW0 = 147;
constexpr int32_t kOpX0 = 152;
constexpr int32_t kOpDown1 = 157;
constexpr int32_t kOpY0 = 161;
constexpr int32_t kOpZ0 = 166;
constexpr int32_t kOpZ4 = 170;
constexpr int32_t kOpFntNum0 = 171;
constexpr int32_t kOpFntNum63 = 234;
constexpr int32_t kOpFnt1 = 235;
constexpr int32_t kOpXxx1 = 239;
constexpr int32_t kOpXxx2 = 240;
constexpr int32_t kOpXxx3 = 241;
constexpr int32_t kOpXxx4 = 242;
constexpr int32_t kOpFntDef1 = 243;
constexpr int32_t kOpPre = 247;
constexpr int32_t kOpPost = 248;
constexpr int32_t kOpPostPost = 249;

}  // namespace morvex
