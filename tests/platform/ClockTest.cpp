#include <gtest/gtest.h>

#include <optional>
#include <string>

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

TEST(ProcessStartTest, TheStartTimeIsField22AfterTheCommand) {
    std::string tail = " S";
    for (int field = 4; field <= 21; ++field) tail += " " + std::to_string(field);
    const struct {
        std::string line;
        std::optional<double> ticks;
    } cases[] = {
        {"123 (quorvex)" + tail + " 4567 99 100\n", 4567.0},
        {"123 (a) b (c)" + tail + " 89 99\n", 89.0},  // a command with blanks and ")"
        {"123 (quorvex)" + tail + " 4567", 4567.0},    // last field
        {"123 (quorvex) S 4 5", std::nullopt},           // too few fields
        {"no command", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(StartTicksFromStat(c.line), c.ticks) << c.line;
    EXPECT_GE(MillisecondsSinceProcessStart(), 0);
}

}  // namespace qv::sys
