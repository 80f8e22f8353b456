#include "platform/system/Clock.h"

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/system/Files.h"

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

std::optional<double> StartTicksFromStat(std::string_view stat) {
    std::size_t at = stat.rfind(')');
    if (at == std::string_view::npos) return std::nullopt;
    int field = 2;
    while (field < 22 && (at = stat.find(' ', at + 1)) != std::string_view::npos) ++field;
    if (at == std::string_view::npos) return std::nullopt;
    const std::string number(stat.substr(at + 1, stat.find(' ', at + 1) - (at + 1)));
    return std::strtod(number.c_str(), nullptr);
}

long MillisecondsSinceProcessStart() {
    // One line of numbers and the program's name.
    constexpr std::size_t kMaxProcessStatSize = 64u << 10;
    const std::optional<std::string> stat = ReadFileText("/proc/self/stat", kMaxProcessStatSize);
    timespec now{};
    if (!stat || clock_gettime(CLOCK_BOOTTIME, &now) != 0) return -1;
    const std::optional<double> ticks = StartTicksFromStat(*stat);
    if (!ticks) return -1;
    const double start = *ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<long>((static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - start) * 1000);
}

}  // namespace qv::sys
