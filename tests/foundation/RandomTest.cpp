#include <gtest/gtest.h>

#include <vector>

#include "foundation/Random.h"
#include "platform/system/Clock.h"

namespace qv {

TEST(RandomTest, SameSeedSameSequenceOtherSeedOtherSequence) {
    TRandom a(42), b(42), c(43);
    std::vector<std::uint32_t> sa, sb, sc;
    for (int i = 0; i < 100; ++i) {
        sa.push_back(a.Next32());
        sb.push_back(b.Next32());
        sc.push_back(c.Next32());
    }
    EXPECT_EQ(sa, sb);
    EXPECT_NE(sa, sc);
    a.Seed(42);
    EXPECT_EQ(a.Next32(), sa[0]);
}

TEST(RandomTest, SequenceIsTheSameOnEveryMachine) {
    // Pinned output: a change here breaks every stored replay.
    TRandom r(1);
    const std::uint32_t first[4] = {r.Next32(), r.Next32(), r.Next32(), r.Next32()};
    TRandom again(1);
    for (std::uint32_t v : first) EXPECT_EQ(again.Next32(), v);
    EXPECT_EQ(first[0], 1695105466u);
}

TEST(RandomTest, DrawsStayInTheirRanges) {
    TRandom r(7);
    int low = 0, high = 0;
    for (int i = 0; i < 20000; ++i) {
        const double u = r.Uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        const auto b = r.Below(128);
        ASSERT_LT(b, 128u);
        const auto v = r.Between(-3, 3);
        ASSERT_GE(v, -3);
        ASSERT_LE(v, 3);
        low += v == -3;
        high += v == 3;
    }
    EXPECT_GT(low, 2000);
    EXPECT_GT(high, 2000);
    EXPECT_EQ(r.Below(0), 0u);
    EXPECT_EQ(r.Between(5, 4), 5);
    const auto full = r.Between(INT32_MIN, INT32_MAX);
    (void)full;
}

TEST(RandomTest, RandomizeSeedsFromTheInstalledClock) {
    sys::TManualClock clock(123456);
    sys::SetSystemClock(&clock);
    TRandom a, b;
    a.Randomize();
    b.Seed(123456);
    EXPECT_EQ(a.Next32(), b.Next32());
    sys::SetSystemClock(nullptr);
}

}  // namespace qv
