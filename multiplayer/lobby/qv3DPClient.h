// TQVXDPClient: the client of the chat lobby. It finds the lobby server on
// a host, logs in with the player's alias and log-in key, keeps the room's
// players, and carries chat lines, private lines, duel invitations and
// their answers, the playing flag and duel results.
//
// The session's worker thread parses what arrives, queues it under a lock
// and posts to this object; the signals therefore always come on the
// thread that owns it (the main thread), and no lock is held while one
// runs. Needs only QtCore.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "multiplayer/lobby/qv3DPConsts.h"
#include "multiplayer/lobby/qv3LobbyMessages.h"
#include "platform/session/DPlay8.h"

namespace qv {

namespace sys {
class IClock;
}
class TzkDPClient;
class TThreadedTimer;
class ITimerWaitClock;

// Finding, then logging in must outlast enumCount queries of timeoutMs
// with retryMs between them.
std::int32_t LobbyConnectWindow(const dpn::TSessionOptions& session);
// The session under the lobby: its own connect time-out ends only after
// the connect window and the deadline check that follows it, so a log-in
// that never completes is reported as the time-out it is.
dpn::TSessionOptions LobbySessionOptions();

class TQVXDPClient : public QObject {
    Q_OBJECT

public:
    enum : std::uint8_t { stIdle = 0, stFindingServer = 1, stConnecting = 2, stLoggedIn = 3 };
    static constexpr std::int64_t kFindServerTimeoutMs = 7000;
    static constexpr std::uint32_t kDeadlineCheckMs = 2000;
    // How long one turn of the event loop hands queued chat lines on.
    static constexpr int kDrainBudgetMs = 5;

    struct TOptions {
        // Where "now" comes from (its 64-bit counter); null: the system clock.
        sys::IClock* Clock = nullptr;
        // Time-outs of the session underneath.
        dpn::TSessionOptions Session = LobbySessionOptions();
        // The lobby port; tests use one of the system's choosing.
        std::uint32_t Port = kLobbyPort;
        // Whether the deadline check runs on its own every 2000 ms (tests
        // call CheckDeadline instead).
        bool RunTimer = true;
        // How the check's timer waits; null: real time.
        ITimerWaitClock* TimerClock = nullptr;
    };

    explicit TQVXDPClient(QObject* parent = nullptr);
    TQVXDPClient(const TOptions& options, QObject* parent = nullptr);
    ~TQVXDPClient() override;

    // Only from idle: keeps host, key and alias (cut to 15) and starts
    // looking for the lobby session on the host.
    void Connect(const std::string& host, const std::string& key, const std::string& alias);
    // Goes idle, closes the session and empties the room. A failure is
    // raised as a logged error "Disconnecting: " + its message.
    void Disconnect();

    // Each does nothing unless logged in.
    void SendChat(const std::string& text);
    void SendPrivateMessage(const std::string& to, const std::string& text);
    void SendInvitation(const std::string& alias, std::uint8_t action);
    // Also nothing unless the inviter's alias is a valid nickname.
    void AnswerInvitation(const std::string& alias, std::uint8_t answer);
    void SetPlaying(std::uint8_t flag);
    void SendDuelResult(const std::string& opponent, const TGuid& raceId, bool won, std::int32_t total);

    // A copy of the room, taken under its lock.
    std::vector<TRoomPlayer> PlayersSnapshot() const;

    std::uint8_t State() const { return state_; }
    std::string LoginName() const;
    std::string ReasonText() const;
    const std::string& Host() const { return host_; }
    const std::string& LoginKey() const { return loginKey_; }
    std::int32_t ConnectWindow() const { return connectWindow_; }
    std::int64_t Deadline() const { return deadline_; }

    // The timer's work: when finding or connecting has run past its
    // deadline, logs "Connect failure", disconnects and reports code 5.
    void CheckDeadline();

signals:
    void Connected();
    void SessionLost();
    void PlayersChanged();
    void Error(std::uint8_t code, const std::string& text);
    void ChatLine(const std::string& text, std::uint8_t isPrivate, const std::string& alias);
    void Invitation(const std::string& alias, std::uint8_t action, const std::string& address);
    void InvitationAnswer(const std::string& alias, std::uint8_t answer);

protected:
    void customEvent(QEvent* event) override;

private:
    struct TQueuedChat {
        std::string Text;
        std::uint8_t Private;
        std::string Alias;
    };
    struct TQueuedInvitation {
        std::string Alias;
        std::uint8_t Action;
        std::string Address;
    };
    struct TQueuedAnswer {
        std::string Alias;
        std::uint8_t Answer;
    };

    std::int64_t Now() const;
    void SetState(std::uint8_t state);
    void Post(int message, std::int64_t lParam = 0);
    void PostFor(std::uint64_t attempt, int message, std::int64_t lParam);
    bool SendMessage(const lobby::TBytes& message);

    // Worker thread.
    void HandleReceive(const std::uint8_t* data, std::uint32_t size);
    void HandleConnectComplete(std::uint64_t attempt, dpn::HRESULT result, const std::uint8_t* data,
                               std::uint32_t size);
    // Main thread.
    void HostFound();
    void LoginReplied(std::uint8_t code);
    void Terminated();
    void DrainChat();
    void DrainInvitations();
    void DrainAnswers();

    sys::IClock* clock_;
    std::uint32_t port_;
    std::unique_ptr<TzkDPClient> dp_;
    std::unique_ptr<TThreadedTimer> timer_;

    std::uint8_t state_ = stIdle;
    std::int64_t deadline_ = 0;
    std::int32_t connectWindow_ = 0;
    std::string host_;
    std::string loginKey_;
    // Written by the worker on the log-in reply.
    mutable std::mutex textLock_;
    std::string loginName_;
    std::string reasonText_;
    // Counts Connect calls: what a worker posted for an earlier attempt is
    // recognised and dropped.
    std::atomic<std::uint64_t> attempt_{0};

    std::mutex chatLock_;
    std::deque<TQueuedChat> chatQueue_;
    std::mutex invitationLock_;
    std::deque<TQueuedInvitation> invitationQueue_;
    std::deque<TQueuedAnswer> answerQueue_;
    mutable std::mutex playersLock_;
    std::vector<TRoomPlayer> players_;
};

}  // namespace qv
