// The duel wire messages: one byte of code, then little-endian fields packed
// without padding. Encoders build the exact bytes; DecodeDuelMessage takes
// bytes from the network and accepts only well-formed messages.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/session/Guid.h"

namespace qv::duel {

enum : std::uint8_t {
    kMsgStart = 201,       // host to client: race id and level data
    kMsgResult = 202,      // final result
    kMsgStatus = 203,      // live score and cannon position
    kMsgReady = 204,       // client to host: level taken
    kMsgQuit = 205,        // the sender left the duel
    kMsgPing = 206,        // tick count to echo
    kMsgPingAnswer = 207,  // echoed tick count
};

inline constexpr std::size_t kStartHeaderSize = 19;
inline constexpr std::size_t kMaxLevelData = 0xFFFF;

struct TDuelMessage {
    std::uint8_t Code = 0;
    TGuid RaceId;                          // start
    std::span<const std::uint8_t> Level;   // start: points into the decoded buffer
    std::int32_t Result = 0;               // result
    std::uint32_t Packed = 0;              // status
    std::uint16_t Age = 0;                 // status
    std::uint32_t Tick = 0;                // ping, ping answer
};

// Start: fails (nullopt) when the level data is 65,536 bytes or more.
std::optional<std::vector<std::uint8_t>> EncodeStart(const TGuid& raceId, std::span<const std::uint8_t> level);
std::vector<std::uint8_t> EncodeResult(std::int32_t result);
std::vector<std::uint8_t> EncodeStatus(std::int32_t score, std::int32_t cannonY, std::uint32_t ageMs);
std::vector<std::uint8_t> EncodeReady();
std::vector<std::uint8_t> EncodeQuit();
std::vector<std::uint8_t> EncodePing(std::uint8_t code, std::uint32_t tick);

// Status packing: score keeps its low 21 bits, cannonY its low 10.
std::uint32_t PackStatus(std::int32_t score, std::int32_t cannonY);
inline std::int32_t StatusScore(std::uint32_t packed) { return static_cast<std::int32_t>(packed & 0x1FFFFF); }
inline std::int32_t StatusCannonY(std::uint32_t packed) { return static_cast<std::int32_t>((packed >> 21) & 0x3FF); }

// Result, status, ping and ping answer only at their exact sizes; ready and
// quit at any size; start only with a whole header and exactly the level
// bytes its length field announces. Unknown codes and malformed messages
// give nullopt.
std::optional<TDuelMessage> DecodeDuelMessage(std::span<const std::uint8_t> bytes);

}  // namespace qv::duel
