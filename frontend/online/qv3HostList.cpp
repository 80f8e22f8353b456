#include "frontend/online/qv3HostList.h"

#include <array>
#include <exception>

#include "foundation/TextUtil.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"

namespace qv {

namespace {
constexpr int kTextNoInternet = 351;
}

std::unique_ptr<TThreadedHttpGet> HostListFetch;

TThreadedHttpGet::TThreadedHttpGet(std::string url, TFetcher fetch) : url_(std::move(url)), fetch_(std::move(fetch)) {
    if (!fetch_) fetch_ = [](const std::string& u) { return HttpGetText(u); };
}

TThreadedHttpGet::~TThreadedHttpGet() {
    if (thread_.joinable()) thread_.join();
}

void TThreadedHttpGet::Start() {
    if (thread_.joinable() || Done()) return;
    thread_ = std::thread([this] {
        bool ok = false;
        try {
            reply_ = fetch_(url_);
            ok = true;
        } catch (...) {
            ok = false;
        }
        success_.store(ok, std::memory_order_release);
        done_.store(true, std::memory_order_release);
    });
}

void TThreadedHttpGet::StartAndWait() {
    Start();
    if (thread_.joinable()) thread_.join();
}

void CreateHostListFetch() {
    HostListFetch = std::make_unique<TThreadedHttpGet>(std::string("http://") + kHostListServer + kHostListPath);
}

void FreeHostListFetch() { HostListFetch.reset(); }

void ApplyHostList(const std::string& text, TEnvironmentRecord& record) {
    const std::vector<std::string> lines = SplitLines(text);
    auto apply = [&](const char* key, auto& field) {
        for (const std::string& line : lines) {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            if (SameTextNoCase(std::string_view(line).substr(0, eq), key)) {
                field = std::string_view(line).substr(eq + 1);
                return;
            }
        }
    };
    apply("HighScoreHost", record.HighScoreHost);
    apply("HighScoreBase", record.HighScoreBase);
    apply("ChatHost", record.ChatHost);
    apply("InternalHost", record.InternalHost);
    apply("InternalBase", record.InternalBase);
    apply("SupportURL", record.SupportURL);
}

void ApplyDefaultHosts(TEnvironmentRecord& record) {
    record.HighScoreHost = kDefaultHighScoreHost;
    record.HighScoreBase = kDefaultHighScoreBase;
    record.ChatHost = kDefaultChatHost;
    record.InternalHost = kDefaultWebHost;
    record.InternalBase = kDefaultInternalBase;
    record.SupportURL = std::string("http://") + kDefaultWebHost + kDefaultInternalBase;
}

void ResolveHosts() {
    if (HostsResolved || !IsInternetConnected()) return;
    TThreadedHttpGet* fetch = HostListFetch.get();
    if (fetch && !fetch->Done()) {
        fetch->Start();
        // The stored hosts serve until the list has arrived.
        if (!Environment.HighScoreHost.empty()) return;
        fetch->StartAndWait();
    }
    // A failed download brings back the defaults, also over hosts stored
    // by an earlier run: the list server is the authority on them.
    if (fetch && fetch->Succeeded()) {
        ApplyHostList(fetch->Reply(), Environment);
    } else {
        ApplyDefaultHosts(Environment);
    }
    HostsResolved = true;
}

bool CheckInternet(bool showError) {
    AutoDialInternet();
    if (IsInternetConnected()) {
        ResolveHosts();
        return true;
    }
    LogMessage("Unable to connect to the internet", lkInfo);
    if (showError) ShowOnlineMessage(TMessageKind::Information, LangText(kTextNoInternet));
    return false;
}

std::string ScorePrefix() { return "http://" + Environment.HighScoreHost.Str() + Environment.HighScoreBase.Str(); }

std::string InternalPrefix() {
    return "http://" + Environment.InternalHost.Str() + Environment.InternalBase.Str();
}

}  // namespace qv
