// The disk of a busy machine, held by the test: a write that reaches its
// flush on any thread but the watched one (the thread that must never wait
// for the disk: the window's, the game's) waits there until Release(). A
// flush on the watched thread is counted and let through, so a fault shows
// as a count instead of a hang. A held flush gives up after kGiveUp, so a
// test that fails never hangs the run.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/Files.h"

namespace qv::test {

class THeldDisk {
public:
    static constexpr std::chrono::seconds kGiveUp{180};

    explicit THeldDisk(std::thread::id watched = std::this_thread::get_id()) : watched_(watched) {
        sys::InjectFlushForTesting([this](const std::string& path) { Flush(path); });
    }
    ~THeldDisk() {
        Release();
        sys::FinishPendingWrites();
        sys::InjectFlushForTesting(nullptr);
    }
    THeldDisk(const THeldDisk&) = delete;
    THeldDisk& operator=(const THeldDisk&) = delete;

    void Release() {
        {
            std::lock_guard guard(lock_);
            released_ = true;
        }
        changed_.notify_all();
    }

    // Waits until a write is held at its flush (at most kGiveUp).
    bool WaitUntilHeld() {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, kGiveUp, [this] { return held_ > 0; });
    }

    // The files the watched thread flushed itself.
    std::vector<std::string> FlushedOnWatchedThread() const {
        std::lock_guard guard(lock_);
        return watchedFlushes_;
    }

private:
    void Flush(const std::string& path) {
        std::unique_lock guard(lock_);
        if (std::this_thread::get_id() == watched_) {
            watchedFlushes_.push_back(path);
            return;
        }
        ++held_;
        changed_.notify_all();
        changed_.wait_for(guard, kGiveUp, [this] { return released_; });
        --held_;
    }

    const std::thread::id watched_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool released_ = false;
    int held_ = 0;
    std::vector<std::string> watchedFlushes_;
};

}  // namespace qv::test
