#include "multiplayer/qv3DuelMessages.h"

#include <algorithm>
#include <array>

#include "foundation/BinaryIO.h"

namespace qv::duel {


std::optional<std::vector<std::uint8_t>> EncodeStart(const TGuid& raceId, std::span<const std::uint8_t> level) {
    if (level.size() > kMaxLevelData) return std::nullopt;
    TBinaryWriter w;
    w.WriteU8(kMsgStart);
    const auto id = raceId.ToWireBytes();
    w.WriteBytes(id);
    w.WriteU16(static_cast<std::uint16_t>(level.size()));
    w.WriteBytes(level);
    return w.Take();
}

std::vector<std::uint8_t> EncodeResult(std::int32_t result) {
    TBinaryWriter w;
    w.WriteU8(kMsgResult);
    w.WriteI32(result);
    return w.Take();
}

std::uint32_t PackStatus(std::int32_t score, std::int32_t cannonY) {
    return (static_cast<std::uint32_t>(score) & 0x1FFFFF) | ((static_cast<std::uint32_t>(cannonY) & 0x3FF) << 21);
}

std::vector<std::uint8_t> EncodeStatus(std::int32_t score, std::int32_t cannonY, std::uint32_t ageMs) {
    TBinaryWriter w;
    w.WriteU8(kMsgStatus);
    w.WriteU32(PackStatus(score, cannonY));
    w.WriteU16(static_cast<std::uint16_t>(std::min<std::uint32_t>(ageMs, 0xFFFF)));
    return w.Take();
}

std::vector<std::uint8_t> EncodeReady() { return {kMsgReady}; }
std::vector<std::uint8_t> EncodeQuit() { return {kMsgQuit}; }

std::vector<std::uint8_t> EncodePing(std::uint8_t code, std::uint32_t tick) {
    TBinaryWriter w;
    w.WriteU8(code);
    w.WriteU32(tick);
    return w.Take();
}

std::optional<TDuelMessage> DecodeDuelMessage(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    TBinaryReader r(bytes);
    TDuelMessage m;
    m.Code = r.ReadU8();
    const std::size_t size = bytes.size();
    switch (m.Code) {
        case kMsgStart: {
            if (size < kStartHeaderSize) return std::nullopt;
            std::array<std::uint8_t, 16> id{};
            r.ReadBytes(id.data(), id.size());
            const std::uint16_t n = r.ReadU16();
            if (size - kStartHeaderSize != n) return std::nullopt;
            m.RaceId = TGuid::FromWireBytes(id);
            m.Level = r.ReadSpan(n);
            return m;
        }
        case kMsgResult:
            if (size != 5) return std::nullopt;
            m.Result = r.ReadI32();
            return m;
        case kMsgStatus:
            if (size != 7) return std::nullopt;
            m.Packed = r.ReadU32();
            m.Age = r.ReadU16();
            return m;
        case kMsgReady:
        case kMsgQuit:
            return m;
        case kMsgPing:
        case kMsgPingAnswer:
            if (size != 5) return std::nullopt;
            m.Tick = r.ReadU32();
            return m;
        default:
            return std::nullopt;
    }
}

}  // namespace qv::duel
