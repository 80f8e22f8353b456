#include <gtest/gtest.h>

#include "platform/system/Clock.h"

namespace qv::sys {

TEST(ClockTest, SteadyClockCountsForward) {
    TSteadyClock clock;
    std::int64_t freq = 0, a = 0, b = 0;
    ASSERT_TRUE(clock.QueryPerformanceFrequency(freq));
    EXPECT_EQ(freq, 1'000'000'000);
    ASSERT_TRUE(clock.QueryPerformanceCounter(a));
    ASSERT_TRUE(clock.QueryPerformanceCounter(b));
    EXPECT_LE(a, b);
}

TEST(ClockTest, InstalledClockReplacesTheSystemClockUntilRemoved) {
    TManualClock manual(5'000);
    SetSystemClock(&manual);
    manual.AdvanceMilliseconds(25);
    std::int64_t count = 0, freq = 0;
    ASSERT_TRUE(SystemClock().QueryPerformanceCounter(count));
    ASSERT_TRUE(SystemClock().QueryPerformanceFrequency(freq));
    EXPECT_EQ(count, 30'000);
    EXPECT_EQ(freq, 1'000'000);
    EXPECT_EQ(SystemClock().GetTickCount(), 30u);

    manual.SetHasCounter(false);
    EXPECT_FALSE(SystemClock().QueryPerformanceCounter(count));
    EXPECT_EQ(SystemClock().GetTickCount(), 30u);

    SetSystemClock(nullptr);
    EXPECT_EQ(&SystemClock() == &manual, false);
}

TEST(ClockTest, TickCountWrapsAtThirtyTwoBits) {
    TManualClock manual((std::int64_t{1} << 32) * 1000 + 7000);
    EXPECT_EQ(manual.GetTickCount(), 7u);
}

}  // namespace qv::sys
