// The host list: the servers of the online services are not fixed in the
// program. A small list is downloaded once per run in the background and
// applied to the six host fields of the settings record, which keeps the
// last known values; built-in defaults take over when the download fails.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "foundation/qv3Environment.h"

namespace qv {

// Where the list comes from, and the built-in defaults.
inline constexpr const char* kHostListServer = "hosts.tollbeck.example";
inline constexpr const char* kHostListPath = "/hosts/qvx3hosts.txt";
inline constexpr const char* kDefaultHighScoreHost = "scores.tollbeck.example";
inline constexpr const char* kDefaultHighScoreBase = "/qvx3/";
inline constexpr const char* kDefaultChatHost = "chat.tollbeck.example";
inline constexpr const char* kDefaultWebHost = "www.tollbeck.example";
inline constexpr const char* kDefaultInternalBase = "/qvx3internal/";

// One HTTP GET on a thread of its own, made suspended. The done and success
// flags are published with release order; the reply may be read once
// Done() has returned true, or after StartAndWait.
class TThreadedHttpGet {
public:
    using TFetcher = std::function<std::string(const std::string& url)>;
    // `fetch` empty: HttpGetText.
    explicit TThreadedHttpGet(std::string url, TFetcher fetch = {});
    // Waits for a running fetch; the transfer's own time-outs bound the wait.
    ~TThreadedHttpGet();
    TThreadedHttpGet(const TThreadedHttpGet&) = delete;
    TThreadedHttpGet& operator=(const TThreadedHttpGet&) = delete;

    // Starts the thread the first time; later calls do nothing.
    void Start();
    // Start, then wait until the thread has ended.
    void StartAndWait();

    const std::string& Url() const { return url_; }
    bool Started() const { return thread_.joinable(); }
    bool Done() const { return done_.load(std::memory_order_acquire); }
    bool Succeeded() const { return success_.load(std::memory_order_acquire); }
    // Valid once Done().
    const std::string& Reply() const { return reply_; }

private:
    std::string url_;
    TFetcher fetch_;
    std::thread thread_;
    std::string reply_;
    std::atomic<bool> success_{false};
    std::atomic<bool> done_{false};
};

// The host-list download of this run; null until created (and after
// "-uninstall", which never creates it).
extern std::unique_ptr<TThreadedHttpGet> HostListFetch;
// "http://" + kHostListServer + kHostListPath, made suspended.
void CreateHostListFetch();
void FreeHostListFetch();

// Applies a host list to the six fields: lines of key=value, keys without
// regard to case, the value everything after the first '='; missing keys
// keep the stored value; values are cut to the field's 150 characters.
void ApplyHostList(const std::string& text, TEnvironmentRecord& record);
// The six built-in defaults.
void ApplyDefaultHosts(TEnvironmentRecord& record);

// Once per run, when connected: the downloaded list (or the defaults when
// the download failed) into Environment. With hosts stored from an earlier
// run it does not wait for the download; a later call applies it.
void ResolveHosts();
// Dials up when needed and checks the connection; connected: ResolveHosts
// and true. Otherwise logs "Unable to connect to the internet" and, with
// `showError`, shows text 351.
bool CheckInternet(bool showError);

// "http://" + HighScoreHost + HighScoreBase, and the same of the internal pages.
std::string ScorePrefix();
std::string InternalPrefix();

}  // namespace qv
