#include "frontend/ui/qv3FrontendHooks.h"

#include "foundation/Exceptions.h"
#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"
#include "platform/system/Internet.h"

namespace qv::ui {

void FillOfflineDefaults(TFrontendHooks& h) {
    const auto fill = [](auto& hook, auto fallback) {
        if (!hook) hook = std::move(fallback);
    };
    fill(h.WriteStartupReport, [] {});
    fill(h.CheckMemory, [](QWidget*) { return true; });
    fill(h.RunLobby, [](TfrmMain&) {});
    fill(h.IsInternetConnected, [] { return false; });
    fill(h.CheckInternet, [](bool) { return false; });
    fill(h.ResolveHosts, [] {});
    // Without a download of their own the hosts are there once resolved.
    fill(h.ResolveHostsInBackground, [resolve = h.ResolveHosts] {
        resolve();
        return true;
    });
    fill(h.AbortTransfers, [] {});
    fill(h.HttpGetText, [](const std::string& url) -> std::string { throw Exception("Offline: " + url); });
    fill(h.OpenURL, [](const std::string& url) {
        if (!OpenUrlWithDesktop(url)) LogMessage("Unable to open " + url, lkWarning);
    });
    fill(h.PublishHighscore, [](QWidget*) {});
    fill(h.SendEmailCard, [](QWidget*) {});
    fill(h.PublishErrorReport, [](QWidget*, const std::string&) {});
    fill(h.DownloadWorldBest, [](QWidget*) { return -1; });
    fill(h.HighscoreNew, [](QWidget*) { return false; });
    fill(h.LookUpKnownError, [](QWidget*) {});
}

bool OpenUrlWithDesktop(const std::string& url) {
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://") && !StartsWithNoCase(url, "file://"))
        return false;
    return sys::StartDesktopOpener(url);
}

}  // namespace qv::ui
