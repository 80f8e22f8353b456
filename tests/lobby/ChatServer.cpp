#include "tests/lobby/ChatServer.h"

#include <algorithm>

#include "foundation/TextUtil.h"
#include "multiplayer/lobby/qv3DPConsts.h"

namespace qv::test {

using namespace dpn;

namespace {

void PutU16(lobby::TBytes& b, std::size_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void PutU32(lobby::TBytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutText(lobby::TBytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
std::uint16_t U16At(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::string TextAt(const std::uint8_t* p, std::size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

}  // namespace

lobby::TBytes TChatServer::ChatBytes(bool isPrivate, const std::string& from, const std::string& text) {
    lobby::TBytes b{static_cast<std::uint8_t>(isPrivate ? 'i' : 'h')};
    PutU16(b, from.size());
    PutU16(b, text.size());
    PutText(b, from);
    PutText(b, text);
    return b;
}

lobby::TBytes TChatServer::RoomBytes(const std::vector<std::string>& removed,
                                     const std::vector<lobby::TRoomEntry>& added) {
    lobby::TBytes b{'j'};
    PutU16(b, removed.size());
    PutU16(b, added.size());
    for (const auto& name : removed) {
        PutText(b, name);
        b.push_back(0);
    }
    for (const auto& e : added) {
        PutU32(b, e.Rank);
        b.push_back(e.Status);
        PutText(b, e.Name);
        b.push_back(0);
    }
    return b;
}

lobby::TBytes TChatServer::InvitationBytes(std::uint8_t action, const std::string& alias, const std::string& address) {
    lobby::TBytes b{'k', action};
    PutU16(b, alias.size());
    PutU16(b, address.size());
    PutText(b, alias);
    PutText(b, address);
    return b;
}

lobby::TBytes TChatServer::AnswerBytes(std::uint8_t answer, const std::string& alias) {
    lobby::TBytes b{'l', answer};
    PutU16(b, alias.size());
    PutText(b, alias);
    return b;
}

lobby::TBytes TChatServer::LoginReplyBytes(std::uint8_t code, const std::string& name, const std::string& reason) {
    lobby::TBytes b{code};
    PutU16(b, name.size());
    PutU16(b, reason.size());
    PutText(b, name);
    PutText(b, reason);
    return b;
}

TChatServer::TChatServer(TOptions options) : options_(std::move(options)) {
    if (Failed(DirectPlay8Create(ERole::Server, options_.Session, &session_))) throw std::runtime_error("session");
    if (Failed(session_->Initialize([this](DWORD type, void* message) { return Handle(type, message); })) ||
        Failed(session_->SetInfo("qvx-chatd")))
        throw std::runtime_error("initialize");
    DPN_APPLICATION_DESC desc;
    desc.dwFlags = DPNSESSION_CLIENT_SERVER;
    desc.guidApplication = kLobbyAppGuid;
    desc.SessionName = kLobbySessionName;
    if (Failed(session_->Host(desc, {TAddress{"127.0.0.1", options_.Port, {}, {}, {}}}, 0))) throw std::runtime_error("host");
    port_ = session_->LocalPort();
}

TChatServer::~TChatServer() {
    Release();
    session_->Close(0);
}

void TChatServer::Release() {
    {
        std::lock_guard lock(lock_);
        releasedFlag_ = true;
    }
    released_.notify_all();
}

std::vector<TDuelResultRecord> TChatServer::Results() const {
    std::lock_guard lock(lock_);
    return results_;
}

std::vector<std::string> TChatServer::Players() const {
    std::lock_guard lock(lock_);
    std::vector<std::string> names;
    for (const auto& p : players_)
        if (p->InRoom) names.push_back(p->Name);
    return names;
}

TChatServer::TPlayer* TChatServer::FindByName(const std::string& name) {
    for (auto& p : players_)
        if (p->InRoom && p->Name == name) return p.get();
    return nullptr;
}

bool TChatServer::Inject(const std::string& name, const lobby::TBytes& bytes) {
    DPNID id = 0;
    {
        std::lock_guard lock(lock_);
        if (auto* p = FindByName(name)) id = p->Id;
    }
    if (id == 0) return false;
    SendTo(id, bytes);
    return true;
}

bool TChatServer::Drop(const std::string& name) {
    DPNID id = 0;
    {
        std::lock_guard lock(lock_);
        if (auto* p = FindByName(name)) id = p->Id;
    }
    return id != 0 && session_->DestroyPeer(id, nullptr, 0) == DPN_OK;
}

bool TChatServer::SetRank(const std::string& name, std::uint32_t rank) {
    lobby::TBytes room;
    {
        std::lock_guard lock(lock_);
        auto* p = FindByName(name);
        if (p == nullptr) return false;
        p->Rank = rank;
        room = RoomBytes({}, {{p->Rank, p->Status, p->Name}});
    }
    SendToRoom(room);
    return true;
}

void TChatServer::SendTo(DPNID id, const lobby::TBytes& bytes) {
    session_->SendTo(id, bytes.data(), static_cast<DWORD>(bytes.size()), 0, nullptr, nullptr,
                     DPNSEND_GUARANTEED | DPNSEND_NOCOMPLETE);
}

void TChatServer::SendToRoom(const lobby::TBytes& bytes, DPNID except) {
    std::vector<DPNID> ids;
    {
        std::lock_guard lock(lock_);
        for (const auto& p : players_)
            if (p->InRoom && p->Id != except) ids.push_back(p->Id);
    }
    for (DPNID id : ids) SendTo(id, bytes);
}

HRESULT TChatServer::IndicateConnect(DPNMSG_INDICATE_CONNECT& m) {
    std::unique_lock lock(lock_);
    if (options_.Reply == TReplyMode::Hold) released_.wait(lock, [this] { return releasedFlag_; });
    auto refuse = [&](std::uint8_t code, const std::string& reason) {
        const auto reply = LoginReplyBytes(code, "", reason);
        m.ReplyData.assign(reply.begin(), reply.end());
        events_.Add("refuse " + std::to_string(code));
        return HRESULT{1};
    };
    const std::uint8_t* d = m.pvUserConnectData;
    const std::size_t n = m.dwUserConnectDataSize;
    if (d == nullptr || n < 35 || d[0] != lobby::cmLogIn || n != 35u + U16At(d + 33)) return refuse(4, "Bad log-in");
    const std::string key = TextAt(d + 1, 32);
    if (key.find('\0') != std::string::npos) return refuse(4, "Bad key");
    std::string name = TextAt(d + 35, n - 35);
    if (options_.UpperCaseNames) name = UpperAscii(name);
    if (options_.RefuseCode) return refuse(*options_.RefuseCode, options_.RefuseReason);
    if (options_.OldVersion) return refuse(9, "");
    if (!IsValidNickname(name)) return refuse(7, "");
    for (const auto& p : players_)
        if (p->Key == key) return refuse(6, "");
    for (const auto& [owned, owner] : owners_)
        if (owned == name && owner != key) return refuse(8, "");
    if (std::none_of(owners_.begin(), owners_.end(), [&](const auto& o) { return o.first == name; }))
        owners_.emplace_back(name, key);

    auto player = std::make_unique<TPlayer>();
    player->Key = key;
    player->Name = name;
    player->Address = m.pAddressPlayer != nullptr ? m.pAddressPlayer->Hostname : std::string();
    m.pvPlayerContext = player.get();
    players_.push_back(std::move(player));

    lobby::TBytes reply;
    switch (options_.Reply) {
    case TReplyMode::NoData: break;
    case TReplyMode::Corrupt:
        reply = LoginReplyBytes(0, name, "");
        reply.push_back('x');
        break;
    default: reply = LoginReplyBytes(0, name, ""); break;
    }
    m.ReplyData.assign(reply.begin(), reply.end());
    return DPN_OK;
}

HRESULT TChatServer::Handle(DWORD type, void* message) {
    switch (type) {
    case DPN_MSGID_INDICATE_CONNECT: return IndicateConnect(*static_cast<DPNMSG_INDICATE_CONNECT*>(message));
    case DPN_MSGID_INDICATED_CONNECT_ABORTED: {
        const auto& m = *static_cast<DPNMSG_INDICATED_CONNECT_ABORTED*>(message);
        std::lock_guard lock(lock_);
        std::erase_if(players_, [&](const auto& p) { return p.get() == m.pvPlayerContext; });
        return DPN_OK;
    }
    case DPN_MSGID_CREATE_PLAYER: {
        const auto& m = *static_cast<DPNMSG_CREATE_PLAYER*>(message);
        auto* player = static_cast<TPlayer*>(m.pvPlayerContext);
        if (player == nullptr) return DPN_OK;  // the server's own player
        std::vector<lobby::TRoomEntry> all;
        {
            std::lock_guard lock(lock_);
            player->Id = m.dpnidPlayer;
            player->InRoom = true;
            for (const auto& p : players_)
                if (p->InRoom) all.push_back({p->Rank, p->Status, p->Name});
        }
        SendTo(player->Id, RoomBytes({}, all));
        SendToRoom(RoomBytes({}, {{player->Rank, player->Status, player->Name}}), player->Id);
        events_.Add("login " + player->Name);
        return DPN_OK;
    }
    case DPN_MSGID_DESTROY_PLAYER: {
        const auto& m = *static_cast<DPNMSG_DESTROY_PLAYER*>(message);
        std::string name;
        {
            std::lock_guard lock(lock_);
            auto it = std::find_if(players_.begin(), players_.end(),
                                   [&](const auto& p) { return p.get() == m.pvPlayerContext; });
            if (it == players_.end()) return DPN_OK;
            name = (*it)->Name;
            players_.erase(it);
        }
        SendToRoom(RoomBytes({name}, {}));
        events_.Add("leave " + name);
        return DPN_OK;
    }
    case DPN_MSGID_RECEIVE: {
        const auto& m = *static_cast<DPNMSG_RECEIVE*>(message);
        if (auto* player = static_cast<TPlayer*>(m.pvPlayerContext)) Receive(*player, m.pReceiveData, m.dwReceiveDataSize);
        return DPN_OK;
    }
    default: return DPN_OK;
    }
}

void TChatServer::Receive(TPlayer& from, const std::uint8_t* d, std::size_t n) {
    if (d == nullptr || n == 0) return;
    switch (d[0]) {
    case lobby::cmChat: {
        if (n < 3 || n != 3u + U16At(d + 1)) return;
        const std::string text = TextAt(d + 3, n - 3);
        events_.Add("chat " + from.Name + " " + text);
        SendToRoom(ChatBytes(false, from.Name, text));
        return;
    }
    case lobby::cmPrivate: {
        if (n < 5) return;
        const std::size_t nText = U16At(d + 1), nTo = U16At(d + 3);
        if (n != 5 + nText + nTo) return;
        const std::string text = TextAt(d + 5, nText), to = TextAt(d + 5 + nText, nTo);
        events_.Add("private " + from.Name + " " + to + " " + text);
        DPNID id = 0;
        {
            std::lock_guard lock(lock_);
            if (auto* p = FindByName(to)) id = p->Id;
        }
        if (id != 0) SendTo(id, ChatBytes(true, from.Name, text));
        return;
    }
    case lobby::cmInvitation:
    case lobby::cmAnswer: {
        if (n < 4 || n != 4u + U16At(d + 2)) return;
        const std::string to = TextAt(d + 4, n - 4);
        const bool invitation = d[0] == lobby::cmInvitation;
        events_.Add(std::string(invitation ? "invite " : "answer ") + from.Name + " " + to + " " + std::to_string(d[1]));
        DPNID id = 0;
        {
            std::lock_guard lock(lock_);
            if (auto* p = FindByName(to)) id = p->Id;
        }
        if (id != 0)
            SendTo(id, invitation ? InvitationBytes(d[1], from.Name, from.Address) : AnswerBytes(d[1], from.Name));
        return;
    }
    case lobby::cmPlaying: {
        if (n != 2) return;
        lobby::TBytes room;
        {
            std::lock_guard lock(lock_);
            from.Status = d[1];
            room = RoomBytes({}, {{from.Rank, from.Status, from.Name}});
        }
        events_.Add("playing " + from.Name + " " + std::to_string(d[1]));
        SendToRoom(room);
        return;
    }
    case lobby::cmDuelResult: {
        if (n < 40 || n != 40u + U16At(d + 1)) return;
        TDuelResultRecord r;
        r.From = from.Name;
        r.RaceId = TextAt(d + 3, 32);
        r.Won = d[35] == 1;
        r.Total = static_cast<std::int32_t>(d[36] | (d[37] << 8) | (d[38] << 16) | (static_cast<std::uint32_t>(d[39]) << 24));
        r.Opponent = TextAt(d + 40, n - 40);
        {
            std::lock_guard lock(lock_);
            results_.push_back(r);
        }
        events_.Add("result " + r.From + " " + r.RaceId + " " + (r.Won ? "1" : "0") + " " + std::to_string(r.Total) +
                    " " + r.Opponent);
        return;
    }
    default: return;
    }
}

}  // namespace qv::test
