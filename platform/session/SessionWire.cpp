#include "platform/session/SessionWire.h"

#include <algorithm>
#include <cstring>

namespace qv::dpn::wire {

namespace {

constexpr char kQueryMagic[kMagicSize + 1] = "QVXDPNQ1";
constexpr char kResponseMagic[kMagicSize + 1] = "QVXDPNR1";

// Bounded little-endian reading; a read past the end sets `bad` and gives
// zeros, and the decoders then refuse the whole buffer.
class TReader {
public:
    explicit TReader(std::span<const std::uint8_t> data) : data_(data) {}
    bool Bad() const { return bad_; }
    bool AtEnd() const { return pos_ == data_.size(); }

    std::span<const std::uint8_t> Take(std::size_t count) {
        if (bad_ || count > data_.size() - pos_) {
            bad_ = true;
            return {};
        }
        auto s = data_.subspan(pos_, count);
        pos_ += count;
        return s;
    }
    std::uint32_t U(std::size_t bytes) {
        const auto s = Take(bytes);
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < s.size(); ++i) v |= std::uint32_t{s[i]} << (8 * i);
        return v;
    }
    TGuid Guid() {
        const auto s = Take(16);
        if (s.size() != 16) return {};
        return TGuid::FromWireBytes(s.first<16>());
    }
    std::vector<std::uint8_t> Bytes(std::size_t lengthBytes, std::size_t limit) {
        const std::size_t n = U(lengthBytes);
        if (n > limit) bad_ = true;
        const auto s = Take(n);
        return {s.begin(), s.end()};
    }
    std::string Text(std::size_t lengthBytes, std::size_t limit) {
        const auto b = Bytes(lengthBytes, limit);
        return {b.begin(), b.end()};
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool bad_ = false;
};

class TWriter {
public:
    std::vector<std::uint8_t> out;
    void U(std::uint32_t v, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void Raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void Guid(const TGuid& g) {
        const auto b = g.ToWireBytes();
        Raw(b.data(), b.size());
    }
    // A counted string, cut to what its length field and `limit` allow.
    template <typename Bytes>
    void Counted(const Bytes& b, std::size_t lengthBytes, std::size_t limit) {
        const std::size_t n = std::min(b.size(), limit);
        U(static_cast<std::uint32_t>(n), lengthBytes);
        Raw(b.data(), n);
    }
};

bool HasMagic(std::span<const std::uint8_t> d, const char* magic) {
    return d.size() >= kMagicSize && std::memcmp(d.data(), magic, kMagicSize) == 0;
}

constexpr std::size_t kShortLimit = 0xFFFF;

}  // namespace

bool IsEnumDatagram(std::span<const std::uint8_t> d) { return HasMagic(d, kQueryMagic) || HasMagic(d, kResponseMagic); }

std::vector<std::uint8_t> EncodeEnumQuery(const TEnumQuery& q) {
    TWriter w;
    w.Raw(kQueryMagic, kMagicSize);
    w.U(q.Stamp, 4);
    w.Guid(q.Application);
    w.Counted(q.UserData, 2, kShortLimit);
    return std::move(w.out);
}

std::optional<TEnumQuery> DecodeEnumQuery(std::span<const std::uint8_t> d) {
    if (!HasMagic(d, kQueryMagic)) return std::nullopt;
    TReader r(d.subspan(kMagicSize));
    TEnumQuery q;
    q.Stamp = r.U(4);
    q.Application = r.Guid();
    q.UserData = r.Bytes(2, kShortLimit);
    if (r.Bad() || !r.AtEnd()) return std::nullopt;
    return q;
}

std::vector<std::uint8_t> EncodeEnumResponse(const TEnumResponse& e) {
    TWriter w;
    w.Raw(kResponseMagic, kMagicSize);
    w.U(e.Stamp, 4);
    w.U(e.Desc.dwFlags, 4);
    w.Guid(e.Desc.guidInstance);
    w.Guid(e.Desc.guidApplication);
    w.U(e.Desc.dwMaxPlayers, 4);
    w.U(e.Desc.dwCurrentPlayers, 4);
    w.Counted(e.Desc.SessionName, 2, 255);
    w.Counted(e.Desc.Password, 2, 255);
    w.Counted(e.Desc.ApplicationReservedData, 2, 1024);
    w.Counted(e.ResponseData, 2, 1024);
    return std::move(w.out);
}

std::optional<TEnumResponse> DecodeEnumResponse(std::span<const std::uint8_t> d) {
    if (!HasMagic(d, kResponseMagic)) return std::nullopt;
    TReader r(d.subspan(kMagicSize));
    TEnumResponse e;
    e.Stamp = r.U(4);
    e.Desc.dwFlags = r.U(4);
    e.Desc.guidInstance = r.Guid();
    e.Desc.guidApplication = r.Guid();
    e.Desc.dwMaxPlayers = r.U(4);
    e.Desc.dwCurrentPlayers = r.U(4);
    e.Desc.SessionName = r.Text(2, 255);
    e.Desc.Password = r.Text(2, 255);
    e.Desc.ApplicationReservedData = r.Bytes(2, 1024);
    e.ResponseData = r.Bytes(2, 1024);
    if (r.Bad() || !r.AtEnd()) return std::nullopt;
    return e;
}

std::vector<std::uint8_t> EncodeConnectRequest(const TConnectRequest& c) {
    TWriter w;
    w.U(kConnectRequest, 1);
    w.U(c.Version, 4);
    w.Guid(c.Application);
    w.Guid(c.Instance);
    w.Counted(c.Name, 2, 255);
    w.Counted(c.ConnectData, 4, kMaxSideDataSize);
    return std::move(w.out);
}

std::optional<TConnectRequest> DecodeConnectRequest(std::span<const std::uint8_t> m) {
    TReader r(m);
    if (r.U(1) != kConnectRequest) return std::nullopt;
    TConnectRequest c;
    c.Version = r.U(4);
    c.Application = r.Guid();
    c.Instance = r.Guid();
    c.Name = r.Text(2, 255);
    c.ConnectData = r.Bytes(4, kMaxSideDataSize);
    if (r.Bad() || !r.AtEnd()) return std::nullopt;
    return c;
}

std::vector<std::uint8_t> EncodeConnectReply(const TConnectReply& c) {
    TWriter w;
    w.U(kConnectReply, 1);
    w.U(static_cast<std::uint32_t>(c.Result), 4);
    w.Counted(c.HostName, 2, 255);
    w.Counted(c.ReplyData, 4, kMaxSideDataSize);
    return std::move(w.out);
}

std::optional<TConnectReply> DecodeConnectReply(std::span<const std::uint8_t> m) {
    TReader r(m);
    if (r.U(1) != kConnectReply) return std::nullopt;
    TConnectReply c;
    c.Result = static_cast<HRESULT>(r.U(4));
    c.HostName = r.Text(2, 255);
    c.ReplyData = r.Bytes(4, kMaxSideDataSize);
    if (r.Bad() || !r.AtEnd()) return std::nullopt;
    return c;
}

std::vector<std::uint8_t> EncodeTerminate(std::span<const std::uint8_t> data) {
    TWriter w;
    w.U(kTerminate, 1);
    w.Counted(data, 4, kMaxSideDataSize);
    return std::move(w.out);
}

std::optional<std::vector<std::uint8_t>> DecodeTerminate(std::span<const std::uint8_t> m) {
    TReader r(m);
    if (r.U(1) != kTerminate) return std::nullopt;
    auto data = r.Bytes(4, kMaxSideDataSize);
    if (r.Bad() || !r.AtEnd()) return std::nullopt;
    return data;
}

}  // namespace qv::dpn::wire
