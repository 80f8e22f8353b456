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

class TThreadedHttpGet;

// Runs one duel against `name` (joining the duel at `address`, or hosting
// it when empty); returns the outcome (0 none, 1 lost, 2 won, 3 both lost)
// and writes the race id and total score.
using TRunDuelHook = std::function<int(QWidget* owner, const std::string& name, const std::string& address,
                                       TGuid& raceId, std::int32_t& total)>;
// The program's duel; empty: the lobby cannot start a duel and says so.
TRunDuelHook& LobbyRunDuel();

// What the lobby window asks of the rest of the program; each empty member
// takes the program's own routine.
struct TLobbyServices {
    std::function<bool(bool showError)> CheckInternet;
    std::function<void()> ResolveHosts;
    // The HTTP GET behind the downloads (emoticons, welcome text).
    std::function<std::string(const std::string& url)> HttpGet;
    std::function<void(const std::string& url)> OpenURL;
    std::function<void(QWidget* owner)> SendEmailCard;
    // A plain message box.
    std::function<void(const std::string& text)> ShowMessage;
    // The log-in dialog; true when confirmed.
    std::function<bool(QWidget* owner)> LogIn;
    // Draws attention to the window (it is not the active one).
    std::function<void(QWidget* window)> Flash;
    // The bytes of a picture of the program's resources ("lobbyplayer0.png").
    // Empty: OnlinePictureSource().
    std::function<std::string(const std::string& name)> Picture;
    // Overrides LobbyRunDuel() (tests).
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

    void actConnectExecute();
    void actInviteDuelExecute();
    void actSendMessageExecute();
    void actECardExecute();
    void miOnlineSupportClick();
    void UpdateStatusBar();
    void UpdateActions();

    // The chat line as it enters the document (without its <br>): prefix,
    // escaped text and emoticon pictures.
    void ShowChatLine(const std::string& text, std::uint8_t isPrivate, const std::string& alias);
    void AppendHtml(const std::string& html);
    // The chat text escaped, with emoticon codes as pictures (one pass).
    std::string RenderChatText(const std::string& text) const;

    bool DisableAnswerLinks(const std::string& alias);
    bool DisableCancelLinks(const std::string& alias);
    void DisableAllInvitationLinks();
    bool HasOtherOpenInvitation(const std::string& alias) const;
    // Clicking a link of the chat view.
    void LinkClicked(const QUrl& url);

    TQVXDPClient* Client() const { return client_.get(); }
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

private:
    struct TLink {
        std::string Alias;
        std::string Address;
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
    void FetchEmoticonPictures();
    std::string SelectedCaption() const;
    bool HasPlayer(const std::string& caption) const;
    int AddLink(const std::string& alias, const std::string& address);
    // Disables every open link that `match` picks; true if any.
    bool DisableLinks(const std::function<bool(const std::string& name, const std::string& href)>& match);

    TLobbyServices services_;
    QIcon stateIcons_[2];
    std::unique_ptr<TQVXDPClient> client_;
    std::unique_ptr<TThreadedHttpGet> emoticonFetch_;
    std::unique_ptr<TThreadedHttpGet> welcomeFetch_;
    std::vector<std::string> emoticons_;
    std::deque<std::string> linkQueue_;
    std::map<int, TLink> links_;
    int nextLink_ = 1;
    bool firstConnect_ = true;
    bool inDuel_ = false;
    std::string duelOpponent_;
    std::string duelAddress_;
};

// The lobby window, modal over `owner`.
void RunMultiPlayer(QWidget* owner, TLobbyServices services = {});

}  // namespace qv
