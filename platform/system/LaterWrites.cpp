// The file layer's writer thread: saves handed to WriteFileLater are written
// (and flushed to disk, which on a busy disk takes seconds) one after the
// other on a thread of their own, in the order they were handed over, so the
// thread that asks for them (the window's) never waits for the disk.
//
// Until a path's queued writes are done, the layer answers for that path
// from the queue: a read gets the bytes last queued for it, FileExists and
// RemoveFile see what the queue will leave, and a direct write of it waits
// its turn behind them. Paths are compared as the caller spells them; the
// program names each of its files one way.
#include "platform/system/LaterWrites.h"

#include <pthread.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/system/Files.h"

namespace qv::sys {

struct TPendingWrite::TState {
    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
    bool Succeeded = false;
    std::string Error;

    void End(bool succeeded, std::string error) {
        {
            std::lock_guard guard(Lock);
            Done = true;
            Succeeded = succeeded;
            Error = std::move(error);
        }
        Ended.notify_all();
    }
};

TPendingWrite TPendingWrite::Failed(std::string error) {
    auto state = std::make_shared<TState>();
    state->End(false, std::move(error));
    return TPendingWrite(std::move(state));
}

bool TPendingWrite::Wait(std::string* error) const {
    if (!state_) {
        if (error) *error = "no write was handed over";
        return false;
    }
    std::unique_lock lock(state_->Lock);
    state_->Ended.wait(lock, [this] { return state_->Done; });
    if (error) *error = state_->Error;
    return state_->Succeeded;
}

bool TPendingWrite::Done() const {
    if (!state_) return true;
    std::lock_guard guard(state_->Lock);
    return state_->Done;
}

namespace later {
namespace {

struct TOperation {
    std::string Path;
    std::shared_ptr<const std::string> Data;  // null: a removal
    mode_t Mode = 0644;
    TWriteFailure OnFailure;
    std::shared_ptr<TPendingWrite::TState> State;
};

// What the queue holds for a path: how many operations (the one under way
// included) and the data the last of them leaves.
struct TQueued {
    int Count = 0;
    std::shared_ptr<const std::string> Data;
};

class TWriter;
TWriter*& CurrentWriter();

class TWriter {
public:
    static TWriter& Instance();

    // Writes what is still queued and ends the thread; later writes are
    // made by their callers themselves.
    void Stop() {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        work_.notify_all();
        if (thread_.joinable() && std::this_thread::get_id() != writerId_) thread_.join();
    }

    // A fork: the parent's thread is not in the child, nor may its lock be
    // held there. The writer is kept locked across the fork; the child gets
    // a writer of its own and leaves the parent's to the parent (its queue
    // is the parent's to write).
    static void BeforeFork() { CurrentWriter()->lock_.lock(); }
    static void AfterForkInParent() { CurrentWriter()->lock_.unlock(); }
    static void AfterForkInChild() {
        // The parent's is left as it is, still reachable, never used again.
        static TWriter* const parents = CurrentWriter();
        CurrentWriter() = new TWriter;
        (void)parents;
    }

    std::shared_ptr<TPendingWrite::TState> Hand(TOperation operation) {
        auto state = std::make_shared<TPendingWrite::TState>();
        operation.State = state;
        std::unique_lock guard(lock_);
        if (stopping_) {
            // The process is ending: written here and now.
            guard.unlock();
            TCarried carried = Carry(operation);
            state->End(carried.Succeeded, std::move(carried.Error));
            return state;
        }
        TQueued& queued = queued_[operation.Path];
        ++queued.Count;
        queued.Data = operation.Data;
        operations_.push_back(std::move(operation));
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
            writerId_ = thread_.get_id();
        }
        guard.unlock();
        work_.notify_all();
        return state;
    }

    void Finish() {
        std::unique_lock guard(lock_);
        if (std::this_thread::get_id() == writerId_) return;
        idle_.wait(guard, [this] { return operations_.empty() && !busy_; });
    }

    TQueuedState State(const std::string& path) {
        std::lock_guard guard(lock_);
        const auto it = queued_.find(path);
        if (it == queued_.end()) return {};
        return {true, it->second.Data};
    }

    // Whether a direct write of `path` has to wait behind the queue: not on
    // the writer thread itself, nor once the writer is ending.
    bool MustQueue(const std::string& path) {
        std::lock_guard guard(lock_);
        return std::this_thread::get_id() != writerId_ && !stopping_ && queued_.count(path) > 0;
    }

