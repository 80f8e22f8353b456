// The multiplayer lobby as the program body binds it. The lobby sits above
// the front end, so only the declaration lives here; the lobby library
// defines it and the program links it in.
#pragma once

#include "frontend/ui/qv3FrontendHooks.h"

namespace qv {

// Sets the main window's hook that opens the lobby (carousel slot 0).
void BindLobbyHooks(ui::TFrontendHooks& hooks);

}  // namespace qv
