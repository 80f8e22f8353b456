#include "multiplayer/qv3DPPeer.h"

#include <QObject>

#include "foundation/qv3Log.h"
#include "foundation/Handoff.h"
#include "foundation/TextUtil.h"
#include "media/zkDirectPlay.h"
#include "multiplayer/qv3DuelMessages.h"
#include "multiplayer/qv3PostedEvent.h"

namespace qv::mp {

using namespace dpn;

namespace {

struct TDuelMessage {
    TDuelEvent Message;
    std::uint32_t WParam;
    std::uint32_t LParam;
};

// The hidden receiver: hands each posted message to its peer.
class TDuelWindow final : public QObject {
public:
    explicit TDuelWindow(TCustomDuelPeer* owner) : owner_(owner) {}
    ~TDuelWindow() override { Taken(); }  // Qt frees what is still queued

protected:
    void customEvent(QEvent* event) override {
        const TDuelMessage* m = TakePosted<TDuelMessage>(event);
        if (!m) return;
        try {
            owner_->HandleMessage(m->Message, m->WParam, m->LParam);
        } catch (const std::exception& e) {
            LogMessage(std::string("Duel message error: ") + e.what(), lkError);
        }
    }

private:
    TCustomDuelPeer* owner_;
};

}  // namespace

dpn::TSessionOptions DuelSessionOptions() {
    dpn::TSessionOptions o;
    o.connectTimeoutMs = kDuelConnectTimeoutMs + kDuelCheckMs + 500;
    return o;
}

std::string CloseReasonText(std::int32_t reason) {
    switch (reason) {
        case kCloseOpponentQuitted: return "Opponent quitted";
        case kCloseQuitted: return "Quitted";
        case kCloseSendFailed:
        case kCloseConnectionLost: return "Connection lost";
        case kCloseSearchTimeout: return "Time-out searching host";
        case kCloseConnectTimeout: return "Time-out connecting to host";
        case kCloseRejected: return "Host rejected connection";
        default: return "";
    }
}

TCustomDuelPeer::TCustomDuelPeer(const std::string& playerName, const TDuelPeerOptions& options)
    : options_(options), clock_(options.Clock ? options.Clock : &sys::SystemClock()) {
    window_ = std::make_unique<TDuelWindow>(this);
    Peer = std::make_unique<TzkDPPeer>(playerName, options.Session);
    Peer->OnCreatePlayer = [this](TzkDPPeer*, DPNID id, void*&) { Post(TDuelEvent::PlayerCreated, 0, id); };
    Peer->OnDestroyPlayer = [this](TzkDPPeer*, DPNID, void*, DWORD) { Post(TDuelEvent::PlayerDestroyed, 0, 0); };
    Peer->OnReceive = [this](TzkDPPeer*, const std::uint8_t* data, std::uint32_t size) { HandleReceive(data, size); };
}

TCustomDuelPeer::~TCustomDuelPeer() { ReleasePeer(); }

void TCustomDuelPeer::ReleasePeer() {
    Peer.reset();
    window_.reset();  // drops the messages still queued for it
}

void TCustomDuelPeer::Post(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam) {
    PostToMainThread(window_.get(), TDuelMessage{message, wParam, lParam});
}

bool TCustomDuelPeer::Send(const std::vector<std::uint8_t>& message, bool guaranteed) {
    try {
        Peer->SendTo(OpponentId.load(), message.data(), static_cast<std::uint32_t>(message.size()), 0, nullptr, false,
                     false, !guaranteed, false, guaranteed, 1, false, false);
        return true;
    } catch (const std::exception& e) {
        LogMessage(std::string("Error sending data: ") + e.what(), lkWarning);
        return false;
    }
}

bool TCustomDuelPeer::TakeOpponent(std::uint32_t playerId) {
    OpponentId = playerId;
    DPN_PLAYER_INFO info;
    DPCheck(Peer->DirectPlay->GetPeerInfo(playerId, &info), kDPGetPeerInfoFailed,
            "(initial) PlayerId=" + std::to_string(playerId));
    if (info.dwPlayerFlags & DPNPLAYER_LOCAL) return false;
    OpponentName = info.Name;
    return true;
}

void TCustomDuelPeer::HandleReceive(const std::uint8_t* data, std::uint32_t size) {
    const auto m = duel::DecodeDuelMessage({data, size});
    if (!m) return;
    switch (m->Code) {
        case duel::kMsgResult: Post(TDuelEvent::Result, 0, static_cast<std::uint32_t>(m->Result)); break;
        case duel::kMsgStatus: Post(TDuelEvent::Status, m->Age, m->Packed); break;
        case duel::kMsgQuit: Post(TDuelEvent::OpponentQuit, 0, 0); break;
        case duel::kMsgPing: Send(duel::EncodePing(duel::kMsgPingAnswer, m->Tick), true); break;
        case duel::kMsgPingAnswer: Post(TDuelEvent::PingAnswer, 0, Now() - m->Tick); break;
        default: break;
    }
}

void TCustomDuelPeer::HandleMessage(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam) {
    switch (message) {
        case TDuelEvent::Status:
            if (!Running()) return;
            OpponentScore = duel::StatusScore(lParam);
            OpponentCannonY = duel::StatusCannonY(lParam);
            OpponentEventTime = Now() - wParam;
            break;
        case TDuelEvent::Result:
            if (!Running()) return;
            OpponentResult = static_cast<std::int32_t>(lParam);
            if (OwnResult != -1) Finish();
            break;
        case TDuelEvent::PingAnswer:
            if (OnPing) OnPing(this, lParam);
            break;
        default: break;
    }
}

void TCustomDuelPeer::Quit() {
    if (CloseReason != kCloseNone) return;
    Send(duel::EncodeQuit(), true);
    CloseReason = kCloseQuitted;
    Finish();
}

void TCustomDuelPeer::SendResult(std::int32_t value) {
    if (!Running()) return;
    OwnResult = value;
    if (!Send(duel::EncodeResult(value), true)) {
        CloseReason = kCloseSendFailed;
        Close();
        return;
    }
    if (OpponentResult != -1) Finish();
}

void TCustomDuelPeer::SendStatus(std::int32_t score, std::int32_t cannonY, bool resetEventTime) {
    if (!Running()) return;
    const std::uint32_t now = Now();
    if (resetEventTime) OwnEventTime = now;
    DWORD queued = 0;
    if (Failed(Peer->DirectPlay->GetSendQueueInfo(OpponentId.load(), &queued, nullptr)) || queued > 0) return;
    if (!Send(duel::EncodeStatus(score, cannonY, now - OwnEventTime), false)) {
        CloseReason = kCloseSendFailed;
        Close();
    }
}

TDuelView TCustomDuelPeer::View() const {
    TDuelView v;
    v.IsHost = IsHost();
    v.RaceId = RaceId.ToWireBytes();
    v.OwnResult = OwnResult;
    v.OpponentResult = OpponentResult;
    v.OpponentScore = OpponentScore;
    v.OpponentCannonY = OpponentCannonY;
    v.OpponentEventTime = OpponentEventTime;
    v.OpponentEventAge = Now() - OpponentEventTime;
    v.CloseReasonText = CloseReasonText();
    const int s = State();
    if (v.IsHost) {
        static constexpr TDuelPhase kHost[] = {TDuelPhase::Waiting, TDuelPhase::Joined,   TDuelPhase::StartSent,
                                               TDuelPhase::Running, TDuelPhase::Finished, TDuelPhase::Closed};
        v.Phase = kHost[s];
    } else {
        static constexpr TDuelPhase kClient[] = {TDuelPhase::Waiting,       TDuelPhase::Waiting, TDuelPhase::Waiting,
                                                 TDuelPhase::LevelReceived, TDuelPhase::Running, TDuelPhase::Finished,
                                                 TDuelPhase::Closed};
        v.Phase = kClient[s];
    }
    return v;
}

// ---- host

TDuelPeerHost::TDuelPeerHost(const std::string& playerName, const TDuelPeerOptions& options)
    : TCustomDuelPeer(playerName, options) {
    Peer->AddHostAddress(options.Port);
    Peer->Host(kDuelAppGuid, false, 2, kDuelSessionName, nullptr, 0, false);
}

TDuelPeerHost::~TDuelPeerHost() { ReleasePeer(); }

std::uint32_t TDuelPeerHost::Port() const { return Peer->DirectPlay->LocalPort(); }

void TDuelPeerHost::SetState(int state) {
    if (state == state_) return;
    state_ = state;
    if (OnStateChange) OnStateChange(this);
}

void TDuelPeerHost::Close() {
    if (state_ == hsClosed) return;
    Peer->Disconnect();
    SetState(hsClosed);
}

void TDuelPeerHost::Finish() { SetState(hsFinished); }

void TDuelPeerHost::HandleReceive(const std::uint8_t* data, std::uint32_t size) {
    TCustomDuelPeer::HandleReceive(data, size);
    if (size > 0 && data[0] == duel::kMsgReady) Post(TDuelEvent::ClientReady, 0, 0);
}

void TDuelPeerHost::HandleMessage(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam) {
    switch (message) {
        case TDuelEvent::PlayerCreated:
            if (state_ != hsWaiting) {
                LogMessage("Player connected in wrong state", lkWarning);
                return;
            }
            if (TakeOpponent(lParam)) SetState(hsJoined);
            break;
        case TDuelEvent::PlayerDestroyed:
            if (state_ != hsClosed) CloseReason = kCloseConnectionLost;
            Close();
            break;
        case TDuelEvent::ClientReady:
            if (state_ == hsStartSent) SetState(hsRunning);
            break;
        case TDuelEvent::OpponentQuit:
            if (state_ == hsClosed) return;
            CloseReason = kCloseOpponentQuitted;
            Close();
            break;
        default: TCustomDuelPeer::HandleMessage(message, wParam, lParam); break;
    }
}

void TDuelPeerHost::SendGameStart(const std::array<std::uint8_t, 16>& raceId, std::span<const std::uint8_t> level) {
    if (state_ != hsJoined) return;
    RaceId = TGuid::FromWireBytes(raceId);
    const auto message = duel::EncodeStart(RaceId, level);
    if (!message) {
        LogMessage("Duel level too large to send: " + std::to_string(level.size()) + " bytes", lkWarning);
        CloseReason = kCloseSendFailed;
        Close();
        return;
    }
    if (!Send(*message, true)) {
        CloseReason = kCloseSendFailed;
        Close();
        return;
    }
    SetState(hsStartSent);
}

// ---- client

TDuelPeerClient::TDuelPeerClient(const std::string& playerName, const std::string& address,
                                 const TDuelPeerOptions& options)
    : TCustomDuelPeer(playerName, options) {
    Peer->OnConnectComplete = [this](TzkDPPeer*, DPNHANDLE, void*, HRESULT result, const std::uint8_t*,
                                     std::uint32_t) { Post(TDuelEvent::ConnectComplete, 0, static_cast<std::uint32_t>(result)); };
    Peer->OnEnumHostsResponse = [this](TzkDPPeer*, const DPNMSG_ENUM_HOSTS_RESPONSE&, int) {
        Post(TDuelEvent::EnumResponse, 0, 0);
    };
    Peer->OnTerminateSession = [this](TzkDPPeer*, HRESULT, const std::uint8_t*, std::uint32_t) {
        Post(TDuelEvent::SessionTerminated, 0, 0);
    };
    // An address is always given: no broadcast.
    Peer->EnumHosts(address, options.Port, kDuelAppGuid, nullptr, 0, false, false, false);
    state_ = csSearching;
    StateTime = Now();
    timer_ = std::make_unique<TThreadedTimer>(options.TimerClock);
    timer_->SetInterval(kDuelCheckMs);
    timer_->OnTimer = [this](TThreadedTimer&) { CheckTimeouts(); };
    timer_->SetEnabled(true);
}

TDuelPeerClient::~TDuelPeerClient() {
    timer_.reset();
    ReleasePeer();
}

void TDuelPeerClient::SetState(int state) {
    if (state == state_) return;
    state_ = state;
    StateTime = Now();
    if (OnStateChange) OnStateChange(this);
}

void TDuelPeerClient::Close() {
    if (state_ == csClosed) return;
    Peer->CancelEnumHosts();
    // A connect still under way ends too, so no player turns up later.
    if (connectHandle_ != 0 && !Peer->Connected) Peer->DirectPlay->CancelAsyncOperation(connectHandle_, 0);
    connectHandle_ = 0;
    Peer->Disconnect();
    SetState(csClosed);
}

void TDuelPeerClient::Finish() { SetState(csFinished); }

void TDuelPeerClient::CheckTimeouts() {
    const std::uint32_t elapsed = Now() - StateTime;
    if (state_ == csSearching && elapsed >= kDuelSearchTimeoutMs) {
        CloseReason = kCloseSearchTimeout;
        Close();
    } else if (state_ == csConnecting && elapsed >= kDuelConnectTimeoutMs) {
        CloseReason = kCloseConnectTimeout;
        Close();
    }
}

void TDuelPeerClient::HandleReceive(const std::uint8_t* data, std::uint32_t size) {
    TCustomDuelPeer::HandleReceive(data, size);
    if (size == 0 || data[0] != duel::kMsgStart) return;
    const auto m = duel::DecodeDuelMessage({data, size});
    if (!m) {
        LogMessage("Malformed duel start message ignored (" + std::to_string(size) + " bytes)", lkWarning);
        return;
    }
    {
        std::lock_guard lock(DataLock);
        if (levelTaken_) return;  // a second start changes nothing
        levelTaken_ = true;
        pendingRace_ = m->RaceId;
        GameData.assign(m->Level.begin(), m->Level.end());
    }
    Post(TDuelEvent::GameDataStored, 0, 0);
}

std::vector<std::uint8_t> TDuelPeerClient::ReceivedLevel() const {
    std::lock_guard lock(DataLock);
    return GameData;
}

void TDuelPeerClient::HandleMessage(TDuelEvent message, std::uint32_t wParam, std::uint32_t lParam) {
    switch (message) {
        case TDuelEvent::EnumResponse: {
            if (state_ != csSearching) return;
            const auto hold = Peer->LockHosts();
            const int index = Peer->FindHost(kDuelSessionName);
            if (index < 0) return;
            Peer->CancelEnumHosts();
            SetState(csConnecting);
            connectHandle_ = Peer->Connect(index, nullptr, 0, nullptr, false, false);
            break;
        }
        case TDuelEvent::ConnectComplete:
            if (state_ == csConnecting && lParam != 0) {
                CloseReason = kCloseRejected;
                Close();
            }
            break;
        case TDuelEvent::SessionTerminated:
        case TDuelEvent::PlayerDestroyed:
            if (state_ != csClosed) CloseReason = kCloseConnectionLost;
            Close();
            break;
        case TDuelEvent::PlayerCreated:
            if (state_ != csConnecting) {
                LogMessage("Player connected in wrong state", lkWarning);
                return;
            }
            if (TakeOpponent(lParam)) SetState(csConnected);
            break;
        case TDuelEvent::GameDataStored:
            if (state_ != csConnected) return;
            {
                std::lock_guard lock(DataLock);
                RaceId = pendingRace_;
            }
            SetState(csLevelReceived);
            break;
        case TDuelEvent::OpponentQuit:
            if (state_ == csClosed) return;
            CloseReason = kCloseOpponentQuitted;
            Close();
            break;
        default: TCustomDuelPeer::HandleMessage(message, wParam, lParam); break;
    }
}

void TDuelPeerClient::SendReady() {
    if (state_ != csLevelReceived) return;
    if (!Send(duel::EncodeReady(), true)) {
        CloseReason = kCloseSendFailed;
        Close();
        return;
    }
    SetState(csRunning);
}

}  // namespace qv::mp
