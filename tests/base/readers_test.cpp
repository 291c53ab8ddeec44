#include "base/readers.h"

#include <gtest/gtest.h>

#include "support/bytes.h"

using namespace morvex;
using morvex::testing::MemStream;

namespace {

struct ReaderCase {
    std::string bytes;
    int32_t (*reader)(std::FILE*);
    int32_t expected;
};

TEST(Readers, SignedAndUnsignedValues) {
    const ReaderCase cases[] = {
        {"\xF7", dvireadu1, 247},
        {"\xF7", dvireads1, -9},
        {std::string("\x80\x00", 2), dvireads2, -32768},
        {"\x7F\xFF", dvireads2, 32767},
        {"\xFF\xFE", dvireads2, -2},
        {std::string("\x80\x00\x00", 3), dvireads3, -8388608},
        {"\xFF\xFF\xFF", dvireads3, -1},
        {std::string("\x00\x01\x00", 3), dvireads3, 256},
        // End of stream: every missing byte reads as 255.
        {"\x12", dvireads2, 0x12FF},
        {"", dvireadu1, 255},
        {"", dvireads1, -1},
        {"", dvireads2, -1},
        {"", dvireads3, -1},
    };
    for (const auto& c : cases) {
        MemStream in(c.bytes);
        EXPECT_EQ(c.reader(in.f), c.expected) << "bytes of length " << c.bytes.size();
    }
}

TEST(Readers, FourByteWord) {
    MemStream all("\xFF\xFF\xFF\xFF");
    uint32_t w = dviread4(all.f);
    EXPECT_EQ(w, 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<int32_t>(w), -1);

    MemStream inch("\x01\x83\x92\xC0");
    EXPECT_EQ(dviread4(inch.f), 25400000u);

    MemStream partial(std::string("\x00\x01", 2));
    EXPECT_EQ(dviread4(partial.f), 0x0001FFFFu);
}

TEST(Readers, AdvanceByTheirSize) {
    MemStream in(std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", 10));
    EXPECT_EQ(dvireadu1(in.f), 1);
    EXPECT_EQ(dvireads2(in.f), 0x0203);
    EXPECT_EQ(dvireads3(in.f), 0x040506);
    EXPECT_EQ(dviread4(in.f), 0x0708090Au);
    EXPECT_EQ(dvireadu1(in.f), 255);
}

TEST(Readers, WrappingAddition) {
    EXPECT_EQ(wrapAdd(INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(wrapAdd(INT32_MIN, -1), INT32_MAX);
    EXPECT_EQ(wrapAdd(-5, 3), -2);
}

}  // namespace
