// TfrmMultiPlayer: the lobby window ("Worldwide Competition"). It logs the
// player in through TQVXDPClient, shows the room and the chat (HTML in a
// QTextBrowser, with emoticon pictures and invitation links), sends public
// and private lines and invitations and answers, starts the duel through
// the duel hook and reports its outcome to the lobby.
#pragma once

#include <QDialog>
#include <QIcon>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "multiplayer/lobby/qv3DPClient.h"
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

class TTransfer;

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

    // The style sheet the chat starts with.
    static const char* const kChatStyleSheet;
    // The downloads of the first log-in: emoticon pictures, at most this
    // many in all and this many at a time, and the largest replies taken.
    static constexpr std::size_t kMaxEmoticons = 64;
    static constexpr int kEmoticonsAtOnce = 4;
    static constexpr std::size_t kMaxListBytes = 16 * 1024;
    static constexpr std::size_t kMaxPictureBytes = 64 * 1024;
    static constexpr std::size_t kMaxWelcomeBytes = 64 * 1024;

    void actConnectExecute();
    void actInviteDuelExecute();
    void actSendMessageExecute();
    void actECardExecute();
    void miOnlineSupportClick();
    void UpdateStatusBar();
    void UpdateActions();

    // The chat keeps this many lines (lines with open invitation links
    // stay beyond it) and shows this many characters of a line.
    static constexpr int kMaxChatLines = 1000;
    static constexpr std::size_t kMaxLineChars = 2000;
    // How long one turn of the event loop adds lines to the chat.
    static constexpr int kAppendBudgetMs = 12;

    // A line of the chat: its prefix, then the text (cut to kMaxLineChars)
    // escaped, with emoticon pictures.
    void ShowChatLine(const std::string& text, std::uint8_t isPrivate, const std::string& alias);
    // Queues a line for the chat; lines are added in batches, a time budget
    // per turn of the event loop.
    void AppendHtml(const std::string& html);
    // Adds what is queued now, all of it (tests, and before the links are
    // looked at).
    void FlushChat() { AppendPending(-1); }
    // Lines queued and not yet in the chat.
    std::size_t PendingLines() const { return pending_.size(); }
    // Chat lines in the view, not counting the texts at its top.
    int ChatLines() const { return chatLines_; }
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
    int RunningDownloads() const;
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
    // An open invitation link (its Accept and Refuse, or its Cancel).
    struct TLink {
        std::string Alias;
        std::string Address;
        bool Cancel = false;
    };
    struct TPendingLine {
        std::string Html;
        bool Keep = false;  // holds an open link
    };

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
    // A GET in the background; `done` on the UI thread, unless the window is gone.
    void Fetch(const std::string& url, std::size_t maxBytes, std::function<void(bool ok, std::string reply)> done);
    void StartDownloads();
    void EmoticonListFetched(bool ok, const std::string& reply);
    void FetchNextPictures();
    void StartWelcomeFetch();
    void RepaintPictures();
    void AbortDownloads();
    std::string SelectedCaption() const;
    bool HasPlayer(const std::string& caption) const;
    int AddLink(const std::string& alias, const std::string& address, bool cancel);
    // Adds queued lines for at most `budgetMs` (-1: all), then trims.
    void AppendPending(int budgetMs);
    void TrimChat();
    // Disables every open link that `match` picks; true if any.
    bool DisableLinks(const std::function<bool(const std::string& name, const std::string& href)>& match);

    TLobbyServices services_;
    QIcon stateIcons_[2];
    std::unique_ptr<TQVXDPClient> client_;
    std::vector<std::shared_ptr<TTransfer>> transfers_;
    std::deque<std::size_t> pictureQueue_;
    int picturesRunning_ = 0;
    bool welcomeStarted_ = false;
    bool repaintQueued_ = false;
    bool waitingForHosts_ = false;
    std::vector<std::string> emoticons_;
    std::deque<std::string> linkQueue_;
    // The open invitation links by id; what the chat's links show.
    std::map<int, TLink> links_;
    int nextLink_ = 1;
    std::deque<TPendingLine> pending_;
    bool appendQueued_ = false;
    int headerEnd_ = 0;  // where the chat lines start in the document
    int chatLines_ = 0;
    std::vector<std::function<void()>> held_;
    bool firstConnect_ = true;
    bool inDuel_ = false;
    std::string duelOpponent_;
    std::string duelAddress_;
};

// The lobby window, modal over `owner`.
void RunMultiPlayer(QWidget* owner, TLobbyServices services = {});

}  // namespace qv
