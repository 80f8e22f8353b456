#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/BinaryIO.h"

namespace qv {

TEST(BinaryIOTest, FieldsRoundTripLittleEndian) {
    TBinaryWriter w;
    w.WriteU8(0xAB);
    w.WriteI8(-2);
    w.WriteU16(0x1234);
    w.WriteI16(-300);
    w.WriteU32(0xDEADBEEF);
    w.WriteI32(std::numeric_limits<std::int32_t>::min());
    w.WriteU64(0x0102030405060708ull);
    w.WriteI64(-1);
    w.WriteF32(-1.5f);
    w.WriteF64(std::numeric_limits<double>::denorm_min());
    w.WriteString("zkq3e");
    const auto& d = w.Data();
    ASSERT_EQ(d.size(), 1 + 1 + 2 + 2 + 4 + 4 + 8 + 8 + 4 + 8 + 5u);
    EXPECT_EQ(d[2], 0x34);
    EXPECT_EQ(d[3], 0x12);
    EXPECT_EQ(d[6], 0xEF);
    EXPECT_EQ(d[9], 0xDE);
    // -1.5f is 0xBFC00000
    EXPECT_EQ(d[30], 0x00);
    EXPECT_EQ(d[33], 0xBF);

    TBinaryReader r(d);
    EXPECT_EQ(r.ReadU8(), 0xAB);
    EXPECT_EQ(r.ReadI8(), -2);
    EXPECT_EQ(r.ReadU16(), 0x1234);
    EXPECT_EQ(r.ReadI16(), -300);
    EXPECT_EQ(r.ReadU32(), 0xDEADBEEFu);
    EXPECT_EQ(r.ReadI32(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(r.ReadU64(), 0x0102030405060708ull);
    EXPECT_EQ(r.ReadI64(), -1);
    EXPECT_EQ(r.ReadF32(), -1.5f);
    EXPECT_EQ(r.ReadF64(), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(r.ReadString(5), "zkq3e");
    EXPECT_TRUE(r.AtEnd());
}

TEST(BinaryIOTest, EveryReadPastTheEndThrowsAndConsumesNothing) {
    const std::uint8_t three[3] = {1, 2, 3};
    TBinaryReader r(three, 3);
    EXPECT_THROW(r.ReadU32(), EBinaryError);
    EXPECT_EQ(r.Position(), 0u);
    EXPECT_EQ(r.ReadU16(), 0x0201);
    EXPECT_THROW(r.ReadU16(), EBinaryError);
    EXPECT_THROW(r.ReadBytes(2), EBinaryError);
    EXPECT_THROW(r.Skip(2), EBinaryError);
    EXPECT_THROW(r.Seek(4), EBinaryError);
    EXPECT_EQ(r.ReadU8(), 3);
    EXPECT_THROW(r.ReadU8(), EBinaryError);
    TBinaryReader empty;
    EXPECT_THROW(empty.ReadF32(), EBinaryError);
    EXPECT_EQ(empty.ReadSpan(0).size(), 0u);
}

TEST(BinaryIOTest, ShortStringsAreCutPaddedAndChecked) {
    TBinaryWriter w;
    w.WriteShortString("Player", 15);
    w.WriteShortString("far too long for it", 4);
    w.WriteShortString("", 2);
    ASSERT_EQ(w.Size(), 16u + 5u + 3u);
    EXPECT_EQ(w.Data()[0], 6);
    EXPECT_EQ(w.Data()[7], 0);  // padding is zeroed
    TBinaryReader r(w.Data());
    EXPECT_EQ(r.ReadShortString(15), "Player");
    EXPECT_EQ(r.ReadShortString(4), "far ");
    EXPECT_EQ(r.ReadShortString(2), "");
    EXPECT_TRUE(r.AtEnd());

    const std::uint8_t bad[5] = {5, 'a', 'b', 'c', 'd'};  // length above capacity 4
    TBinaryReader rb(bad, 5);
    EXPECT_THROW(rb.ReadShortString(4), EBinaryError);
    const std::uint8_t cut[3] = {1, 'a', 'b'};  // field shorter than its capacity
    TBinaryReader rc(cut, 3);
    EXPECT_THROW(rc.ReadShortString(4), EBinaryError);
}

TEST(BinaryIOTest, BoundedWriterRefusesToGrowPastItsBound) {
    TBinaryWriter w(6);
    w.WriteU32(1);
    EXPECT_THROW(w.WriteU32(2), EBinaryError);
    EXPECT_EQ(w.Size(), 4u);
    w.WriteU16(3);
    EXPECT_THROW(w.WriteU8(0), EBinaryError);
    EXPECT_THROW(w.WriteShortString("x", 300), EBinaryError);
    w.PatchU32(2, 0xAABBCCDD);
    EXPECT_EQ(w.Data()[5], 0xAA);
    EXPECT_THROW(w.PatchU32(3, 0), EBinaryError);
}

TEST(BinaryIOTest, CountsAreCheckedAgainstLimitAndData) {
    std::vector<std::uint8_t> data(40);
    TBinaryReader r(data);
    EXPECT_EQ(r.CheckCount(10, 4, 100), 10u);
    EXPECT_THROW(r.CheckCount(11, 4, 100), EBinaryError);
    EXPECT_THROW(r.CheckCount(101, 0, 100), EBinaryError);
    EXPECT_THROW(r.CheckCount(0xFFFFFFFFFFFFFFFFull, 1, SIZE_MAX), EBinaryError);
    EXPECT_EQ(r.CheckCount(1000, 0, 1000), 1000u);
}

}  // namespace qv
