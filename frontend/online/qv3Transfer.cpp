#include "frontend/online/qv3Transfer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/Handoff.h"

namespace qv {

struct TTransferAccess {
    static void Finish(TTransfer& t, TTransferOutcome outcome) {
        {
            std::lock_guard<std::mutex> lock(t.m_);
            t.outcome_ = std::move(outcome);
            t.finished_ = true;
        }
        t.cv_.notify_all();
    }
};

namespace {

thread_local TTransfer* gCurrent = nullptr;

// The workers: how many run, and every transfer still alive (for the end).
struct TRegistry {
    std::mutex m;
    std::condition_variable cv;
    int running = 0;
    bool shutDown = false;
    std::vector<std::weak_ptr<TTransfer>> live;
};

TRegistry& Registry() {
    static TRegistry* registry = new TRegistry;  // outlives every worker
    return *registry;
}

std::atomic<bool> gShutDown{false};

// The UI thread's waits: a transfer and the loop waiting for it.
struct TForegroundWait {
    TTransferPtr Transfer;
    QEventLoop* Loop;
    bool AbortOnCancel;
};
std::vector<TForegroundWait>& ForegroundWaits() {
    static std::vector<TForegroundWait> waits;
    return waits;
}

// A transfer's end, carried to the UI thread by Qt's event queue. The worker
// makes the event whole before the hand-off (foundation/Handoff.h) and the
// receiver takes it before it runs the call, so the thread sanitizer
// follows the queue, whose own locking it cannot see.
class TEndedEvent final : public QEvent {
public:
    explicit TEndedEvent(std::function<void()> call) : QEvent(Type()), Call(std::move(call)) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    std::function<void()> Call;
};

class TEndedReceiver final : public QObject {
public:
    using QObject::QObject;
    bool event(QEvent* e) override {
        Taken();
        if (e->type() != TEndedEvent::Type()) return QObject::event(e);
        static_cast<TEndedEvent*>(e)->Call();
        return true;
    }
};

// The receiver of the ends, on the application's thread: a child of the
// application, made on the first transfer of each application object.
QPointer<QObject> EndedReceiver() {
    static std::mutex m;
    static QPointer<QObject> receiver;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return nullptr;
    std::lock_guard<std::mutex> lock(m);
    if (!receiver) {
        if (QThread::currentThread() == app->thread()) {
            receiver = new TEndedReceiver(app);
        } else {
            receiver = new TEndedReceiver;
            receiver->moveToThread(app->thread());
        }
    }
    return receiver;
}

// On the UI thread: a transfer has ended; its waits end.
void WakeWaiters(const TTransfer* t) {
    for (const TForegroundWait& w : ForegroundWaits()) {
        if (w.Transfer.get() == t) w.Loop->quit();
    }
}

bool IsAbort(const std::exception_ptr& e) {
    if (!e) return false;
    try {
        std::rethrow_exception(e);
    } catch (const ETransferAborted&) {
        return true;
    } catch (...) {
        return false;
    }
}

std::string MessageOf(const std::exception_ptr& e) {
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        return x.what();
    } catch (...) {
        return "Unknown failure";
    }
}

void Work(const TTransferPtr& t, const TTransferWork& work, TTransferOutcome& o) {
    gCurrent = t.get();
    try {
        ThrowIfTransferAborted();
        o.Reply = work();
        o.Ok = true;
    } catch (...) {
        o.Failure = std::current_exception();
    }
    gCurrent = nullptr;
    if (t->Aborted() || IsAbort(o.Failure)) {
        o.Ok = false;
        o.Aborted = true;
        o.Reply.clear();
        o.Failure = std::make_exception_ptr(ETransferAborted());
    }
    o.Error = MessageOf(o.Failure);
}

}  // namespace

void TTransfer::Abort() { aborted_.store(true, std::memory_order_release); }

bool TTransfer::Finished() const {
    std::lock_guard<std::mutex> lock(m_);
    return finished_;
}

void TTransfer::WaitFinished() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return finished_; });
}

bool OnUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool CurrentTransferAborted() {
    if (!gCurrent) return false;
    return gCurrent->Aborted() || gShutDown.load(std::memory_order_acquire);
}

void ThrowIfTransferAborted() {
    if (CurrentTransferAborted()) throw ETransferAborted();
}

