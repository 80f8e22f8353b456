// TfrmMultiPlayer: the lobby window ("Worldwide Competition"). It logs the
// player in through TQVXDPClient, shows the room and the chat, sends public
// and private lines and invitations and answers, starts the duel through
// the duel hook and reports its outcome to the lobby. Its parts, each in a
// unit of its own: what a chat line says (qv3ChatText), the chat view's
// batches (qv3ChatView), the open invitation links (qv3Invitations), the
// downloads (qv3LobbyDownloads) and the duel (qv3LobbyDuel.cpp).
#pragma once

#include <QDialog>
#include <QIcon>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "multiplayer/lobby/qv3ChatView.h"
#include "multiplayer/lobby/qv3DPClient.h"
#include "multiplayer/lobby/qv3Invitations.h"
#include "multiplayer/lobby/qv3LobbyDownloads.h"
#include "platform/session/Guid.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTextBrowser;
class QTimer;
class QTreeWidget;

namespace qv {

// Runs one duel against `name` (joining the duel at `address`, or hosting
// it when empty); returns the outcome (0 none, 1 lost, 2 won, 3 both lost)
// and writes the race id and total score.
using TRunDuelHook = std::function<int(QWidget* owner, const std::string& name, const std::string& address,
                                       TGuid& raceId, std::int32_t& total)>;

// What the lobby window asks of the rest of the program. The window fills
// every member left empty with the program's own routine, once, when it is
// made, and calls them directly.
struct TLobbyServices {
    // Whether the internet can be reached (the hosts may still be on their
    // way); tells the player when not.
    std::function<bool(bool showError)> CheckInternet;
    // Calls `then` once the chat and internal hosts are known (true), or
    // once they cannot be (false); never waits. Nothing is called once
    // `context` is gone.
    std::function<void(QObject* context, std::function<void(bool known)> then)> WaitForHosts;
    // The HTTP GET behind the downloads (emoticons, welcome text), at most
    // `maxBytes`; it runs on a transfer's worker thread and throws on failure.
    std::function<std::string(const std::string& url, std::size_t maxBytes)> HttpGet;
    std::function<void(const std::string& url)> OpenURL;
    std::function<void(QWidget* owner)> SendEmailCard;
    // A plain message box (held while a duel runs).
    std::function<void(const std::string& text)> ShowMessage;
    // The log-in dialog; true when confirmed.
    std::function<bool(QWidget* owner)> LogIn;
    // Draws attention to the window (it is not the active one).
    std::function<void(QWidget* window)> Flash;
    // The bytes of a picture of the program's resources ("lobbyplayer0.png");
    // empty when there is none.
    std::function<std::string(const std::string& name)> Picture;
    // The duel; empty: the lobby cannot start one and says so.
    TRunDuelHook RunDuel;
    TQVXDPClient::TOptions Client;
};

class TfrmMultiPlayer : public QDialog {
    Q_OBJECT

public:
    explicit TfrmMultiPlayer(TLobbyServices services = {}, QWidget* parent = nullptr);
    ~TfrmMultiPlayer() override;

    void actConnectExecute();
    void actInviteDuelExecute();
    void actSendMessageExecute();
    void actECardExecute();
    void miOnlineSupportClick();
    void UpdateStatusBar();
    void UpdateActions();

    // The chat keeps this many lines (lines with open invitation links
    // stay beyond it) and shows this many characters of a line.
    static constexpr int kMaxChatLines = TChatView::kMaxChatLines;
    static constexpr std::size_t kMaxLineChars = 2000;

    // A line of the chat: its prefix, then the text (cut to kMaxLineChars)
    // escaped, with emoticon pictures.
    void ShowChatLine(const std::string& text, std::uint8_t isPrivate, const std::string& alias);
    // Queues a line for the chat; lines are added in batches, a time budget
    // per turn of the event loop.
    void AppendHtml(const std::string& html);
    // Adds what is queued now, all of it (tests, and before the links are
    // looked at).
    void FlushChat() { chat_->Flush(); }
    // Lines queued and not yet in the chat.
    std::size_t PendingLines() const { return chat_->PendingLines(); }
    // Chat lines in the view, not counting the texts at its top.
    int ChatLines() const { return chat_->ChatLines(); }
    // `html` above every chat line, below what is there already.
    void AppendHeader(const std::string& html);
    // Runs `show` now, or, while a duel runs, once it has returned and its
    // end has been reported to the lobby.
    void ShowWhenFree(std::function<void()> show);
    // The chat text escaped, with emoticon codes as pictures (one pass).
    std::string RenderChatText(const std::string& text) const;

    bool DisableAnswerLinks(const std::string& alias);
    bool DisableCancelLinks(const std::string& alias);
    void DisableAllInvitationLinks();
    bool HasOtherOpenInvitation(const std::string& alias) const;
    // Clicking a link of the chat view.
    void LinkClicked(const QUrl& url);

    TQVXDPClient* Client() const { return client_.get(); }
    // While the host list is awaited (no hosts stored yet).
    bool WaitingForHosts() const { return waitingForHosts_; }
    // Downloads still running.
    int RunningDownloads() const { return downloads_->Running(); }
    bool InDuel() const { return inDuel_; }
    const std::vector<std::string>& Emoticons() const { return emoticons_; }

    QStatusBar* sbStatus;
    QLabel* sbState;
    QLabel* sbName;
    QTextBrowser* brwMessages;
    QLineEdit* memMessage;
    QPushButton* btnSend;
    QTreeWidget* lvPlayers;
    QAction* actConnect;
    QAction* actInviteDuel;
    QAction* actECard;
    QAction* miFileClose;
    QAction* miOnlineSupport;
    QTimer* TimerStatusBar;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartLobby();
    void StartDuel();
    void HandleLinks();
    void OnConnected();
    void OnError(std::uint8_t code, const std::string& text);
    void OnSessionLost();
    void OnInvitation(const std::string& alias, std::uint8_t action, const std::string& address);
    void OnInvitationAnswer(const std::string& alias, std::uint8_t answer);
    void FillPlayers();
    void DropStaleInvitations();
    void DisconnectAndClear();
    void FlashLobby();
    void ShowMessage(const std::string& text);
    void AppendInvitationText(const std::string& text);
    // Runs `then` once there are hosts to build addresses with: at once
    // when stored, else after the host-list download (never waiting here).
    void WithHosts(std::function<void()> then);
    void ConnectNow();
    std::string SelectedCaption() const;
    bool HasPlayer(const std::string& caption) const;
    // Drops every open link that `match` picks, in the table and in the
    // chat; true if the chat had any.
    bool DisableLinks(const std::function<bool(const std::string& name, std::string_view href)>& match);

    TLobbyServices services_;
    QIcon stateIcons_[2];
    std::unique_ptr<TQVXDPClient> client_;
    TChatView* chat_ = nullptr;
    TLobbyDownloads* downloads_ = nullptr;
    bool waitingForHosts_ = false;
    std::vector<std::string> emoticons_;
    TInvitationLinks links_;
    std::deque<std::string> linkQueue_;
    std::vector<std::function<void()>> held_;
    bool firstConnect_ = true;
    bool inDuel_ = false;
    std::string duelOpponent_;
    std::string duelAddress_;
};

// The lobby window, modal over `owner`.
void RunMultiPlayer(QWidget* owner, TLobbyServices services = {});

}  // namespace qv
