#include "frontend/online/qv3HostList.h"

#include <QCoreApplication>
#include <QPointer>

#include <array>
#include <string_view>
#include <exception>
#include <utility>
#include <vector>

#include "foundation/TextUtil.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"
#include "platform/system/Internet.h"
#include "platform/system/KeyStore.h"

namespace qv {

namespace {
constexpr int kTextNoInternet = 351;
constexpr int kTextConnecting = 424;
}

std::unique_ptr<TThreadedHttpGet> HostListFetch;

// Who waits for a fetch: callbacks to run on the UI thread once it ends.
struct TThreadedHttpGet::TWaiters {
    bool ended = false;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> calls;

    void RunAll() {
        ended = true;
        auto pending = std::move(calls);
        calls.clear();
        for (auto& [context, ready] : pending) {
            if (context) ready();
        }
    }
};

TThreadedHttpGet::TThreadedHttpGet(std::string url, TFetcher fetch)
    : url_(std::move(url)), fetch_(std::move(fetch)), waiters_(std::make_shared<TWaiters>()) {
    if (!fetch_) fetch_ = [](const std::string& u) { return NormalizeLineBreaks(HttpGetBytes(u, 0)); };
}

TThreadedHttpGet::~TThreadedHttpGet() {
    if (transfer_) transfer_->Abort();
    // Whoever waits hears nothing of a fetch that is gone.
    waiters_->calls.clear();
    waiters_->ended = true;
}

void TThreadedHttpGet::Start() {
    if (transfer_) return;
    TTransferDone done;
    if (QCoreApplication::instance()) {
        done = [waiters = waiters_](const TTransferOutcome&) { waiters->RunAll(); };
    }
    transfer_ = StartTransfer([fetch = fetch_, url = url_] { return fetch(url); }, std::move(done));
}

void TThreadedHttpGet::StartAndWait() {
    Start();
    AwaitTransfer(transfer_, false);
}

void TThreadedHttpGet::WhenDone(QObject* context, std::function<void()> ready) {
    Start();
    if (!waiters_->ended) {
        waiters_->calls.emplace_back(QPointer<QObject>(context), std::move(ready));
        return;
    }
    QPointer<QObject> guard(context);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [guard, ready = std::move(ready)] {
            if (guard) ready();
        },
        Qt::QueuedConnection);
}

bool TThreadedHttpGet::Done() const { return transfer_ && transfer_->Finished(); }

bool TThreadedHttpGet::Succeeded() const { return Done() && transfer_->Outcome().Ok; }

const std::string& TThreadedHttpGet::Reply() const {
    static const std::string none;
    return Done() ? transfer_->Outcome().Reply : none;
}

const std::string& TThreadedHttpGet::FailureReason() const {
    static const std::string none;
    return Done() && !transfer_->Outcome().Ok ? transfer_->Outcome().Error : none;
}

void CreateHostListFetch() {
    std::string server = kHostListServer;
    const sys::TKeyStore store(KeyStorePath());
    if (auto v = store.ReadString(sys::kProgramKey, "HostListServer"); v && !v->empty()) server = *v;
    HostListFetch = std::make_unique<TThreadedHttpGet>("http://" + server + kHostListPath);
}

void FreeHostListFetch() { HostListFetch.reset(); }

bool IsHostName(std::string_view value) {
    if (value.empty() || value.size() > kHostValueLimit) return false;
    std::string_view host = value;
    if (const std::size_t colon = value.find(':'); colon != std::string_view::npos) {
        host = value.substr(0, colon);
        const std::string_view port = value.substr(colon + 1);
        if (port.empty() || port.size() > 5) return false;
        unsigned long number = 0;
        for (char c : port) {
            if (c < '0' || c > '9') return false;
            number = number * 10 + static_cast<unsigned long>(c - '0');
        }
        if (number == 0 || number > 65535) return false;
    }
    if (host.empty() || host.back() == '.') return false;
    std::size_t label = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        const char c = i < host.size() ? host[i] : '.';
        if (c == '.') {
            // Labels of 1 to 63 characters that neither start nor end with '-'.
            if (label == 0 || label > 63 || host[i - 1] == '-' || host[i - label] == '-') return false;
            label = 0;
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-') {
            ++label;
        } else {
            return false;
        }
    }
    return true;
}

namespace {

// Printable ASCII without blanks: what an address may hold unencoded.
bool IsAddressText(std::string_view value) {
    for (char c : value) {
        if (c <= ' ' || c >= 0x7F) return false;
    }
    return true;
}

bool IsBasePath(std::string_view value) {
    return !value.empty() && value.size() <= kHostValueLimit && value.front() == '/' && IsAddressText(value);
}

bool IsWebAddress(std::string_view value) {
    return value.size() <= kHostValueLimit && sys::IsWebUrl(std::string(value));
}

}  // namespace

bool ApplyHostList(const std::string& text, TEnvironmentRecord& record) {
    const std::vector<std::string> lines = SplitLines(text);
    bool applied = false;
    auto apply = [&](const char* key, auto& field, bool (*usable)(std::string_view)) {
        for (const std::string& line : lines) {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            if (SameTextNoCase(std::string_view(line).substr(0, eq), key)) {
                // A value with control bytes is no host or address: the stored one stays.
                const std::string_view raw = std::string_view(line).substr(eq + 1);
                const std::string value = TrimText(raw);
                if (!HasControlBytes(raw) && usable(value)) {
                    field = value;
                    applied = true;
                } else {
                    LogMessage(std::string("Host list value refused: ") + key, lkWarning);
                }
                return;
            }
        }
    };
    apply("HighScoreHost", record.HighScoreHost, IsHostName);
    apply("HighScoreBase", record.HighScoreBase, IsBasePath);
    apply("ChatHost", record.ChatHost, IsHostName);
    apply("InternalHost", record.InternalHost, IsHostName);
    apply("InternalBase", record.InternalBase, IsBasePath);
    apply("SupportURL", record.SupportURL, IsWebAddress);
    return applied;
}

