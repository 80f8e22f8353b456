// Shared by the session tests and the test host program: the application
// GUID, an event recorder the worker thread writes and the test waits on,
// and a clock the test moves from its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/session/DPlay8.h"
#include "platform/system/Clock.h"
#include "tests/support/Process.h"

namespace qv::test {

inline constexpr TGuid kTestAppGuid = {0x1B2C3D4Eu, 0x5F60u, 0x4A7Bu, {0x8C, 0x9D, 0xAE, 0xBF, 0xC0, 0xD1, 0xE2, 0xF3}};

// No test may broadcast, also when its program runs outside ctest.
inline const bool kBroadcastRefused = [] {
    dpn::SetBroadcastAllowed(false);
    return true;
}();

// Lines recorded from any thread; the test waits for one to appear.
class TEvents {
public:
    void Add(const std::string& line) {
        {
            std::lock_guard lock(m_);
            lines_.push_back(line);
        }
        cv_.notify_all();
    }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_);
        return lines_;
    }
    std::size_t Count(const std::string& line) const {
        std::lock_guard lock(m_);
        std::size_t n = 0;
        for (const auto& l : lines_) n += l == line;
        return n;
    }
    // Waits until `line` has been recorded `times` times (at most `within`,
    // by default a process step's deadline: the other side may be another
    // process).
    bool WaitFor(const std::string& line, std::size_t times = 1,
                 std::chrono::milliseconds within = test::kProcessStepDeadline) const {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, within, [&] {
            std::size_t n = 0;
            for (const auto& l : lines_) n += l == line;
            return n >= times;
        });
    }
    bool WaitUntil(const std::function<bool(const std::vector<std::string>&)>& done) const {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, test::kProcessStepDeadline, [&] { return done(lines_); });
    }

private:
    mutable std::mutex m_;
    mutable std::condition_variable cv_;
    std::vector<std::string> lines_;
};

// A tick count the test advances while the worker reads it.
class TTestClock final : public sys::IClock {
public:
    void Advance(std::uint32_t ms) { ticks_ += ms; }
    bool QueryPerformanceCounter(std::int64_t& count) override {
        count = ticks_.load();
        return true;
    }
    bool QueryPerformanceFrequency(std::int64_t& frequency) override {
        frequency = 1000;
        return true;
    }
    std::uint32_t GetTickCount() override { return ticks_.load(); }

private:
    std::atomic<std::uint32_t> ticks_{1000};
};

// Quick enumeration and short deadlines for loopback tests.
inline std::string HexResult(dpn::HRESULT r) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(r));
    return text;
}

inline dpn::TSessionOptions FastOptions(sys::IClock* clock = nullptr) {
    dpn::TSessionOptions o;
    o.clock = clock;
    o.enumCount = 5;
    o.enumRetryMs = 20;
    o.enumTimeoutMs = 20;
    o.connectTimeoutMs = 5000;
    o.closeFlushMs = 1000;
    o.linkTimeoutMs = 5000;
    return o;
}

}  // namespace qv::test
