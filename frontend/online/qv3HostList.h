// The host list: the servers of the online services are not fixed in the
// program. A small list is downloaded once per run in the background and
// applied to the six host fields of the settings record, which keeps the
// last known values: a failed download leaves them as they are, and the
// built-in defaults serve only where none are stored.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/qv3Environment.h"
#include "frontend/online/qv3Transfer.h"

class QObject;

namespace qv {

// Where the list comes from, and the built-in defaults.
inline constexpr const char* kHostListServer = "hosts.tollbeck.example";
inline constexpr const char* kHostListPath = "/hosts/qvx3hosts.txt";
inline constexpr const char* kDefaultHighScoreHost = "scores.tollbeck.example";
inline constexpr const char* kDefaultHighScoreBase = "/qvx3/";
inline constexpr const char* kDefaultChatHost = "chat.tollbeck.example";
inline constexpr const char* kDefaultWebHost = "www.tollbeck.example";
inline constexpr const char* kDefaultInternalBase = "/qvx3internal/";

// One HTTP GET run as a background transfer, made suspended. The reply may
// be read once Done() has returned true, or after StartAndWait. Nothing
// joins the worker: the destructor aborts a running fetch and lets it end
// on its own.
class TThreadedHttpGet {
public:
    using TFetcher = std::function<std::string(const std::string& url)>;
    // `fetch` empty: HttpGetText.
    explicit TThreadedHttpGet(std::string url, TFetcher fetch = {});
    ~TThreadedHttpGet();
    TThreadedHttpGet(const TThreadedHttpGet&) = delete;
    TThreadedHttpGet& operator=(const TThreadedHttpGet&) = delete;

    // Starts the transfer the first time; later calls do nothing.
    void Start();
    // Start, then wait until the fetch has ended. On the UI thread the wait
    // runs the event loop and ends early when the wait is cancelled
    // (AbortForegroundTransfers: the fetch itself goes on) or the program
    // ends; Done() tells which.
    void StartAndWait();
    // Calls `ready` on the UI thread once the fetch has ended (soon after
    // this call when it already has); skipped when `context` is gone.
    void WhenDone(QObject* context, std::function<void()> ready);

    const std::string& Url() const { return url_; }
    bool Started() const { return transfer_ != nullptr; }
    bool Done() const;
    bool Succeeded() const;
    // Valid once Done().
    const std::string& Reply() const;
    // Why a fetch that is done did not succeed; empty otherwise.
    const std::string& FailureReason() const;

private:
    struct TWaiters;
    std::string url_;
    TFetcher fetch_;
    TTransferPtr transfer_;
    std::shared_ptr<TWaiters> waiters_;
};

// The host-list download of this run; null until created (and after
// "-uninstall", which never creates it).
extern std::unique_ptr<TThreadedHttpGet> HostListFetch;
// "http://" + kHostListServer + kHostListPath, made suspended. The value
// "HostListServer" of the program's key in the key store (a host, with
// ":port" when needed) takes the server's place when present.
void CreateHostListFetch();
void FreeHostListFetch();

// The longest value a host field holds; a longer one is refused, not cut.
inline constexpr std::size_t kHostValueLimit = 150;

// Applies a host list to the six fields: lines of key=value, keys without
// regard to case, the value everything after the first '=' (blanks around
// it trimmed); missing keys keep the stored value. A value that is not of
// its kind is refused and keeps the stored one: a host must be a host name
// or address with an optional ":port", a base a path from "/", the support
// page an http or https address; none longer than kHostValueLimit. Returns
// whether any value was taken: a reply that gives none is no host list.
bool ApplyHostList(const std::string& text, TEnvironmentRecord& record);
// Letters, digits and '-' in dot-separated labels, optionally ":port".
bool IsHostName(std::string_view value);
// The six built-in defaults.
void ApplyDefaultHosts(TEnvironmentRecord& record);
// The built-in default of every field that holds nothing.
void ApplyDefaultHostsWhereEmpty(TEnvironmentRecord& record);

// Once per run, when connected: the downloaded list into Environment (a
// failed download keeps the stored hosts; defaults fill empty fields).
// With hosts stored from an earlier run it does not wait for the download;
// a later call applies it. With
// none stored it waits for the download (on the UI thread in the event
// loop, with the please-wait box; closing the box ends the wait, not the
// download). Returns whether there are hosts to build addresses with.
bool ResolveHosts();
// Whether the last ResolveHosts ended without hosts because its wait was
// cancelled (the box closed, the program ending): callers end quietly.
bool HostWaitCancelled();
// The online timer's part: starts the download and applies it when it has
// arrived (or failed), never waiting. Offline it does nothing.
void ResolveHostsInBackground();
// Calls `ready(true)` on the UI thread once the hosts are resolved (soon
// after this call when they already are), `ready(false)` when the download
// cannot run (offline, no fetch). Starts the download. Never waits.
void WhenHostsResolved(QObject* context, std::function<void(bool resolved)> ready);
// Dials up when needed and checks the connection; connected: ResolveHosts,
// and false (without a message) when that gave no hosts. Otherwise logs
// "Unable to connect to the internet" and, with `showError`, shows text 351.
bool CheckInternet(bool showError);

// "http://" + HighScoreHost + HighScoreBase (the built-in score host while
// none was resolved), and the same of the internal pages. Every address of
// the score and internal servers starts with one of them.
std::string ScorePrefix();
std::string InternalPrefix();
// Whether `url` lies under `internalPrefix` (a prefix test, without case
// for the scheme and host); never under an empty prefix.
bool IsInternalUrl(const std::string& url, const std::string& internalPrefix);

}  // namespace qv