void ApplyDefaultHosts(TEnvironmentRecord& record) {
    record.HighScoreHost = kDefaultHighScoreHost;
    record.HighScoreBase = kDefaultHighScoreBase;
    record.ChatHost = kDefaultChatHost;
    record.InternalHost = kDefaultWebHost;
    record.InternalBase = kDefaultInternalBase;
    record.SupportURL = std::string("http://") + kDefaultWebHost + kDefaultInternalBase;
}

void ApplyDefaultHostsWhereEmpty(TEnvironmentRecord& record) {
    TEnvironmentRecord defaults;
    ApplyDefaultHosts(defaults);
    auto fill = [](auto& field, const auto& value) {
        if (field.empty()) field = value;
    };
    fill(record.HighScoreHost, defaults.HighScoreHost);
    fill(record.HighScoreBase, defaults.HighScoreBase);
    fill(record.ChatHost, defaults.ChatHost);
    fill(record.InternalHost, defaults.InternalHost);
    fill(record.InternalBase, defaults.InternalBase);
    fill(record.SupportURL, defaults.SupportURL);
}

namespace {

// The fetched list into Environment, once. A download that failed, or a
// reply that holds no usable value, changes nothing stored: the last known
// hosts serve, and the built-in ones only where none are stored.
void ApplyFetchedHosts(const TThreadedHttpGet* fetch) {
    if (fetch && fetch->Succeeded()) {
        if (!ApplyHostList(fetch->Reply(), Environment)) {
            LogMessage("Host list not fetched: the reply holds no host list", lkInfo);
        }
    } else if (fetch) {
        LogMessage("Host list not fetched: " + fetch->FailureReason(), lkInfo);
    }
    ApplyDefaultHostsWhereEmpty(Environment);
    HostsResolved = true;
}

bool HaveHosts() { return !Environment.HighScoreHost.empty(); }

bool hostWaitCancelled = false;

}  // namespace

bool HostWaitCancelled() { return hostWaitCancelled; }

bool ResolveHosts() {
    hostWaitCancelled = false;
    if (HostsResolved) return true;
    if (!IsInternetConnected()) return HaveHosts();
    TThreadedHttpGet* fetch = HostListFetch.get();
    if (fetch && !fetch->Done()) {
        fetch->Start();
        // The stored hosts serve until the list has arrived.
        if (HaveHosts()) return true;
        {
            TPleaseWaitScope wait(LangText(kTextConnecting));
            fetch->StartAndWait();
        }
        // The wait was cancelled, or the program ends: no hosts yet.
        if (!fetch->Done()) {
            hostWaitCancelled = true;
            return false;
        }
    }
    ApplyFetchedHosts(fetch);
    return true;
}

void ResolveHostsInBackground() {
    if (HostsResolved || !IsInternetConnected()) return;
    TThreadedHttpGet* fetch = HostListFetch.get();
    if (!fetch) {
        ApplyFetchedHosts(nullptr);
        return;
    }
    if (fetch->Done()) {
        ApplyFetchedHosts(fetch);
        return;
    }
    if (fetch->Started()) return;
    fetch->WhenDone(QCoreApplication::instance(), [fetch] {
        // The fetch of this run only: a reset may have replaced it.
        if (!HostsResolved && fetch == HostListFetch.get()) ApplyFetchedHosts(fetch);
    });
}

void WhenHostsResolved(QObject* context, std::function<void(bool resolved)> ready) {
    QPointer<QObject> guard(context);
    auto later = [guard, ready](bool resolved) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, ready, resolved] {
                if (guard) ready(resolved);
            },
            Qt::QueuedConnection);
    };
    if (HostsResolved) return later(true);
    if (!IsInternetConnected()) return later(false);
    TThreadedHttpGet* fetch = HostListFetch.get();
    if (!fetch || fetch->Done()) {
        ApplyFetchedHosts(fetch);
        return later(true);
    }
    fetch->WhenDone(context, [fetch, guard, ready] {
        if (!HostsResolved && fetch == HostListFetch.get()) ApplyFetchedHosts(fetch);
        if (guard) ready(HostsResolved);
    });
}

bool CheckInternet(bool showError) {
    AutoDialInternet();
    if (IsInternetConnected()) return ResolveHosts();
    LogMessage("Unable to connect to the internet", lkInfo);
    if (showError) ShowOnlineMessage(TMessageKind::Information, LangText(kTextNoInternet));
    return false;
}

std::string ScorePrefix() {
    // Before the hosts were ever resolved the record holds none: the
    // built-in ones serve then.
    if (Environment.HighScoreHost.empty()) return std::string("http://") + kDefaultHighScoreHost + kDefaultHighScoreBase;
    return "http://" + Environment.HighScoreHost.Str() + Environment.HighScoreBase.Str();
}

bool IsInternalUrl(const std::string& url, const std::string& internalPrefix) {
    return !internalPrefix.empty() && StartsWithNoCase(url, internalPrefix);
}

std::string InternalPrefix() {
    return "http://" + Environment.InternalHost.Str() + Environment.InternalBase.Str();
}

}  // namespace qv
