// What the main window asks of the rest of the program: the online
// services, the lobby, the start-up report and the memory check. A hook left
// empty does what an offline program does: the main window fills it so, once,
// when it is made (FillOfflineDefaults), and then calls every hook directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace qv::ui {

class TfrmMain;

struct TFrontendHooks {
    // The start-up report into the log (version and machine).
    std::function<void()> WriteStartupReport;
    // Whether free memory is enough to play; may ask the player. Empty: yes.
    std::function<bool(QWidget* owner)> CheckMemory;
    // The multiplayer lobby of carousel slot 0, run modally over the main
    // window (whose options decide the duel's display).
    std::function<void(TfrmMain& main)> RunLobby;

    // A cheap check whether the internet can be reached. Empty: offline.
    std::function<bool()> IsInternetConnected;
    // Checks the connection, telling the player when it fails. Empty: offline.
    std::function<bool(bool showMessage)> CheckInternet;
    // Applies the downloaded host list (once per run).
    std::function<void()> ResolveHosts;
    // Starts the host-list download, or applies it once it is there; never
    // waits. True when there are hosts to build addresses with.
    std::function<bool()> ResolveHostsInBackground;
    // Stops the transfers the UI thread waits for (a box was closed).
    std::function<void()> AbortTransfers;
    // GET of a text; throws on failure.
    std::function<std::string(const std::string& url)> HttpGetText;
    // Opens an address in the system's browser. Empty: the desktop's opener.
    std::function<void(const std::string& url)> OpenURL;

    // The online dialogs, run modally over `owner`.
    std::function<void(QWidget* owner)> PublishHighscore;
    std::function<void(QWidget* owner)> SendEmailCard;
    std::function<void(QWidget* owner, const std::string& logText)> PublishErrorReport;
    // The world's-best download: 0 when the player chose to watch it, else -1.
    std::function<int(QWidget* owner)> DownloadWorldBest;
    // The new-best-score prompt: true when the player wants to publish.
    std::function<bool(QWidget* owner)> HighscoreNew;
    // The known-error lookup, run at the end of a timer tick when due.
    std::function<void(QWidget* owner)> LookUpKnownError;
};

// Gives every empty hook of `hooks` what an offline program does: no
// internet, no hosts, no dialogs; memory counts as enough; addresses go to
// the desktop's opener.
void FillOfflineDefaults(TFrontendHooks& hooks);

// Starts the desktop's opener on `url` without waiting for it
// (sys::StartDesktopOpener); only http, https and file addresses are handed
// on. False when it was refused or could not start.
bool OpenUrlWithDesktop(const std::string& url);

}  // namespace qv::ui
