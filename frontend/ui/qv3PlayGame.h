// Runs one game window for the front end, keeping the front end painted
// while the game runs; a duel runs through the same window with its link.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frontend/ui/qv3Main.h"

namespace qv {
class IDuelLink;
}

namespace qv::ui {

// What a game window left behind: its result text (empty: it closed
// normally) and, for a duel, the outcome the core recorded.
struct TGameRunResult {
    std::string ErrorText;
    std::uint8_t DuelWon = 0;
    std::array<std::uint8_t, 16> RaceId{};
    std::int32_t TotalScore = 0;
};

// Makes the game window for `request`, shows it modally and returns what it
// left behind. With `duel`, the window plays over that link. Throws when the
// window cannot be made ("Invalid mode"). While it runs, CloseRunningGame
// reaches it.
TGameRunResult RunGameWindow(const TGameRequest& request, IDuelLink* duel = nullptr);

// Asks the running game window, if any, to close (a quit request). A running
// duel first tells the other side that this one left, so it ends at once
// rather than at its link time-out.
void CloseRunningGame();

}  // namespace qv::ui
