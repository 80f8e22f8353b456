#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "media/MainThread.h"
#include "media/ThdTimer.h"

namespace qv {

namespace {

// Failure guard only: how long a test waits for something that must happen.
constexpr std::uint32_t kPatienceMs = 5000;

// The timer's thread ends on its own after the timer: a test clock waits in
// its destructor, before its own state goes, until no WaitFor is running.
// WaitFor is entered with the timer's lock held, so once the timer is gone no
// new one starts.
class TTestClock : public ITimerWaitClock {
public:
    void AwaitIdle() {
        std::unique_lock l(useLock_);
        idle_.wait_for(l, std::chrono::milliseconds(kPatienceMs), [&] { return inWaitFor_ == 0; });
    }

protected:
    void Enter() {
        std::lock_guard g(useLock_);
        ++inWaitFor_;
    }
    // The clock's last touch in a WaitFor.
    void Leave() {
        std::lock_guard g(useLock_);
        --inWaitFor_;
        idle_.notify_all();
    }

private:
    std::mutex useLock_;
    std::condition_variable idle_;
    int inWaitFor_ = 0;
};

// A clock that moves only when the test says so. The timer's thread waits
// on it; Advance wakes it.
class TSteppedClock final : public TTestClock {
public:
    ~TSteppedClock() override { AwaitIdle(); }
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint32_t ms,
                 const std::function<bool()>& woken) override {
        if (woken()) return true;  // a signalled wake is no wait at all
        Enter();
        {
            std::lock_guard g(m_);
            deadline_ = now_ + ms;
            waiter_ = {&wake, lock.mutex()};
            ++waits_;
            waiting_ = true;
        }
        changed_.notify_all();
        wake.wait(lock, [&] { return woken() || Now() >= deadline_; });
        const bool result = woken();
        {
            std::lock_guard g(m_);
            waiting_ = false;
        }
        changed_.notify_all();
        Leave();
        return result;
    }

    std::uint64_t Now() const {
        std::lock_guard g(m_);
        return now_;
    }
    // Moves the clock on and wakes a waiting timer thread.
    void Advance(std::uint64_t ms) {
        std::pair<std::condition_variable*, std::mutex*> w;
        {
            std::lock_guard g(m_);
            now_ += ms;
            w = waiter_;
        }
        if (w.first) {
            std::lock_guard g(*w.second);
            w.first->notify_all();
        }
    }
    // Blocks until the timer thread has started its n-th wait and is in it.
    bool AwaitWait(int n) {
        std::unique_lock l(m_);
        return changed_.wait_for(l, std::chrono::milliseconds(kPatienceMs), [&] { return waits_ >= n && waiting_; });
    }
    bool AwaitNotWaiting() {
        std::unique_lock l(m_);
        return changed_.wait_for(l, std::chrono::milliseconds(kPatienceMs), [&] { return !waiting_; });
    }
    int Waits() const {
        std::lock_guard g(m_);
        return waits_;
    }
    std::uint64_t Deadline() const {
        std::lock_guard g(m_);
        return deadline_;
    }
    bool Waiting() const {
        std::lock_guard g(m_);
        return waiting_;
    }

private:
    mutable std::mutex m_;
    std::condition_variable changed_;
    std::uint64_t now_ = 0;
    std::uint64_t deadline_ = 0;
    std::pair<std::condition_variable*, std::mutex*> waiter_{nullptr, nullptr};
    int waits_ = 0;
    bool waiting_ = false;
};

// Runs main-thread calls until one has run.
bool PumpOne() { return CheckSynchronize(kPatienceMs); }

bool AwaitPending() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (PendingSynchronizeCount() == 0) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

TEST(TimerTest, TicksOnTheMainThreadIntervalPlusHandlerTimeApart) {
    TSteppedClock clock;
    TThreadedTimer timer(&clock);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::tpNormal);
    std::vector<std::uint64_t> ticks;
    bool onMain = true;
    timer.OnTimer = [&](TThreadedTimer& sender) {
        EXPECT_EQ(&sender, &timer);
        onMain = onMain && IsMainThread();
        ticks.push_back(clock.Now());
        clock.Advance(20);  // the handler's own run time
    };
    timer.SetInterval(50);
    timer.SetEnabled(true);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(clock.AwaitWait(i));
        clock.Advance(clock.Deadline() - clock.Now());
        ASSERT_TRUE(PumpOne());
    }
    EXPECT_EQ(ticks, (std::vector<std::uint64_t>{50, 120, 190}));
    EXPECT_TRUE(onMain);
}

