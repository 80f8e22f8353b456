// Messages one thread hands to another through a queue whose locking the
// thread sanitizer cannot see (Qt's posted events live in an uninstrumented
// library): the sender calls Handed() once the message is made and before
// it posts it, the receiver Taken() before it reads one. A release and an
// acquire on one counter, so the order the queue gives anyway is also the
// order the sanitizer follows.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv {

inline std::atomic<std::uint64_t>& HandoffCounter() {
    static std::atomic<std::uint64_t> counter{0};
    return counter;
}
inline void Handed() { HandoffCounter().fetch_add(1, std::memory_order_release); }
inline void Taken() { (void)HandoffCounter().load(std::memory_order_acquire); }

}  // namespace qv
