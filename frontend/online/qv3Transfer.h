// Background transfers: every network exchange of the program (HTTP GET and
// POST, the multipart upload, the error-report mail) runs on a worker thread
// of its own, so the UI thread never waits on the network. A worker drives
// its libcurl handle through a private multi handle polled every 50 ms, and
// the progress callback checks the abort flag as well: an abort ends the
// transfer within 100 ms and closes its connection.
//
// Two ways to use it:
// - StartTransfer: the work runs in the background and `done` is called on
//   the UI thread with the outcome (the lobby, the host list).
// - RunTransfer: for the step-by-step flows. On the UI thread it waits in a
//   local event loop, so every window keeps painting and answering, and it
//   returns the reply or throws what the work threw (ETransferAborted after
//   an abort). On any other thread, or without a Qt application, it simply
//   runs the work.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "frontend/online/qv3Inet.h"

class QObject;

namespace qv {

// A transfer ended by Cancel, by closing its box or by the program's end.
// It is no error: flows end as on a failure, without a message.
class ETransferAborted : public EInetError {
public:
    ETransferAborted() : EInetError("Transfer aborted") {}
};

// How a transfer ended. `Failure` holds what the work threw (also
// ETransferAborted); `Reply` what it returned.
struct TTransferOutcome {
    bool Ok = false;
    bool Aborted = false;
    std::string Reply;
    std::string Error;
    std::exception_ptr Failure;
};

// One transfer in flight, shared by its starter and its worker.
class TTransfer {
public:
    // Any thread. The work sees it at once (CurrentTransferAborted) and a
    // libcurl exchange ends within 100 ms.
    void Abort();
    bool Aborted() const { return aborted_.load(std::memory_order_acquire); }
    bool Finished() const;
    // Blocks until the worker has ended. Never call it on the UI thread.
    void WaitFinished();
    // Valid once Finished().
    const TTransferOutcome& Outcome() const { return outcome_; }

private:
    friend struct TTransferAccess;
    std::atomic<bool> aborted_{false};
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool finished_ = false;
    TTransferOutcome outcome_;
};
using TTransferPtr = std::shared_ptr<TTransfer>;

// What runs on the worker: returns the reply, throws on failure.
using TTransferWork = std::function<std::string()>;
// Called on the UI thread (the Qt application's thread) once the work has
// ended; skipped when `context` (if given) is gone by then.
using TTransferDone = std::function<void(const TTransferOutcome& outcome)>;

// Starts `work` on a worker thread. `done` may be empty (then no Qt
// application is needed). After ShutDownTransfers the work does not run:
// the outcome is an abort.
TTransferPtr StartTransfer(TTransferWork work, TTransferDone done = {}, QObject* context = nullptr);

// A GET of `url` into memory, at most `maxBytes` bytes (a larger reply
// fails), following the usual redirect rules and time-outs.
TTransferPtr StartHttpGet(const std::string& url, std::size_t maxBytes, TTransferDone done,
                          QObject* context = nullptr);

// Runs `work` in the background and waits for it as described above.
std::string RunTransfer(TTransferWork work);
// Waits for a started transfer the same way; returns its outcome. On the
// UI thread the wait is a local event loop that AbortForegroundTransfers
// (or the application's quit) ends. With `abortOnCancel` false a cancel
// ends only the wait: the transfer goes on (a download others share), and
// the outcome says Aborted.
TTransferOutcome AwaitTransfer(const TTransferPtr& transfer, bool abortOnCancel = true);

// Aborts the transfers the UI thread is waiting for in RunTransfer or
// AwaitTransfer (those of `abortOnCancel`) and ends the waits at once, not
// when the workers end (Cancel, closing the please-wait box).
void AbortForegroundTransfers();
// The program's end: aborts every transfer, lets no new one run, and waits
// for the workers (each ends within 100 ms of its abort; the wait gives up
// after `limitMs`, 0: no wait). Returns whether all of them ended.
bool ShutDownTransfers(int limitMs = 500);
// Lets transfers run again (tests).
void ResumeTransfers();
// The number of workers still running.
int RunningTransfers();

// For the work: whether the transfer the calling thread works for has been
// aborted (false on a thread that runs no transfer).
bool CurrentTransferAborted();
// Throws ETransferAborted when CurrentTransferAborted().
void ThrowIfTransferAborted();

// True on the Qt application's thread while an application exists.
bool OnUiThread();

}  // namespace qv