TTransferPtr StartTransfer(TTransferWork work, TTransferDone done, QObject* context) {
    auto t = std::make_shared<TTransfer>();
    TRegistry& r = Registry();
    {
        std::lock_guard<std::mutex> lock(r.m);
        if (!r.shutDown) {
            std::erase_if(r.live, [](const std::weak_ptr<TTransfer>& w) { return w.expired(); });
            r.live.push_back(t);
            ++r.running;
        } else {
            t->Abort();
        }
    }
    const bool hasContext = context != nullptr;
    QPointer<QObject> guard(context);
    std::function<void(TTransferOutcome)> finish = [t, done = std::move(done), guard, hasContext,
                                                     receiver = EndedReceiver()](TTransferOutcome o) mutable {
        TTransferAccess::Finish(*t, std::move(o));
        if (!receiver || !QCoreApplication::instance()) return;
        auto* event = new TEndedEvent([t, done = std::move(done), guard, hasContext] {
            WakeWaiters(t.get());
            if (done && (!hasContext || guard)) done(t->Outcome());
        });
        Handed();
        QCoreApplication::postEvent(receiver, event);
    };
    if (t->Aborted()) {
        TTransferOutcome o;
        o.Aborted = true;
        o.Failure = std::make_exception_ptr(ETransferAborted());
        o.Error = MessageOf(o.Failure);
        finish(std::move(o));
        return t;
    }
    std::thread([t, work = std::move(work), finish = std::move(finish)]() mutable {
        TTransferOutcome o;
        Work(t, work, o);
        work = nullptr;  // what the work holds goes before the worker counts as ended
        finish(std::move(o));
        finish = nullptr;
        TRegistry& registry = Registry();
        {
            std::lock_guard<std::mutex> lock(registry.m);
            --registry.running;
        }
        registry.cv.notify_all();
    }).detach();
    return t;
}

TTransferPtr StartHttpGet(const std::string& url, std::size_t maxBytes, TTransferDone done, QObject* context) {
    return StartTransfer([url, maxBytes] { return HttpGetBytes(url, maxBytes); }, std::move(done), context);
}

TTransferOutcome AwaitTransfer(const TTransferPtr& transfer, bool abortOnCancel) {
    if (!OnUiThread()) {
        transfer->WaitFinished();
        return transfer->Outcome();
    }
    if (!transfer->Finished()) {
        QEventLoop loop;
        ForegroundWaits().push_back({transfer, &loop, abortOnCancel});
        loop.exec();
        auto& waits = ForegroundWaits();
        waits.erase(std::find_if(waits.begin(), waits.end(),
                                 [&](const TForegroundWait& w) { return w.Loop == &loop; }));
    }
    if (!transfer->Finished()) {
        // The wait was cancelled, or the application is ending: the worker
        // finishes on its own.
        if (abortOnCancel) transfer->Abort();
        TTransferOutcome o;
        o.Aborted = true;
        o.Failure = std::make_exception_ptr(ETransferAborted());
        o.Error = MessageOf(o.Failure);
        return o;
    }
    return transfer->Outcome();
}

std::string RunTransfer(TTransferWork work) {
    if (!OnUiThread()) {
        if (gShutDown.load(std::memory_order_acquire)) throw ETransferAborted();
        return work();
    }
    const TTransferOutcome o = AwaitTransfer(StartTransfer(std::move(work)));
    if (o.Failure) std::rethrow_exception(o.Failure);
    return o.Reply;
}

void AbortForegroundTransfers() {
    // The waits end now, not when their workers do: a worker may still be
    // inside a step that cannot be cut short (a name lookup).
    for (const TForegroundWait& w : ForegroundWaits()) {
        if (w.AbortOnCancel) w.Transfer->Abort();
        w.Loop->quit();
    }
}

bool ShutDownTransfers(int limitMs) {
    TRegistry& r = Registry();
    std::unique_lock<std::mutex> lock(r.m);
    r.shutDown = true;
    gShutDown.store(true, std::memory_order_release);
    for (const std::weak_ptr<TTransfer>& w : r.live) {
        if (const TTransferPtr t = w.lock()) t->Abort();
    }
    r.live.clear();
    return r.cv.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return r.running == 0; });
}

void ResumeTransfers() {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.m);
    r.shutDown = false;
    gShutDown.store(false, std::memory_order_release);
}

int RunningTransfers() {
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.m);
    return r.running;
}

}  // namespace qv
