#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/qv3Sum32.h"

namespace qv {

TEST(Sum32Test, SumsUnsignedBytesAndShowsThemMostSignificantFirst) {
    TSum32 sum;
    EXPECT_EQ(sum.Name(), "32-bit byte-sum");
    EXPECT_EQ(sum.Size(), 4);
    EXPECT_EQ(sum.Value(), 0u);
    sum.AddBuffer("abc", 3);
    EXPECT_EQ(sum.Value(), 294u);
    EXPECT_EQ(sum.Bytes(0), 0);
    EXPECT_EQ(sum.Bytes(1), 0);
    EXPECT_EQ(sum.Bytes(2), 1);
    EXPECT_EQ(sum.Bytes(3), 38);
    const unsigned char high[] = {0xFF, 0x80};
    sum.AddBuffer(high, sizeof high);
    EXPECT_EQ(sum.Value(), 294u + 255u + 128u);
    sum.Reset();
    EXPECT_EQ(sum.Value(), 0u);
}

TEST(Sum32Test, WrapsPastTheTopOfThirtyTwoBits) {
    TSum32 sum;
    sum.SetValue(0xFFFFFF00u);
    const std::vector<unsigned char> bytes(2, 0xFF);
    sum.AddBuffer(bytes.data(), bytes.size());
    EXPECT_EQ(sum.Value(), 0xFEu);
    EXPECT_EQ(sum.GetByte(0), 0);
    sum.SetValue(0x12345678u);
    EXPECT_EQ(sum.GetByte(0), 0x12);
    EXPECT_EQ(sum.GetByte(3), 0x78);
}

TEST(Sum32Test, AnIndexOutsideTheValueIsARangeError) {
    TSum32 sum;
    for (int index : {4, -1, 100}) {
        try {
            sum.GetByte(index);
            FAIL() << index;
        } catch (const ERangeError& e) {
            EXPECT_EQ(std::string(e.what()), "Call to TSum32.GetByte [property Bytes] with index <> [0..3]");
        }
    }
}

}  // namespace qv
