#include "platform/system/Clock.h"

#include <atomic>
#include <chrono>

namespace qv::sys {

namespace {

std::int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TSteadyClock& DefaultClock() {
    static TSteadyClock clock;
    return clock;
}

std::atomic<IClock*> g_clock{nullptr};

}  // namespace

bool TSteadyClock::QueryPerformanceCounter(std::int64_t& count) {
    count = SteadyNanoseconds();
    return true;
}

bool TSteadyClock::QueryPerformanceFrequency(std::int64_t& frequency) {
    frequency = 1'000'000'000;
    return true;
}

std::uint32_t TSteadyClock::GetTickCount() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(SteadyNanoseconds() / 1'000'000));
}

bool TManualClock::QueryPerformanceCounter(std::int64_t& count) {
    if (!hasCounter_) return false;
    count = now_;
    return true;
}

bool TManualClock::QueryPerformanceFrequency(std::int64_t& frequency) {
    if (!hasCounter_) return false;
    frequency = 1'000'000;
    return true;
}

std::uint32_t TManualClock::GetTickCount() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now_ / 1000));
}

IClock& SystemClock() {
    IClock* c = g_clock.load(std::memory_order_acquire);
    return c ? *c : DefaultClock();
}

void SetSystemClock(IClock* clock) { g_clock.store(clock, std::memory_order_release); }

}  // namespace qv::sys
