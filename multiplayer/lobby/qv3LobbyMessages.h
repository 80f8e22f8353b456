// The lobby's wire format. Every message is one session payload; integers
// are little-endian; strings are Windows-1252 bytes with their length in the
// header, except in the room message, whose names end with a NUL byte.
//
// Client to server: the builders below (the log-in travels as the connect
// data). Server to client: the first byte selects 'h', 'i', 'j', 'k' or 'l';
// anything else is ignored. Every parser treats its input as hostile: a
// message that does not fit its header is dropped whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/session/Guid.h"

namespace qv::lobby {

using TBytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t cmLogIn = 1;
inline constexpr std::uint8_t cmChat = 4;
inline constexpr std::uint8_t cmPrivate = 5;
inline constexpr std::uint8_t cmInvitation = 6;
inline constexpr std::uint8_t cmAnswer = 7;
inline constexpr std::uint8_t cmPlaying = 8;
inline constexpr std::uint8_t cmDuelResult = 9;

inline constexpr std::uint8_t smPublic = 'h';
inline constexpr std::uint8_t smPrivate = 'i';
inline constexpr std::uint8_t smRoom = 'j';
inline constexpr std::uint8_t smInvitation = 'k';
inline constexpr std::uint8_t smAnswer = 'l';

// Invitation actions and answers.
inline constexpr std::uint8_t iaInvite = 1;
inline constexpr std::uint8_t iaCancel = 2;
inline constexpr std::uint8_t iaAccept = 1;
inline constexpr std::uint8_t iaRefuse = 2;

// A string field longer than its 16-bit length can say is cut to 65535 bytes.
inline constexpr std::size_t kMaxFieldSize = 0xFFFF;

// 1: key (first 32 bytes, NUL-padded when shorter), u16 n, alias.
TBytes BuildLogIn(std::string_view key, std::string_view alias);
// 4: u16 n, text.
TBytes BuildChat(std::string_view text);
// 5: u16 nText, u16 nTo, text, recipient.
TBytes BuildPrivate(std::string_view to, std::string_view text);
// 6: action, u16 n, invited alias.
TBytes BuildInvitation(std::string_view alias, std::uint8_t action);
// 7: answer, u16 n, inviter alias.
TBytes BuildAnswer(std::string_view alias, std::uint8_t answer);
// 8: flag.
TBytes BuildPlaying(std::uint8_t flag);
// 9: u16 n, 32 hex digits of the race id, won, i32 total, opponent alias.
TBytes BuildDuelResult(std::string_view opponent, const TGuid& raceId, bool won, std::int32_t total);

// 'h' and 'i'.
struct TChatMessage {
    bool Private = false;
    std::string Alias;
    std::string Text;
    bool operator==(const TChatMessage&) const = default;
};

struct TRoomEntry {
    std::uint32_t Rank = 0;
    std::uint8_t Status = 0;
    std::string Name;
    bool operator==(const TRoomEntry&) const = default;
};

// 'j'.
struct TRoomMessage {
    std::vector<std::string> Removed;
    std::vector<TRoomEntry> Added;
    bool operator==(const TRoomMessage&) const = default;
};

// 'k'.
struct TInvitationMessage {
    std::uint8_t Action = 0;
    std::string Alias;
    std::string Address;
    bool operator==(const TInvitationMessage&) const = default;
};

// 'l'.
struct TAnswerMessage {
    std::uint8_t Answer = 0;
    std::string Alias;
    bool operator==(const TAnswerMessage&) const = default;
};

// monostate: ignored (unknown first byte, or a message that does not fit).
using TServerMessage = std::variant<std::monostate, TChatMessage, TRoomMessage, TInvitationMessage, TAnswerMessage>;

TServerMessage ParseServerMessage(const std::uint8_t* data, std::size_t size);

std::optional<TChatMessage> ParseChatMessage(const std::uint8_t* data, std::size_t size);
// Bounds-checked: the counts must be met by NUL-terminated names inside the
// payload, else nothing.
std::optional<TRoomMessage> ParseRoomMessage(const std::uint8_t* data, std::size_t size);
std::optional<TInvitationMessage> ParseInvitationMessage(const std::uint8_t* data, std::size_t size);
std::optional<TAnswerMessage> ParseAnswerMessage(const std::uint8_t* data, std::size_t size);

// The log-in reply: code, u16 nName, u16 nReason, name, reason.
struct TLoginReply {
    std::uint8_t Code = 0;
    std::string Name;
    std::string Reason;
};
std::optional<TLoginReply> ParseLoginReply(const std::uint8_t* data, std::size_t size);

// What a connect's result and reply data mean: code 0 with the name logged
// in under; the server's code (not 0) with its reason text on a refusal;
// 4 for anything unreadable.
struct TLoginOutcome {
    std::uint8_t Code = 4;
    std::optional<std::string> LoginName;   // set on success
    std::optional<std::string> ReasonText;  // set on a readable refusal
};
TLoginOutcome EvaluateLoginReply(bool connectSucceeded, const std::uint8_t* data, std::size_t size);

}  // namespace qv::lobby

namespace qv {

struct TRoomPlayer {
    std::string Name;
    std::uint8_t Status = 0;  // 1: in a duel
    std::int32_t Rank = 0;
};

// The room as a list in the server's order: removed names take every player
// of exactly that name (case counts), an added entry updates the first
// player of that name in place or is appended.
void ApplyRoomMessage(std::vector<TRoomPlayer>& players, const lobby::TRoomMessage& message);

}  // namespace qv
