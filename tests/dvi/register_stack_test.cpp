// push and pop of the six registers on a stack of the postamble's depth.
#include "dvi/register_stack.h"

#include <gtest/gtest.h>

#include "support/bytes.h"

namespace morvex {
namespace {

using testing::OutCapture;

DviRegisters regs(int32_t base) { return {base, base + 1, base + 2, base + 3, base + 4, base + 5}; }

bool same(const DviRegisters& a, const DviRegisters& b) {
    return a.h == b.h && a.v == b.v && a.w == b.w && a.x == b.x && a.y == b.y && a.z == b.z;
}

TEST(RegisterStack, OverflowAndUnderflowLeaveStackAndRegistersAlone) {
    RegisterStack stack;
    createStack(stack, 2);
    OutCapture log, out;
    dvipagepush(stack, regs(10), log.f, out.f);
    dvipagepush(stack, regs(20), log.f, out.f);
    dvipagepush(stack, regs(30), log.f, out.f);
    EXPECT_EQ(log.str(), "<push><push><push>");
    EXPECT_EQ(out.str(), "\nStack overflow\n");
    EXPECT_EQ(stack.depth, 2);

    DviRegisters r = regs(99);
    dvipagepop(stack, r, log.f, out.f);
    EXPECT_TRUE(same(r, regs(20)));
    dvipagepop(stack, r, log.f, out.f);
    EXPECT_TRUE(same(r, regs(10)));
    dvipagepop(stack, r, log.f, out.f);
    EXPECT_TRUE(same(r, regs(10)));
    EXPECT_EQ(stack.depth, 0);
    EXPECT_EQ(log.str(), "<push><push><push><pop><pop><pop>");
    EXPECT_EQ(out.str(), "\nStack overflow\n\nStack underflow\n");
}

TEST(RegisterStack, CapacityZeroOrNegativeHoldsNothing) {
    for (int32_t capacity : {0, -1, -32768}) {
        RegisterStack stack;
        createStack(stack, capacity);
        OutCapture log, out;
        DviRegisters r = regs(7);
        dvipagepush(stack, r, log.f, out.f);
        dvipagepop(stack, r, log.f, out.f);
        EXPECT_EQ(log.str(), "<push><pop>") << capacity;
        EXPECT_EQ(out.str(), "\nStack overflow\n\nStack underflow\n") << capacity;
        EXPECT_EQ(stack.depth, 0);
        EXPECT_TRUE(same(r, regs(7)));
    }
}

TEST(RegisterStack, LargestDeclaredDepthIsUsable) {
    RegisterStack stack;
    createStack(stack, 32767);
    OutCapture log, out;
    for (int i = 0; i < 32767; ++i) dvipagepush(stack, regs(i), log.f, out.f);
    EXPECT_EQ(out.str(), "");
    dvipagepush(stack, regs(0), log.f, out.f);
    EXPECT_EQ(out.str(), "\nStack overflow\n");
    DviRegisters r;
    dvipagepop(stack, r, log.f, out.f);
    EXPECT_TRUE(same(r, regs(32766)));
}

TEST(RegisterStack, AfterReleaseNoEntryIsWritten) {
    RegisterStack stack;
    createStack(stack, 4);
    releaseStack(stack);
    OutCapture log, out;
    dvipagepush(stack, regs(1), log.f, out.f);
    EXPECT_EQ(out.str(), "\nStack overflow\n");
    EXPECT_EQ(stack.depth, 0);
}

}  // namespace
}  // namespace morvex
