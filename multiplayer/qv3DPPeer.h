// The two sides of a duel connection. TDuelPeerHost opens a two-player
// session and waits; TDuelPeerClient looks for that session at an address
// and joins it. Both speak the duel messages (multiplayer/qv3DuelMessages.h).
//
// Session events arrive on the session's worker thread. They only post to a
// hidden receiver on the main thread (QCoreApplication::postEvent), where
// every state change, result and status update happens. The exceptions: a
// ping is answered from the worker thread, and the joiner stores the level
// of the start message there under DataLock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "game/core/qv3DuelLink.h"
#include "media/ThdTimer.h"
#include "media/zkDPPeer.h"
#include "platform/session/Guid.h"
#include "platform/system/Clock.h"

class QObject;

namespace qv::mp {

inline constexpr std::uint32_t kDuelPort = 3680;
inline constexpr TGuid kDuelAppGuid = {0x5E6E0AC2u, 0x35B9u, 0x4AB0u, {0x95, 0x27, 0x09, 0xE0, 0x03, 0xA7, 0x9D, 0x95}};
inline constexpr const char* kDuelSessionName = "Tollbeck QVX 3.0 Duel";

// Messages of the hidden receiver.
enum class TDuelEvent : std::uint32_t {
    EnumResponse = 1126,
    ConnectComplete = 1127,  // lParam: the connect result
    SessionTerminated = 1128,
    PlayerCreated = 1129,  // lParam: the player id
    PlayerDestroyed = 1130,
    Status = 1131,          // wParam: age, lParam: packed status
    ClientReady = 1132,     // host
    GameDataStored = 1133,  // client
    Result = 1134,          // lParam: the opponent's result
    OpponentQuit = 1135,
    PingAnswer = 1136,  // lParam: round trip in ms
};

// Close reasons.
enum : std::int32_t {
    kCloseNone = 0,
    kCloseOpponentQuitted = 1,
    kCloseQuitted = 2,
    kCloseSendFailed = 4,
    kCloseConnectionLost = 5,
    kCloseSearchTimeout = 6,
    kCloseConnectTimeout = 7,
    kCloseRejected = 8,
};

std::string CloseReasonText(std::int32_t reason);

// The joiner gives up searching after 30 s and connecting after 20 s,
// looking every 2 s.
inline constexpr std::uint32_t kDuelSearchTimeoutMs = 30000;
inline constexpr std::uint32_t kDuelConnectTimeoutMs = 20000;
inline constexpr std::uint32_t kDuelCheckMs = 2000;

// The session under a duel: its own connect time-out ends only after the
// joiner's 20 s and the check that follows, so that a host that never
// completes the connect is the time-out it is.
dpn::TSessionOptions DuelSessionOptions();

// What the tests change: port, clocks and the session's time-outs.
struct TDuelPeerOptions {
    std::uint32_t Port = kDuelPort;
    sys::IClock* Clock = nullptr;            // "now"; null: the system clock
    ITimerWaitClock* TimerClock = nullptr;   // the client's time-out timer; null: real time
    dpn::TSessionOptions Session = DuelSessionOptions();
};

class TCustomDuelPeer : public IDuelLink {
public:
    ~TCustomDuelPeer() override;
    TCustomDuelPeer(const TCustomDuelPeer&) = delete;
    TCustomDuelPeer& operator=(const TCustomDuelPeer&) = delete;

    virtual void Close() = 0;
    virtual void Finish() = 0;
    // Session worker thread: one received message.
    virtual void HandleReceive(const std::uint8_t* data, std::uint32_t size);
    // Main thread: one message of the hidden receiver.
    virtual void HandleMessage(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam);
    virtual int State() const = 0;
    virtual bool IsHost() const = 0;

