#include <gtest/gtest.h>

#include <vector>

#include "game/core/qv3FrameClock.h"

namespace qv {
namespace {

// A counter that can be made to fail.
class TFlakyClock final : public sys::IClock {
public:
    std::int64_t Us = 5'000'000;
    bool CounterFails = false;
    std::uint32_t Ticks = 777'000;
    bool QueryPerformanceCounter(std::int64_t& count) override {
        if (CounterFails) return false;
        count = Us;
        return true;
    }
    bool QueryPerformanceFrequency(std::int64_t& frequency) override {
        frequency = 1'000'000;
        return true;
    }
    std::uint32_t GetTickCount() override { return Ticks; }
};

TEST(FrameClockTest, HandsOutWholeTicksCarriesTheRestAndDropsTheBacklog) {
    struct TStep {
        std::int64_t advanceUs;
        std::int32_t ticks;
        std::int32_t lastTickTime;
    };
    // Starting from a fresh clock: LastTickTime 0, the clock at 0.
    const std::vector<TStep> steps = {
        {0, 0, 0},
        {25'000, 2, 20},         // 25 ms: 2 ticks, 5 ms kept
        {5'000, 1, 30},          // the kept 5 ms + 5 ms: one more
        {9'999, 0, 30},          // below a tick
        {1, 1, 40},              // exactly 10 ms since 30
        {100'000, 10, 140},      // 10 ticks exactly still carry
        {1'000'000, 10, 1140},   // a stall of 1 s: 10 ticks, the rest dropped
        {109'000, 10, 1240},     // 10.9 ticks' worth: 10 whole ones, 9 ms kept
        {105'000, 10, 1354},     // 11.4 ticks' worth: 10, LastTickTime = now
        {-30'000, -3, 1324},     // a clock that went back: LastTickTime follows it down
        {14'000, 1, 1334},
    };
    sys::TManualClock clock;
    TFrameClock frame(clock);
    for (const TStep& s : steps) {
        clock.AdvanceMicroseconds(s.advanceUs);
        EXPECT_EQ(frame.TakeTicks(), s.ticks) << "after " << s.advanceUs;
        EXPECT_EQ(frame.LastTickTime, s.lastTickTime) << "after " << s.advanceUs;
    }
}

TEST(FrameClockTest, FirstFrameAfterALongSetUpGetsTenTicks) {
    sys::TManualClock clock(123'456'789);
    TFrameClock frame(clock);
    EXPECT_EQ(frame.Now(), 0u);
    clock.AdvanceMilliseconds(2500);
    EXPECT_EQ(frame.Now(), 2500u);
    EXPECT_EQ(frame.TakeTicks(), 10);
    EXPECT_EQ(frame.LastTickTime, 2500);
}

TEST(FrameClockTest, UsesTheTickCountWithoutACounterAndNeverMixesTheTwo) {
    sys::TManualClock noCounter(0, false);
    TFrameClock byTicks(noCounter);
    EXPECT_EQ(byTicks.TimerFrequency, 0);
    noCounter.AdvanceMilliseconds(35);
    EXPECT_EQ(byTicks.Now(), 35u);
    EXPECT_EQ(byTicks.TakeTicks(), 3);

    TFlakyClock flaky;
    TFrameClock byCounter(flaky);
    EXPECT_EQ(byCounter.TimerFrequency, 1000);
    flaky.Us += 42'000;
    EXPECT_EQ(byCounter.Now(), 42u);
    flaky.CounterFails = true;  // the tick count (777000) is never taken
    flaky.Us += 10'000;
    EXPECT_EQ(byCounter.Now(), 42u);
    flaky.CounterFails = false;
    EXPECT_EQ(byCounter.Now(), 52u);
}

}  // namespace
}  // namespace qv
