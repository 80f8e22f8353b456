// The session layer's own datagrams and messages, as bytes. Every decoder
// treats its input as hostile: a short, long or inconsistent buffer gives
// std::nullopt and nothing is read past its end.
//
// Enumeration datagrams (raw UDP on the session port), little-endian:
//   query:    "QVXDPNQ1" u32 stamp, app GUID (16), u16 n, n bytes user data
//   response: "QVXDPNR1" u32 stamp (echoed), u32 flags, instance GUID,
//             app GUID, u32 max players, u32 current players, then four
//             u16-counted byte strings: session name, password, reserved
//             data, response data
// Session messages (ENet packets), first byte the kind:
//   1 connect request: u32 version, app GUID, instance GUID, u16 n name,
//     u32 n connect data
//   2 connect reply:   i32 result, u16 n host player name, u32 n reply data
//   3 data:            the payload
//   4 terminate:       u32 n terminate data
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/session/DPlay8.h"

namespace qv::dpn::wire {

inline constexpr std::uint32_t kProtocolVersion = 1;
inline constexpr std::size_t kMagicSize = 8;

enum : std::uint8_t { kConnectRequest = 1, kConnectReply = 2, kData = 3, kTerminate = 4 };

struct TEnumQuery {
    std::uint32_t Stamp = 0;
    TGuid Application;
    std::vector<std::uint8_t> UserData;
};

struct TEnumResponse {
    std::uint32_t Stamp = 0;
    DPN_APPLICATION_DESC Desc;
    std::vector<std::uint8_t> ResponseData;
};

struct TConnectRequest {
    std::uint32_t Version = kProtocolVersion;
    TGuid Application;
    TGuid Instance;
    std::string Name;
    std::vector<std::uint8_t> ConnectData;
};

struct TConnectReply {
    HRESULT Result = DPN_OK;
    std::string HostName;
    std::vector<std::uint8_t> ReplyData;
};

// Whether a datagram starts like one of ours (then it is never ENet's).
bool IsEnumDatagram(std::span<const std::uint8_t> datagram);

std::vector<std::uint8_t> EncodeEnumQuery(const TEnumQuery& query);
std::optional<TEnumQuery> DecodeEnumQuery(std::span<const std::uint8_t> datagram);
std::vector<std::uint8_t> EncodeEnumResponse(const TEnumResponse& response);
std::optional<TEnumResponse> DecodeEnumResponse(std::span<const std::uint8_t> datagram);

std::vector<std::uint8_t> EncodeConnectRequest(const TConnectRequest& request);
std::optional<TConnectRequest> DecodeConnectRequest(std::span<const std::uint8_t> message);
std::vector<std::uint8_t> EncodeConnectReply(const TConnectReply& reply);
std::optional<TConnectReply> DecodeConnectReply(std::span<const std::uint8_t> message);
std::vector<std::uint8_t> EncodeTerminate(std::span<const std::uint8_t> data);
std::optional<std::vector<std::uint8_t>> DecodeTerminate(std::span<const std::uint8_t> message);

}  // namespace qv::dpn::wire