    std::string CloseReasonText() const { return mp::CloseReasonText(CloseReason); }
    void Quit() override;
    void SendResult(std::int32_t value) override;
    void SendStatus(std::int32_t score, std::int32_t cannonY, bool resetEventTime) override;
    void SendGameStart(const std::array<std::uint8_t, 16>&, std::span<const std::uint8_t>) override {}
    void SendReady() override {}
    TDuelView View() const override;
    std::vector<std::uint8_t> ReceivedLevel() const override { return {}; }

    TGuid RaceId;
    std::unique_ptr<TzkDPPeer> Peer;
    std::int32_t CloseReason = kCloseNone;
    std::string OpponentName;
    std::atomic<std::uint32_t> OpponentId{0};
    std::function<void(TCustomDuelPeer* sender)> OnStateChange;
    std::int32_t OpponentResult = -1;
    std::int32_t OwnResult = -1;
    std::int32_t OpponentScore = 100;
    std::uint32_t OpponentEventTime = 0;
    std::int32_t OpponentCannonY = 300;
    std::uint32_t OwnEventTime = 0;
    std::function<void(TCustomDuelPeer* sender, std::uint32_t roundTripMs)> OnPing;

protected:
    TCustomDuelPeer(const std::string& playerName, const TDuelPeerOptions& options);
    std::uint32_t Now() const { return clock_->GetTickCount(); }
    // Any thread: hands a message to the main thread.
    void Post(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam);
    // False (and a warning in the log) when the send raised.
    bool Send(const std::vector<std::uint8_t>& message, bool guaranteed);
    // Reads the created player's information: true for the remote player
    // (OpponentName set), false for this machine's own.
    bool TakeOpponent(std::uint32_t playerId);
    virtual bool Running() const = 0;
    // Frees the session first, so no worker event follows.
    void ReleasePeer();

    TDuelPeerOptions options_;
    sys::IClock* clock_;
    std::unique_ptr<QObject> window_;
};

class TDuelPeerHost final : public TCustomDuelPeer {
public:
    enum : int { hsWaiting, hsJoined, hsStartSent, hsRunning, hsFinished, hsClosed };

    explicit TDuelPeerHost(const std::string& playerName, const TDuelPeerOptions& options = {});
    ~TDuelPeerHost() override;

    void Close() override;
    void Finish() override;
    void HandleReceive(const std::uint8_t* data, std::uint32_t size) override;
    void HandleMessage(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam) override;
    int State() const override { return state_; }
    bool IsHost() const override { return true; }
    void SendGameStart(const std::array<std::uint8_t, 16>& raceId, std::span<const std::uint8_t> level) override;
    // The port the session listens on.
    std::uint32_t Port() const;

private:
    bool Running() const override { return state_ == hsRunning; }
    void SetState(int state);
    int state_ = hsWaiting;
};

class TDuelPeerClient final : public TCustomDuelPeer {
public:
    enum : int { csSearching, csConnecting, csConnected, csLevelReceived, csRunning, csFinished, csClosed };

    TDuelPeerClient(const std::string& playerName, const std::string& address, const TDuelPeerOptions& options = {});
    ~TDuelPeerClient() override;

    void Close() override;
    void Finish() override;
    void HandleReceive(const std::uint8_t* data, std::uint32_t size) override;
    void HandleMessage(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam) override;
    int State() const override { return state_; }
    bool IsHost() const override { return false; }
    void SendReady() override;
    std::vector<std::uint8_t> ReceivedLevel() const override;
    // The time-out check the timer runs every kDuelCheckMs.
    void CheckTimeouts();

    mutable std::mutex DataLock;
    std::vector<std::uint8_t> GameData;
    std::uint32_t StateTime = 0;

private:
    bool Running() const override { return state_ == csRunning; }
    void SetState(int state);
    int state_ = csSearching;
    dpn::DPNHANDLE connectHandle_ = 0;
    bool levelTaken_ = false;  // under DataLock: the first start message only
    TGuid pendingRace_;        // under DataLock
    std::unique_ptr<TThreadedTimer> timer_;
};

}  // namespace qv::mp
