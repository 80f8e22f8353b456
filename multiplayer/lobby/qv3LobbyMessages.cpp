#include "multiplayer/lobby/qv3LobbyMessages.h"

#include <algorithm>
#include <cstring>

namespace qv::lobby {

namespace {

class TWriter {
public:
    explicit TWriter(std::uint8_t id) { bytes_.push_back(id); }
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::size_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void Bytes(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    TBytes Take() { return std::move(bytes_); }

private:
    TBytes bytes_;
};

std::string_view Field(std::string_view s) { return s.substr(0, kMaxFieldSize); }

// A cursor that never reads past the end; every read says whether it fit.
class TReader {
public:
    TReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(data == nullptr ? 0 : size) {}
    std::size_t Remaining() const { return size_ - pos_; }
    bool U8(std::uint8_t& v) {
        if (Remaining() < 1) return false;
        v = data_[pos_++];
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (Remaining() < 2) return false;
        v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        if (Remaining() < 4) return false;
        v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | data_[pos_ + static_cast<std::size_t>(i)];
        pos_ += 4;
        return true;
    }
    bool Text(std::size_t n, std::string& out) {
        if (Remaining() < n) return false;
        out.assign(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return true;
    }
    // A name ending with NUL inside what is left.
    bool CString(std::string& out) {
        const std::uint8_t* begin = data_ + pos_;
        const void* nul = std::memchr(begin, 0, Remaining());
        if (nul == nullptr) return false;
        const std::size_t n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - begin);
        out.assign(reinterpret_cast<const char*>(begin), n);
        pos_ += n + 1;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

TBytes BuildLogIn(std::string_view key, std::string_view alias) {
    TWriter w(cmLogIn);
    std::string fixedKey(key.substr(0, 32));
    fixedKey.resize(32, '\0');
    w.Bytes(fixedKey);
    alias = Field(alias);
    w.U16(alias.size());
    w.Bytes(alias);
    return w.Take();
}

TBytes BuildChat(std::string_view text) {
    TWriter w(cmChat);
    text = Field(text);
    w.U16(text.size());
    w.Bytes(text);
    return w.Take();
}

TBytes BuildPrivate(std::string_view to, std::string_view text) {
    TWriter w(cmPrivate);
    text = Field(text);
    to = Field(to);
    w.U16(text.size());
    w.U16(to.size());
    w.Bytes(text);
    w.Bytes(to);
    return w.Take();
}

TBytes BuildInvitation(std::string_view alias, std::uint8_t action) {
    TWriter w(cmInvitation);
    alias = Field(alias);
    w.U8(action);
    w.U16(alias.size());
    w.Bytes(alias);
    return w.Take();
}

TBytes BuildAnswer(std::string_view alias, std::uint8_t answer) {
    TWriter w(cmAnswer);
    alias = Field(alias);
    w.U8(answer);
    w.U16(alias.size());
    w.Bytes(alias);
    return w.Take();
}

TBytes BuildPlaying(std::uint8_t flag) {
    TWriter w(cmPlaying);
    w.U8(flag);
    return w.Take();
}

TBytes BuildDuelResult(std::string_view opponent, const TGuid& raceId, bool won, std::int32_t total) {
    TWriter w(cmDuelResult);
    opponent = Field(opponent);
    w.U16(opponent.size());
    w.Bytes(raceId.ToRegistryHex32());
    w.U8(won ? 1 : 0);
    w.U32(static_cast<std::uint32_t>(total));
    w.Bytes(opponent);
    return w.Take();
}

std::optional<TChatMessage> ParseChatMessage(const std::uint8_t* data, std::size_t size) {
    TReader r(data, size);
    std::uint8_t id = 0;
    std::uint16_t nName = 0, nText = 0;
    if (size <= 4 || !r.U8(id) || (id != smPublic && id != smPrivate) || !r.U16(nName) || !r.U16(nText)) return {};
    if (size != 5u + nName + nText) return {};
    TChatMessage m;
    m.Private = id == smPrivate;
    if (!r.Text(nName, m.Alias) || !r.Text(nText, m.Text)) return {};
    return m;
}

std::optional<TRoomMessage> ParseRoomMessage(const std::uint8_t* data, std::size_t size) {
    TReader r(data, size);
    std::uint8_t id = 0;
    std::uint16_t removed = 0, added = 0;
    if (!r.U8(id) || id != smRoom || !r.U16(removed) || !r.U16(added)) return {};
    // Each name takes at least its NUL, each entry at least 6 bytes.
    if (static_cast<std::size_t>(removed) + 6u * added > r.Remaining()) return {};
    TRoomMessage m;
    m.Removed.resize(removed);
    for (auto& name : m.Removed)
        if (!r.CString(name)) return {};
    m.Added.resize(added);
    for (auto& e : m.Added)
        if (!r.U32(e.Rank) || !r.U8(e.Status) || !r.CString(e.Name)) return {};
    return m;
}

std::optional<TInvitationMessage> ParseInvitationMessage(const std::uint8_t* data, std::size_t size) {
    TReader r(data, size);
    std::uint8_t id = 0;
    std::uint16_t nName = 0, nAddress = 0;
    TInvitationMessage m;
    if (size <= 5 || !r.U8(id) || id != smInvitation || !r.U8(m.Action) || !r.U16(nName) || !r.U16(nAddress))
        return {};
    if (size != 6u + nName + nAddress) return {};
    if (!r.Text(nName, m.Alias) || !r.Text(nAddress, m.Address)) return {};
    return m;
}

std::optional<TAnswerMessage> ParseAnswerMessage(const std::uint8_t* data, std::size_t size) {
    TReader r(data, size);
    std::uint8_t id = 0;
    std::uint16_t n = 0;
    TAnswerMessage m;
    if (size <= 3 || !r.U8(id) || id != smAnswer || !r.U8(m.Answer) || !r.U16(n)) return {};
    if (size != 4u + n) return {};
    if (!r.Text(n, m.Alias)) return {};
    return m;
}

TServerMessage ParseServerMessage(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0) return {};
    switch (data[0]) {
    case smPublic:
    case smPrivate:
        if (auto m = ParseChatMessage(data, size)) return *m;
        break;
    case smRoom:
        if (auto m = ParseRoomMessage(data, size)) return *m;
        break;
    case smInvitation:
        if (auto m = ParseInvitationMessage(data, size)) return *m;
        break;
    case smAnswer:
        if (auto m = ParseAnswerMessage(data, size)) return *m;
        break;
    default: break;
    }
    return {};
}

std::optional<TLoginReply> ParseLoginReply(const std::uint8_t* data, std::size_t size) {
    TReader r(data, size);
    TLoginReply m;
    std::uint16_t nName = 0, nReason = 0;
    if (data == nullptr || size < 5 || !r.U8(m.Code) || !r.U16(nName) || !r.U16(nReason)) return {};
    if (size != 5u + nName + nReason) return {};
    if (!r.Text(nName, m.Name) || !r.Text(nReason, m.Reason)) return {};
    return m;
}

TLoginOutcome EvaluateLoginReply(bool connectSucceeded, const std::uint8_t* data, std::size_t size) {
    TLoginOutcome out;
    const auto reply = ParseLoginReply(data, size);
    if (!reply) return out;
    if (connectSucceeded) {
        out.Code = 0;
        out.LoginName = reply->Name;
    } else if (reply->Code != 0) {
        out.Code = reply->Code;
        out.ReasonText = reply->Reason;
    }
    return out;
}

}  // namespace qv::lobby

namespace qv {

void ApplyRoomMessage(std::vector<TRoomPlayer>& players, const lobby::TRoomMessage& message) {
    for (const auto& name : message.Removed) {
        for (std::size_t i = players.size(); i-- > 0;)
            if (players[i].Name == name) players.erase(players.begin() + static_cast<std::ptrdiff_t>(i));
    }
    for (const auto& entry : message.Added) {
        auto it = std::find_if(players.begin(), players.end(), [&](const TRoomPlayer& p) { return p.Name == entry.Name; });
        if (it == players.end()) it = players.insert(players.end(), TRoomPlayer{});
        it->Name = entry.Name;
        it->Rank = static_cast<std::int32_t>(entry.Rank);
        it->Status = entry.Status;
    }
}

}  // namespace qv