    // Queues the removal where something is queued for the path; otherwise
    // removes it now, under the lock, so that nothing is queued meanwhile.
    bool Remove(const std::string& path, bool (*removeNow)(const std::string&)) {
        std::unique_lock guard(lock_);
        if (std::this_thread::get_id() == writerId_ || stopping_ || !queued_.count(path)) return removeNow(path);
        guard.unlock();
        TOperation removal;
        removal.Path = path;
        Hand(std::move(removal));
        return true;
    }

private:
    void Run() {
        std::unique_lock guard(lock_);
        for (;;) {
            work_.wait(guard, [this] { return stopping_ || !operations_.empty(); });
            if (operations_.empty()) return;
            TOperation operation = std::move(operations_.front());
            operations_.pop_front();
            busy_ = true;
            guard.unlock();
            const TCarried carried = Carry(operation);
            guard.lock();
            // The disk answers for the path again before anyone hears that
            // the operation is done.
            const auto it = queued_.find(operation.Path);
            if (it != queued_.end() && --it->second.Count <= 0) queued_.erase(it);
            busy_ = false;
            if (operations_.empty()) idle_.notify_all();
            guard.unlock();
            if (operation.State) operation.State->End(carried.Succeeded, carried.Error);
            guard.lock();
        }
    }

    struct TCarried {
        bool Succeeded = false;
        std::string Error;
    };

    // One operation, with its failure told.
    TCarried Carry(const TOperation& operation) {
        std::string error;
        bool succeeded;
        if (operation.Data) {
            succeeded = WriteFileAtomic(operation.Path, *operation.Data, &error, operation.Mode);
        } else {
            succeeded = RemoveFile(operation.Path);
            if (!succeeded) error = "Cannot remove " + operation.Path;
        }
        if (!succeeded && operation.OnFailure) {
            bool superseded = false;
            {
                std::lock_guard guard(lock_);
                const auto it = queued_.find(operation.Path);
                superseded = it != queued_.end() && it->second.Count > 1;
            }
            try {
                operation.OnFailure(error, superseded);
            } catch (...) {
                // A failure's report that fails itself changes nothing written.
            }
        }
        return {succeeded, std::move(error)};
    }

    std::mutex lock_;
    std::condition_variable work_, idle_;
    std::deque<TOperation> operations_;
    std::map<std::string, TQueued> queued_;
    std::thread thread_;
    std::thread::id writerId_;
    bool busy_ = false;
    bool stopping_ = false;
};

TWriter*& CurrentWriter() {
    static TWriter* writer = [] {
        ::pthread_atfork(TWriter::BeforeFork, TWriter::AfterForkInParent, TWriter::AfterForkInChild);
        return new TWriter;
    }();
    return writer;
}

// What is handed over is still written as the process ends: it is the
// player's data.
struct TWriterEnd {
    ~TWriterEnd() { CurrentWriter()->Stop(); }
};

TWriter& TWriter::Instance() {
    static TWriterEnd end;
    return *CurrentWriter();
}

std::mutex& FlushLock() {
    static std::mutex lock;
    return lock;
}
std::function<void(const std::string&)>& InjectedFlush() {
    static std::function<void(const std::string&)> flush;
    return flush;
}

}  // namespace

TQueuedState QueuedState(const std::string& path) { return TWriter::Instance().State(path); }

bool Remove(const std::string& path, bool (*removeNow)(const std::string&)) {
    return TWriter::Instance().Remove(path, removeNow);
}

std::optional<bool> WriteBehindQueued(const std::string& path, std::string_view data, mode_t mode,
                                      std::string* error) {
    TWriter& writer = TWriter::Instance();
    if (!writer.MustQueue(path)) return std::nullopt;
    TOperation operation;
    operation.Path = path;
    operation.Data = std::make_shared<const std::string>(data);
    operation.Mode = mode;
    return TPendingWrite(writer.Hand(std::move(operation))).Wait(error);
}

void BeforeFlush(const std::string& path) {
    std::function<void(const std::string&)> flush;
    {
        std::lock_guard guard(FlushLock());
        flush = InjectedFlush();
    }
    if (flush) flush(path);
}

}  // namespace later

TPendingWrite WriteFileLater(const std::string& path, std::string data, mode_t mode, TWriteFailure onFailure) {
    later::TOperation operation;
    operation.Path = path;
    operation.Data = std::make_shared<const std::string>(std::move(data));
    operation.Mode = mode;
    operation.OnFailure = std::move(onFailure);
    return TPendingWrite(later::TWriter::Instance().Hand(std::move(operation)));
}

void FinishPendingWrites() { later::TWriter::Instance().Finish(); }

void InjectFlushForTesting(std::function<void(const std::string& path)> flush) {
    std::lock_guard guard(later::FlushLock());
    later::InjectedFlush() = std::move(flush);
}

}  // namespace qv::sys
