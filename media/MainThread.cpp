#include "media/MainThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace qv {

namespace {

const std::thread::id gMainThread = std::this_thread::get_id();

struct TRequest {
    enum class TState { Queued, Running, Done, Withdrawn };
    const void* Tag;
    std::function<void()> Call;
    TState State = TState::Queued;
    std::exception_ptr Error;
};

struct TDispatcher {
    std::mutex Lock;
    std::condition_variable Finished;  // a request left the queue
    std::condition_variable Arrived;   // a request was queued
    std::deque<std::shared_ptr<TRequest>> Queue;
    std::multiset<const void*> Cancelled;
    std::function<void()> Wakeup;
};

// Never destroyed: a timer thread that ends on its own may still leave the
// dispatcher after the program's static objects are gone.
TDispatcher& Dispatcher() {
    static TDispatcher* d = new TDispatcher;
    return *d;
}

}  // namespace

bool IsMainThread() { return std::this_thread::get_id() == gMainThread; }

bool Synchronize(const void* tag, std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return true;
    }
    TDispatcher& d = Dispatcher();
    auto request = std::make_shared<TRequest>();
    request->Tag = tag;
    request->Call = std::move(call);
    std::function<void()> wakeup;
    {
        std::lock_guard g(d.Lock);
        if (d.Cancelled.count(tag)) return false;
        d.Queue.push_back(request);
        wakeup = d.Wakeup;
    }
    d.Arrived.notify_all();
    if (wakeup) wakeup();
    std::unique_lock l(d.Lock);
    d.Finished.wait(l, [&] {
        return request->State == TRequest::TState::Done || request->State == TRequest::TState::Withdrawn;
    });
    if (request->State == TRequest::TState::Withdrawn) return false;
    if (request->Error) std::rethrow_exception(request->Error);
    return true;
}

void CancelSynchronize(const void* tag) {
    TDispatcher& d = Dispatcher();
    {
        std::lock_guard g(d.Lock);
        d.Cancelled.insert(tag);
        for (auto it = d.Queue.begin(); it != d.Queue.end();) {
            if ((*it)->Tag == tag) {
                (*it)->State = TRequest::TState::Withdrawn;
                it = d.Queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    d.Finished.notify_all();
}

void ReleaseSynchronizeTag(const void* tag) {
    TDispatcher& d = Dispatcher();
    std::lock_guard g(d.Lock);
    auto it = d.Cancelled.find(tag);
    if (it != d.Cancelled.end()) d.Cancelled.erase(it);
}

bool CheckSynchronize(std::uint32_t timeoutMs) {
    if (!IsMainThread()) return false;
    TDispatcher& d = Dispatcher();
    bool ran = false;
    std::unique_lock l(d.Lock);
    if (d.Queue.empty() && timeoutMs > 0)
        d.Arrived.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return !d.Queue.empty(); });
    // One at a time: a call may withdraw the ones behind it.
    while (!d.Queue.empty()) {
        std::shared_ptr<TRequest> r = d.Queue.front();
        d.Queue.pop_front();
        r->State = TRequest::TState::Running;
        l.unlock();
        try {
            r->Call();
        } catch (...) {
            r->Error = std::current_exception();
        }
        l.lock();
        r->State = TRequest::TState::Done;
        d.Finished.notify_all();
        ran = true;
    }
    return ran;
}

std::size_t PendingSynchronizeCount() {
    TDispatcher& d = Dispatcher();
    std::lock_guard g(d.Lock);
    return d.Queue.size();
}

void SetSynchronizeWakeup(std::function<void()> wakeup) {
    TDispatcher& d = Dispatcher();
    std::lock_guard g(d.Lock);
    d.Wakeup = std::move(wakeup);
}

}  // namespace qv
