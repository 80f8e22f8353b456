// What the duel tests share: a timer wait that never runs out, so that the
// joiner's search and connect time-outs run only when a test calls the
// check itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "media/ThdTimer.h"

namespace qv::test {

class TStoppedTimerClock final : public ITimerWaitClock {
public:
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint32_t,
                 const std::function<bool()>& woken) override {
        wake.wait(lock, woken);
        return true;
    }
};

}  // namespace qv::test
