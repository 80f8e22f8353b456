#include "media/ThdTimer.h"

#include <chrono>

#include "media/MainThread.h"

namespace qv {

namespace {

class TRealTimerWaitClock final : public ITimerWaitClock {
public:
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint32_t ms,
                 const std::function<bool()>& woken) override {
        return wake.wait_for(lock, std::chrono::milliseconds(ms), woken);
    }
};

}  // namespace

ITimerWaitClock& RealTimerWaitClock() {
    static TRealTimerWaitClock clock;
    return clock;
}

// ---- thread ----------------------------------------------------------------

TTimerThread::TTimerThread(TThreadedTimer* owner, ITimerWaitClock* clock) : shared_(std::make_shared<TTimerShared>()) {
    shared_->Owner = owner;
    shared_->Clock = clock ? clock : &RealTimerWaitClock();
    // Starts paused, like a thread created suspended.
    thread_ = std::thread(&TTimerThread::Execute, shared_);
}

TTimerThread::~TTimerThread() { Terminate(); }

std::uint32_t TTimerThread::Interval() const {
    std::lock_guard g(shared_->Lock);
    return shared_->Interval;
}

void TTimerThread::SetInterval(std::uint32_t interval) {
    std::lock_guard g(shared_->Lock);
    shared_->Interval = interval;
}

void TTimerThread::Resume() {
    {
        std::lock_guard g(shared_->Lock);
        shared_->Wake = true;
        shared_->Paused = false;
    }
    shared_->Signal.notify_all();
}

void TTimerThread::Suspend() {
    {
        std::lock_guard g(shared_->Lock);
        shared_->Paused = true;
    }
    shared_->Signal.notify_all();
}

void TTimerThread::Terminate() {
    if (!thread_.joinable()) return;
    shared_->Owner = nullptr;
    // A tick the main thread has not run yet is withdrawn, so the thread
    // does not wait for it. Before the thread is told to end: the thread
    // forgets the tag as it ends.
    CancelSynchronize(shared_.get());
    {
        std::lock_guard g(shared_->Lock);
        shared_->Terminated = true;
        shared_->Wake = true;
        shared_->Paused = false;
    }
    shared_->Signal.notify_all();
    // The thread ends on its own and tidies up after itself: the main
    // thread never waits for it (a tick of its own, a wait clock slow to
    // wake, a loaded machine).
    thread_.detach();
}

void TTimerThread::Execute(std::shared_ptr<TTimerShared> shared) {
    {
        std::unique_lock l(shared->Lock);
        while (!shared->Terminated) {
            if (shared->Paused) {
                shared->Signal.wait(l, [&] { return !shared->Paused || shared->Terminated; });
                continue;
            }
            const bool woken = shared->Clock->WaitFor(l, shared->Signal, shared->Interval, [&] {
                return shared->Wake || shared->Terminated || shared->Paused;
            });
            if (shared->Terminated) break;
            if (shared->Wake) {
                shared->Wake = false;
                continue;
            }
            if (woken) continue;  // paused during the wait
            l.unlock();
            try {
                Synchronize(shared.get(), [shared] { TThreadedTimer::Timer(shared); });
            } catch (...) {
            }
            l.lock();
        }
    }
    ReleaseSynchronizeTag(shared.get());
}

// ---- timer -----------------------------------------------------------------

TThreadedTimer::TThreadedTimer(ITimerWaitClock* clock) : FTimerThread(std::make_unique<TTimerThread>(this, clock)) {}

TThreadedTimer::~TThreadedTimer() {
    FEnabled = false;
    FDestroying = true;
    FTimerThread->Terminate();
}

void TThreadedTimer::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    if (!value) {
        FTimerThread->Suspend();
    } else if (FTimerThread->Interval() != 0 || AllowZero) {
        FTimerThread->Resume();
    }
}

std::uint32_t TThreadedTimer::Interval() const { return FTimerThread->Interval(); }

void TThreadedTimer::SetInterval(std::uint32_t value) {
    if (value == FTimerThread->Interval()) return;
    const bool enabled = FEnabled;
    SetEnabled(false);
    FTimerThread->SetInterval(value);
    SetEnabled(enabled);
}

void TThreadedTimer::Timer(const std::shared_ptr<TTimerShared>& shared) {
    TThreadedTimer* self = shared->Owner;
    if (!self || !self->FEnabled || !self->OnTimer || self->FDestroying) return;
    // The handler may free the timer: keep what is needed after it returns.
    auto handler = self->OnTimer;
    try {
        handler(*self);
    } catch (...) {
    }
}

}  // namespace qv
