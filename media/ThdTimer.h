// A timer driven by a thread of its own instead of the window timer: the
// thread waits with the interval as time-out and, each time the wait runs
// out, runs OnTimer on the main thread (through Synchronize, see
// media/MainThread.h) and waits until it has run. The next wait starts only
// after the handler returned, so ticks are at least Interval plus the
// handler's time apart.
//
// Disabling pauses the thread between waits (never in the middle of
// anything); enabling restarts the wait from zero. Destroying the timer
// stops and wakes its thread without waiting for it (the thread ends on its
// own), also when a tick is queued for the main thread, and also from inside
// its own OnTimer; no tick runs after the destruction.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// How the timer's thread waits. The real one waits in real time; tests
// step a clock of their own. Nobody waits for the thread: once its timer is
// destroyed, the thread returns from a WaitFor in progress and calls the
// clock no more (WaitFor is entered with the lock held, so a clock of a test
// knows from its own WaitFor when it is free to go).
class ITimerWaitClock {
public:
    virtual ~ITimerWaitClock() = default;
    // With `lock` held: waits on `wake` until `woken()` is true (returns
    // true) or `ms` milliseconds have passed (returns false).
    virtual bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint32_t ms,
                         const std::function<bool()>& woken) = 0;
};

ITimerWaitClock& RealTimerWaitClock();

class TThreadedTimer;

// What the worker and its timer share; it outlives the timer while the
// worker still runs.
struct TTimerShared {
    std::mutex Lock;
    std::condition_variable Signal;
    bool Wake = false;  // the auto-reset event: a wait in progress restarts
    bool Paused = true;
    bool Terminated = false;
    std::uint32_t Interval = 1000;
    ITimerWaitClock* Clock = nullptr;
    // Main thread only.
    TThreadedTimer* Owner = nullptr;
};

class TTimerThread {
public:
    TTimerThread(TThreadedTimer* owner, ITimerWaitClock* clock);
    ~TTimerThread();
    TTimerThread(const TTimerThread&) = delete;
    TTimerThread& operator=(const TTimerThread&) = delete;

    TThreadedTimer* Owner() const { return shared_->Owner; }
    std::uint32_t Interval() const;
    void SetInterval(std::uint32_t interval);
    // Signals Wake and lets the thread run.
    void Resume();
    void Suspend();
    // Tells the thread to end and wakes it; the thread ends on its own,
    // nobody waits for it.
    void Terminate();

    TThreadPriority Priority = TThreadPriority::tpNormal;

private:
    static void Execute(std::shared_ptr<TTimerShared> shared);

    std::shared_ptr<TTimerShared> shared_;
    std::thread thread_;
};

class TThreadedTimer {
public:
    // `clock` (not owned) null: real time.
    explicit TThreadedTimer(ITimerWaitClock* clock = nullptr);
    ~TThreadedTimer();
    TThreadedTimer(const TThreadedTimer&) = delete;
    TThreadedTimer& operator=(const TThreadedTimer&) = delete;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    std::uint32_t Interval() const;
    // A different value disables the timer, stores it and restores Enabled,
    // so the wait starts again with the new interval.
    void SetInterval(std::uint32_t value);
    // Stored only: normal threads of an unprivileged process have no levels.
    TThreadPriority ThreadPriority() const { return FTimerThread->Priority; }
    void SetThreadPriority(TThreadPriority value) { FTimerThread->Priority = value; }

    // Whether an Interval of 0 ticks (as fast as the handler allows).
    bool AllowZero = false;
    // Runs on the main thread; exceptions from it are swallowed.
    std::function<void(TThreadedTimer& sender)> OnTimer;

private:
    friend class TTimerThread;
    // The tick, on the main thread.
    static void Timer(const std::shared_ptr<TTimerShared>& shared);

    bool FEnabled = false;
    bool FDestroying = false;
    std::unique_ptr<TTimerThread> FTimerThread;
};

}  // namespace qv