TEST(TimerTest, SettingTheSameValuesAgainKeepsTheWait) {
    TSteppedClock clock;
    TThreadedTimer timer(&clock);
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer&) { ++ticks; };
    timer.SetInterval(50);
    timer.SetEnabled(true);
    ASSERT_TRUE(clock.AwaitWait(1));
    clock.Advance(30);
    timer.SetInterval(50);
    timer.SetEnabled(true);
    EXPECT_EQ(clock.Deadline(), 50u);
    clock.Advance(20);
    ASSERT_TRUE(PumpOne());
    EXPECT_EQ(ticks, 1);

    // A new interval starts the wait again from now.
    ASSERT_TRUE(clock.AwaitWait(2));
    clock.Advance(10);
    timer.SetInterval(80);
    ASSERT_TRUE(clock.AwaitWait(3));
    EXPECT_EQ(clock.Deadline(), clock.Now() + 80);
}

TEST(TimerTest, ThrowingHandlerNeitherStopsTheTimerNorEscapes) {
    TSteppedClock clock;
    TThreadedTimer timer(&clock);
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer&) {
        ++ticks;
        throw std::runtime_error("handler failed");
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(clock.AwaitWait(i));
        clock.Advance(10);
        ASSERT_NO_THROW(PumpOne());
    }
    EXPECT_EQ(ticks, 3);
}

TEST(TimerTest, DisablingFromTheHandlerPausesTheThread) {
    TSteppedClock clock;
    TThreadedTimer timer(&clock);
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer& t) {
        ++ticks;
        t.SetEnabled(false);
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    ASSERT_TRUE(clock.AwaitWait(1));
    clock.Advance(10);
    ASSERT_TRUE(PumpOne());
    EXPECT_FALSE(timer.Enabled());
    // Enabling again starts a fresh wait.
    timer.SetEnabled(true);
    ASSERT_TRUE(clock.AwaitWait(2));
    EXPECT_EQ(clock.Deadline(), clock.Now() + 10);
    EXPECT_EQ(ticks, 1);
}

TEST(TimerTest, ZeroIntervalRunsOnlyWhenAllowed) {
    TSteppedClock clock;
    TThreadedTimer timer(&clock);
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer&) { ++ticks; };
    timer.SetInterval(0);
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(clock.Waiting());
    EXPECT_EQ(clock.Waits(), 0);
    timer.SetEnabled(false);
    timer.AllowZero = true;
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpOne());
    ASSERT_TRUE(PumpOne());
    EXPECT_GE(ticks, 2);
}

TEST(TimerTest, DestroyingAnEnabledTimerEndsItsThread) {
    TSteppedClock clock;
    auto timer = std::make_unique<TThreadedTimer>(&clock);
    timer->OnTimer = [](TThreadedTimer&) {};
    timer->SetInterval(100);
    timer->SetEnabled(true);
    ASSERT_TRUE(clock.AwaitWait(1));
    timer.reset();
    EXPECT_TRUE(clock.AwaitNotWaiting());
}

// A wait that ends only when the test lets it, whatever wakes it.
class TStuckClock final : public TTestClock {
public:
    ~TStuckClock() override { AwaitIdle(); }
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable&, std::uint32_t,
                 const std::function<bool()>& woken) override {
        Enter();
        lock.unlock();
        std::unique_lock l(m_);
        waiting_ = true;
        changed_.notify_all();
        changed_.wait(l, [&] { return released_; });
        l.unlock();
        lock.lock();
        const bool result = woken();
        {
            std::lock_guard g(m_);
            waiting_ = false;
            changed_.notify_all();
        }
        Leave();
        return result;
    }
    bool AwaitWaiting(bool waiting) {
        std::unique_lock l(m_);
        return changed_.wait_for(l, std::chrono::milliseconds(kPatienceMs), [&] { return waiting_ == waiting; });
    }
    void Release() {
        std::lock_guard g(m_);
        released_ = true;
        changed_.notify_all();
    }
    // Releases once the patience has run out, unless released before.
    void ReleaseAfterPatience() {
        std::unique_lock l(m_);
        changed_.wait_for(l, std::chrono::milliseconds(kPatienceMs), [&] { return released_; });
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable changed_;
    bool waiting_ = false;
    bool released_ = false;
};

