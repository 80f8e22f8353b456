// Runs one game window for the main window, keeping the front end painted
// while the game runs.
#pragma once

#include <string>

#include "frontend/ui/qv3Main.h"

namespace qv::ui {

// Makes the game window for `request`, shows it modally and returns its
// result text. Throws when the window cannot be made ("Invalid mode").
std::string RunGameWindow(const TGameRequest& request);

// Asks the running game window, if any, to close (a quit request).
void CloseRunningGame();

}  // namespace qv::ui
