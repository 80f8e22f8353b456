#include "frontend/qv3LobbyHook.h"

#include "multiplayer/lobby/qv3MultiPlayer.h"

namespace qv {

void BindLobbyHooks(ui::TFrontendHooks& hooks) {
    hooks.RunLobby = [](QWidget* owner) { RunMultiPlayer(owner); };
}

}  // namespace qv
