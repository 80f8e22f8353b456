// The game window's frame clock: milliseconds since the window was made, and
// the whole 10 ms ticks each frame hands to the core.
#pragma once

#include <cstdint>

#include "platform/system/Clock.h"

namespace qv {

inline constexpr std::int32_t kTickMs = 10;
inline constexpr std::int32_t kMaxFrameTicks = 10;

class TFrameClock {
public:
    // Reads the performance counter when the clock has one, else the tick
    // count; the choice holds for the clock's whole life.
    explicit TFrameClock(sys::IClock& clock);

    // Milliseconds since creation, 32 bits. A counter read that fails
    // repeats the last value rather than mixing two clocks.
    std::uint32_t Now();
    // The whole ticks since LastTickTime. Up to 10 of them move LastTickTime
    // on by 10 ms each, so the rest below 10 ms carries over; more give 10
    // and LastTickTime jumps to now (the backlog is dropped). A clock that
    // went back gives a count <= 0, and LastTickTime follows it down.
    std::int32_t TakeTicks();

    std::int32_t LastTickTime = 0;
    // Counter counts per millisecond; 0 when the tick count is used.
    std::int64_t TimerFrequency = 0;
    std::uint32_t StartTime = 0;

private:
    sys::IClock& clock_;
    std::uint32_t last_ = 0;
};

}  // namespace qv
