#include "multiplayer/lobby/qv3DPClient.h"


#include <algorithm>
#include <chrono>

#include "foundation/Handoff.h"
#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"
#include "media/ThdTimer.h"
#include "media/zkDPClient.h"
#include "multiplayer/lobby/qv3DPConsts.h"
#include "multiplayer/qv3PostedEvent.h"
#include "platform/system/Clock.h"

namespace qv {

namespace {

// The posted messages.
constexpr int wmChatQueued = 1125;
constexpr int wmLoginReply = 1128;
constexpr int wmTerminated = 1129;
constexpr int wmHostFound = 1130;
constexpr int wmPlayersChanged = 1131;
constexpr int wmInvitationQueued = 1134;
constexpr int wmAnswerQueued = 1135;

// A posted message and the connection attempt it belongs to.
struct TLobbyMessage {
    int Message;
    std::int64_t LParam;
    std::uint64_t Attempt;
};

// Hands the queued items on, oldest first, each outside the lock, until the
// queue is empty; returns true when it stopped at `until` with items left.
template <typename TItem, typename THandOn>
bool DrainQueue(std::mutex& lock, std::deque<TItem>& queue, THandOn handOn,
                std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max()) {
    for (;;) {
        TItem item;
        bool more;
        {
            std::lock_guard hold(lock);
            if (queue.empty()) return false;
            item = std::move(queue.front());
            queue.pop_front();
            more = !queue.empty();
        }
        handOn(item);
        if (more && std::chrono::steady_clock::now() >= until) return true;
    }
}

// Past the last check that can see the window run out.
constexpr dpn::DWORD kConnectMarginMs = 500;

}  // namespace

std::int32_t LobbyConnectWindow(const dpn::TSessionOptions& session) {
    const dpn::DWORD count = session.enumCount;
    return static_cast<std::int32_t>(count * session.enumTimeoutMs + (count > 0 ? count - 1 : 0) * session.enumRetryMs);
}

dpn::TSessionOptions LobbySessionOptions() {
    dpn::TSessionOptions o;
    o.connectTimeoutMs =
        static_cast<dpn::DWORD>(LobbyConnectWindow(o)) + TQVXDPClient::kDeadlineCheckMs + kConnectMarginMs;
    return o;
}

TQVXDPClient::TQVXDPClient(QObject* parent) : TQVXDPClient(TOptions{}, parent) {}

TQVXDPClient::TQVXDPClient(const TOptions& options, QObject* parent)
    : QObject(parent), clock_(options.Clock != nullptr ? options.Clock : &sys::SystemClock()), port_(options.Port) {
    dp_ = std::make_unique<TzkDPClient>("QVX Chat Client", options.Session);
    dp_->OnEnumHostsResponse = [this](TzkDPClient*, const dpn::DPNMSG_ENUM_HOSTS_RESPONSE&, int) {
        Post(wmHostFound);
    };
    dp_->OnConnectComplete = [this](TzkDPClient*, dpn::DPNHANDLE, void* context, dpn::HRESULT result,
                                    const std::uint8_t* data, std::uint32_t size) {
        // The context is the attempt the connect belongs to.
        HandleConnectComplete(reinterpret_cast<std::uintptr_t>(context), result, data, size);
    };
    dp_->OnReceive = [this](TzkDPClient*, const std::uint8_t* data, std::uint32_t size) { HandleReceive(data, size); };
    dp_->OnTerminateSession = [this](TzkDPClient*, dpn::HRESULT, const std::uint8_t*, std::uint32_t) {
        Post(wmTerminated);
    };
    if (options.RunTimer) {
        timer_ = std::make_unique<TThreadedTimer>(options.TimerClock);
        timer_->SetInterval(kDeadlineCheckMs);
        timer_->OnTimer = [this](TThreadedTimer&) { CheckDeadline(); };
        timer_->SetEnabled(true);
    }
    const auto& caps = dp_->SPCaps;
    connectWindow_ = static_cast<std::int32_t>(caps.dwDefaultEnumCount * caps.dwDefaultEnumTimeout +
                                               (caps.dwDefaultEnumCount > 0 ? caps.dwDefaultEnumCount - 1 : 0) *
                                                   caps.dwDefaultEnumRetryInterval);
}

TQVXDPClient::~TQVXDPClient() {
    // No signal from here on; the timer and then the session stop, after
    // which no worker posts again (Qt drops what is still queued).
    blockSignals(true);
    timer_.reset();
    dp_.reset();
    Taken();  // Qt frees what is still queued
}

std::int64_t TQVXDPClient::Now() const {
    std::int64_t count = 0, frequency = 0;
    if (clock_->QueryPerformanceCounter(count) && clock_->QueryPerformanceFrequency(frequency) && frequency > 0)
        return static_cast<std::int64_t>(static_cast<long double>(count) * 1000 / frequency);
    return clock_->GetTickCount();
}

void TQVXDPClient::SetState(std::uint8_t state) {
    if (state == state_) return;
    state_ = state;
    deadline_ = Now() + (state == stConnecting ? connectWindow_ : kFindServerTimeoutMs);
}

void TQVXDPClient::Post(int message, std::int64_t lParam) { PostFor(attempt_.load(), message, lParam); }

void TQVXDPClient::PostFor(std::uint64_t attempt, int message, std::int64_t lParam) {
    mp::PostToMainThread(this, TLobbyMessage{message, lParam, attempt});
}

std::vector<TRoomPlayer> TQVXDPClient::PlayersSnapshot() const {
    std::lock_guard lock(playersLock_);
    return players_;
}

std::string TQVXDPClient::LoginName() const {
    std::lock_guard lock(textLock_);
    return loginName_;
}

std::string TQVXDPClient::ReasonText() const {
    std::lock_guard lock(textLock_);
    return reasonText_;
}

void TQVXDPClient::Connect(const std::string& host, const std::string& key, const std::string& alias) {
    if (state_ != stIdle) return;
    dp_->CancelEnumHosts();
    dp_->ClearHosts();
    host_ = host;
    loginKey_ = key;
    {
        std::lock_guard lock(textLock_);
        loginName_ = alias.substr(0, kLobbyAliasMax);
    }
    ++attempt_;
    // Broadcasting for a server is never wanted when a host is named.
    dp_->EnumHosts(host_, port_, kLobbyAppGuid, nullptr, 0, false, false, host_.empty());
    SetState(stFindingServer);
}

void TQVXDPClient::Disconnect() {
    SetState(stIdle);
    ++attempt_;
    std::string failure;
    try {
        dp_->CancelEnumHosts();
        dp_->Disconnect();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    // Emptied once the session is closed, so that no room message still
    // being read fills it again.
    {
        std::lock_guard lock(playersLock_);
        players_.clear();
    }
    if (!failure.empty()) RaiseLoggedError("Disconnecting: " + failure);
}

bool TQVXDPClient::SendMessage(const lobby::TBytes& message) {
    try {
        dp_->Send(message.data(), static_cast<std::uint32_t>(message.size()), 0, nullptr, false, true, true, false,
                  true, 1, true, true);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TQVXDPClient::SendChat(const std::string& text) {
    if (state_ == stLoggedIn) SendMessage(lobby::BuildChat(text));
}

void TQVXDPClient::SendPrivateMessage(const std::string& to, const std::string& text) {
    if (state_ == stLoggedIn) SendMessage(lobby::BuildPrivate(to, text));
}

void TQVXDPClient::SendInvitation(const std::string& alias, std::uint8_t action) {
    if (state_ == stLoggedIn) SendMessage(lobby::BuildInvitation(alias, action));
}

void TQVXDPClient::AnswerInvitation(const std::string& alias, std::uint8_t answer) {
    if (state_ == stLoggedIn && IsValidNickname(alias)) SendMessage(lobby::BuildAnswer(alias, answer));
}

void TQVXDPClient::SetPlaying(std::uint8_t flag) {
    if (state_ == stLoggedIn) SendMessage(lobby::BuildPlaying(flag));
}

void TQVXDPClient::SendDuelResult(const std::string& opponent, const TGuid& raceId, bool won, std::int32_t total) {
    if (state_ == stLoggedIn) SendMessage(lobby::BuildDuelResult(opponent, raceId, won, total));
}

void TQVXDPClient::CheckDeadline() {
    if ((state_ != stFindingServer && state_ != stConnecting) || Now() < deadline_) return;
    LogMessage("Connect failure", lkInfo);
    SetState(stIdle);
    try {
        Disconnect();
    } catch (const std::exception&) {
        // Logged by Disconnect; the failure to connect is what is reported.
    }
    emit Error(lrTimedOut, std::string());
}

void TQVXDPClient::HandleConnectComplete(std::uint64_t attempt, dpn::HRESULT result, const std::uint8_t* data,
                                         std::uint32_t size) {
    const auto outcome = lobby::EvaluateLoginReply(result == dpn::DPN_OK, data, size);
    if (attempt != attempt_.load()) {
        PostFor(attempt, wmLoginReply, outcome.Code);
        return;
    }
    {
        std::lock_guard lock(textLock_);
        if (outcome.LoginName) loginName_ = *outcome.LoginName;
        if (outcome.ReasonText) reasonText_ = *outcome.ReasonText;
    }
    PostFor(attempt, wmLoginReply, outcome.Code);
}

void TQVXDPClient::HandleReceive(const std::uint8_t* data, std::uint32_t size) {
    const auto message = lobby::ParseServerMessage(data, size);
    if (const auto* chat = std::get_if<lobby::TChatMessage>(&message)) {
        {
            std::lock_guard lock(chatLock_);
            chatQueue_.push_back({chat->Text, static_cast<std::uint8_t>(chat->Private ? 1 : 0), chat->Alias});
        }
        Post(wmChatQueued);
    } else if (const auto* invitation = std::get_if<lobby::TInvitationMessage>(&message)) {
        {
            std::lock_guard lock(invitationLock_);
            invitationQueue_.push_back({invitation->Alias, invitation->Action, invitation->Address});
        }
        Post(wmInvitationQueued);
    } else if (const auto* answer = std::get_if<lobby::TAnswerMessage>(&message)) {
        {
            std::lock_guard lock(invitationLock_);
            answerQueue_.push_back({answer->Alias, answer->Answer});
        }
        Post(wmAnswerQueued);
    } else if (const auto* room = std::get_if<lobby::TRoomMessage>(&message)) {
        {
            std::lock_guard lock(playersLock_);
            ApplyRoomMessage(players_, *room);
        }
        Post(wmPlayersChanged);
    } else if (size > 0 && data != nullptr && data[0] == lobby::smRoom) {
        LogMessage("Dropped a room message that does not fit its counts", lkInfo);
    }
}

void TQVXDPClient::customEvent(QEvent* event) {
    const TLobbyMessage* posted = mp::TakePosted<TLobbyMessage>(event);
    if (!posted) {
        QObject::customEvent(event);
        return;
    }
    const TLobbyMessage& e = *posted;
    const bool current = e.Attempt == attempt_.load();
    switch (e.Message) {
    case wmChatQueued: DrainChat(); break;
    case wmInvitationQueued: DrainInvitations(); break;
    case wmAnswerQueued: DrainAnswers(); break;
    case wmHostFound:
        if (current) HostFound();
        break;
    case wmLoginReply:
        if (current) {
            LoginReplied(static_cast<std::uint8_t>(e.LParam));
        } else if (e.LParam == lrSuccess && state_ == stIdle) {
            // A log-in that completed after this side gave up on it.
            try {
                dp_->Disconnect();
            } catch (const std::exception& error) {
                LogMessage(std::string("Closing a late lobby session: ") + error.what(), lkInfo);
            }
        }
        break;
    case wmTerminated:
        if (current) Terminated();
        break;
    case wmPlayersChanged:
        if (state_ == stLoggedIn) emit PlayersChanged();
        break;
    default: break;
    }
}

void TQVXDPClient::HostFound() {
    if (state_ != stFindingServer) return;
    try {
        const auto hold = dp_->LockHosts();
        const int index = dp_->FindHost(kLobbySessionName);
        if (index < 0) return;
        const auto login = lobby::BuildLogIn(loginKey_, LoginName());
        dp_->CancelEnumHosts();
        SetState(stConnecting);
        dp_->Connect(index, login.data(), static_cast<std::uint32_t>(login.size()),
                     reinterpret_cast<void*>(static_cast<std::uintptr_t>(attempt_.load())), false, false);
    } catch (const std::exception& e) {
        // The deadline reports the failed attempt.
        LogMessage(std::string("Connecting to the lobby: ") + e.what(), lkInfo);
    }
}

void TQVXDPClient::LoginReplied(std::uint8_t code) {
    if (state_ != stConnecting) return;
    if (code == lrSuccess) {
        SetState(stLoggedIn);
        emit Connected();
        return;
    }
    SetState(stIdle);
    ++attempt_;
    try {
        dp_->Disconnect();
    } catch (const std::exception& e) {
        LogMessage(std::string("Closing the refused lobby session: ") + e.what(), lkInfo);
    }
    emit Error(code, ReasonText());
}

void TQVXDPClient::Terminated() {
    LogMessage("Session lost", lkInfo);
    SetState(stIdle);
    try {
        Disconnect();
    } catch (const std::exception&) {
        // Logged by Disconnect; the lost session is what is reported.
    }
    emit SessionLost();
}

void TQVXDPClient::DrainChat() {
    // A flood is handed on over several turns of the event loop, so that
    // the window keeps painting and taking keys meanwhile.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainBudgetMs);
    const bool more = DrainQueue(
        chatLock_, chatQueue_, [this](const TQueuedChat& c) { emit ChatLine(c.Text, c.Private, c.Alias); }, until);
    if (more) Post(wmChatQueued);
}

void TQVXDPClient::DrainInvitations() {
    DrainQueue(invitationLock_, invitationQueue_,
               [this](const TQueuedInvitation& i) { emit Invitation(i.Alias, i.Action, i.Address); });
}

void TQVXDPClient::DrainAnswers() {
    DrainQueue(invitationLock_, answerQueue_,
               [this](const TQueuedAnswer& a) { emit InvitationAnswer(a.Alias, a.Answer); });
}

}  // namespace qv
