// Runs one duel for the lobby: connects to the opponent (an address given:
// joins the host there; empty: hosts and waits), then plays the duel level
// in the game window.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv::mp {

// Outcomes of a duel, as the game core decides them.
enum : int { kDuelNone = 0, kDuelLost = 1, kDuelWon = 2, kDuelBothLost = 3 };

// `name` is this side's player name in the duel session. Returns the
// outcome; `raceId` (wire bytes) and `total` are written only when the game
// ended without an error text. Returns kDuelNone at once, showing nothing,
// while another duel runs.
int RunDuel(const std::string& name, const std::string& address, std::array<std::uint8_t, 16>& raceId,
            std::int32_t& total);

// Whether a duel runs now (the lobby takes no second one meanwhile).
bool InDuel();

}  // namespace qv::mp
