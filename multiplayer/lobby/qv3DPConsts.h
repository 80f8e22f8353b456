// The lobby's fixed values, the rule for valid nicknames and the texts of
// the lobby server's log-in result codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/session/Guid.h"

namespace qv {

inline constexpr std::uint32_t kLobbyPort = 3681;
inline constexpr TGuid kLobbyAppGuid = {0x4058159Bu, 0x0CE9u, 0x498Au, {0xAF, 0x5E, 0x01, 0x07, 0x12, 0x71, 0xA2, 0x45}};
// Compared without regard to case.
inline constexpr const char* kLobbySessionName = "Tollbeck QVX 3.0 Chat";
inline constexpr std::size_t kLobbyAliasMax = 15;
inline constexpr std::size_t kLobbyKeySize = 32;

// Log-in result codes; the client makes 4 (unreadable reply) and 5 (its own
// time-out) itself.
inline constexpr std::uint8_t lrSuccess = 0;
inline constexpr std::uint8_t lrInvalidData = 4;
inline constexpr std::uint8_t lrTimedOut = 5;
inline constexpr std::uint8_t lrSameLogin = 6;
inline constexpr std::uint8_t lrInvalidName = 7;
inline constexpr std::uint8_t lrNameExists = 8;
inline constexpr std::uint8_t lrOldVersion = 9;

// 3 to 15 characters of 32..127, no blank or control character at either
// end, none of " ' : < >. Blanks inside are fine.
bool IsValidNickname(std::string_view name);

// Language texts 367 (code 0) to 376 (code 9); 377 for any other code.
std::string ReasonToText(int code);

// A new log-in key: the 32 upper-case hexadecimal digits of a new GUID.
std::string NewLoginKey();

}  // namespace qv
