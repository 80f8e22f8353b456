// The performance counter and the millisecond tick count. The program reads
// them through SystemClock(); tests install a clock of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::sys {

class IClock {
public:
    virtual ~IClock() = default;
    // Counts of the high-resolution counter; false when there is none.
    virtual bool QueryPerformanceCounter(std::int64_t& count) = 0;
    virtual bool QueryPerformanceFrequency(std::int64_t& frequency) = 0;
    // Milliseconds since an arbitrary start, wrapping at 2^32.
    virtual std::uint32_t GetTickCount() = 0;
};

// steady_clock in nanoseconds.
class TSteadyClock final : public IClock {
public:
    bool QueryPerformanceCounter(std::int64_t& count) override;
    bool QueryPerformanceFrequency(std::int64_t& frequency) override;
    std::uint32_t GetTickCount() override;
};

// A clock that moves only when told; the counter runs at 1 MHz.
class TManualClock final : public IClock {
public:
    explicit TManualClock(std::int64_t startMicroseconds = 0, bool hasCounter = true)
        : now_(startMicroseconds), hasCounter_(hasCounter) {}
    void AdvanceMilliseconds(std::int64_t ms) { now_ += ms * 1000; }
    void AdvanceMicroseconds(std::int64_t us) { now_ += us; }
    void SetHasCounter(bool has) { hasCounter_ = has; }

    bool QueryPerformanceCounter(std::int64_t& count) override;
    bool QueryPerformanceFrequency(std::int64_t& frequency) override;
    std::uint32_t GetTickCount() override;

private:
    std::int64_t now_;
    bool hasCounter_;
};

IClock& SystemClock();
// Installs `clock` (not owned) as the system clock; nullptr restores steady_clock.
void SetSystemClock(IClock* clock);

// Milliseconds since this process started (the kernel's start time of the
// process against the boot clock); -1 when unknown.
long MillisecondsSinceProcessStart();
// The start time in clock ticks after boot (field 22) of a /proc/<pid>/stat
// line; the fields are counted after the command's last ")", which may hold
// blanks and parentheses itself. Empty when the line has too few fields.
std::optional<double> StartTicksFromStat(std::string_view stat);

}  // namespace qv::sys