TEST(TimerTest, DestroyingNeverWaitsForTheThread) {
    // Shared with a guard that frees a destructor stuck waiting for the
    // thread, so that a fault fails the test instead of hanging it.
    auto clock = std::make_shared<TStuckClock>();
    int ticks = 0;
    auto timer = std::make_unique<TThreadedTimer>(clock.get());
    timer->OnTimer = [&](TThreadedTimer&) { ++ticks; };
    timer->SetInterval(10);
    timer->SetEnabled(true);
    ASSERT_TRUE(clock->AwaitWaiting(true));
    std::thread guard([clock] { clock->ReleaseAfterPatience(); });
    const auto start = std::chrono::steady_clock::now();
    timer.reset();  // the thread is still in its wait
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(kPatienceMs / 2));
    EXPECT_TRUE(clock->AwaitWaiting(true)) << "the thread already ended";
    clock->Release();
    EXPECT_TRUE(clock->AwaitWaiting(false));
    guard.join();
    EXPECT_FALSE(CheckSynchronize());
    EXPECT_EQ(ticks, 0);
}

TEST(TimerTest, DestroyingWhileATickWaitsForTheMainThreadDoesNotDeadlock) {
    TSteppedClock clock;
    auto timer = std::make_unique<TThreadedTimer>(&clock);
    int ticks = 0;
    timer->OnTimer = [&](TThreadedTimer&) { ++ticks; };
    timer->SetInterval(10);
    timer->SetEnabled(true);
    ASSERT_TRUE(clock.AwaitWait(1));
    clock.Advance(10);
    ASSERT_TRUE(AwaitPending());
    timer.reset();  // the worker is blocked in Synchronize
    EXPECT_EQ(PendingSynchronizeCount(), 0u);
    EXPECT_FALSE(CheckSynchronize());
    EXPECT_EQ(ticks, 0);
}

TEST(TimerTest, HandlerMayDestroyItsOwnTimer) {
    TSteppedClock clock;
    auto* timer = new TThreadedTimer(&clock);
    int ticks = 0;
    timer->OnTimer = [&](TThreadedTimer& t) {
        ++ticks;
        delete &t;
    };
    timer->SetInterval(10);
    timer->SetEnabled(true);
    ASSERT_TRUE(clock.AwaitWait(1));
    clock.Advance(10);
    ASSERT_TRUE(PumpOne());
    EXPECT_EQ(ticks, 1);
    // The thread ends on its own once the tick has returned.
    ASSERT_TRUE(clock.AwaitNotWaiting());
    EXPECT_FALSE(CheckSynchronize());
}

TEST(SynchronizeTest, CallsFromWorkersRunOnTheMainThread) {
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    std::vector<int> order;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&, i] {
            EXPECT_TRUE(Synchronize(&done, [&, i] {
                EXPECT_TRUE(IsMainThread());
                order.push_back(i);
            }));
            ++done;
        });
    while (done < 4) CheckSynchronize(10);
    for (auto& w : workers) w.join();
    EXPECT_EQ(order.size(), 4u);
    // A cancelled tag is refused until released.
    CancelSynchronize(&order);
    bool ran = false;
    std::thread refused([&] { EXPECT_FALSE(Synchronize(&order, [&] { ran = true; })); });
    refused.join();
    ReleaseSynchronizeTag(&order);
    EXPECT_FALSE(ran);
    // From the main thread a call runs at once; a worker gets its exception.
    EXPECT_TRUE(Synchronize(&order, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    std::thread thrower([&] {
        EXPECT_THROW(Synchronize(&order, [] { throw std::runtime_error("x"); }), std::runtime_error);
    });
    while (!CheckSynchronize(10)) {
    }
    thrower.join();
}

}  // namespace qv
