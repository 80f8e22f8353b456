#include "game/core/qv3FrameClock.h"

namespace qv {

TFrameClock::TFrameClock(sys::IClock& clock) : clock_(clock) {
    std::int64_t frequency = 0;
    std::int64_t count = 0;
    if (clock_.QueryPerformanceFrequency(frequency) && frequency >= 1000 && clock_.QueryPerformanceCounter(count)) {
        TimerFrequency = frequency / 1000;
        StartTime = static_cast<std::uint32_t>(count / TimerFrequency);
    } else {
        TimerFrequency = 0;
        StartTime = clock_.GetTickCount();
    }
}

std::uint32_t TFrameClock::Now() {
    if (TimerFrequency != 0) {
        std::int64_t count = 0;
        if (!clock_.QueryPerformanceCounter(count)) return last_;
        last_ = static_cast<std::uint32_t>(count / TimerFrequency) - StartTime;
    } else {
        last_ = clock_.GetTickCount() - StartTime;
    }
    return last_;
}

std::int32_t TFrameClock::TakeTicks() {
    const auto now = static_cast<std::int32_t>(Now());
    // The difference wraps as 32-bit clock values do.
    const auto elapsed = static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                                   static_cast<std::uint32_t>(LastTickTime));
    std::int32_t ticks = elapsed / kTickMs;
    if (ticks <= kMaxFrameTicks) {
        LastTickTime = static_cast<std::int32_t>(static_cast<std::uint32_t>(LastTickTime) +
                                                 static_cast<std::uint32_t>(ticks * kTickMs));
    } else {
        LastTickTime = now;
        ticks = kMaxFrameTicks;
    }
    return ticks;
}

}  // namespace qv
