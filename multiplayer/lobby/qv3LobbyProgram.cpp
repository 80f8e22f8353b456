#include "frontend/qv3LobbyHook.h"

#include <memory>

#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "multiplayer/lobby/qv3MultiPlayer.h"
#include "platform/resources/ResourceContainer.h"

namespace qv {

void BindLobbyHooks(ui::TFrontendHooks& hooks) {
    hooks.RunLobby = [](QWidget* owner) {
        // The players list's pictures come from the program's resource pack.
        std::shared_ptr<sys::TResourceContainer> pack;
        try {
            pack = sys::TResourceContainer::OpenFile(ProgramDir + kProgramResourceFile);
        } catch (const std::exception& e) {
            LogMessage(std::string("Lobby pictures unavailable: ") + e.what(), lkWarning);
        }
        TLobbyServices services;
        services.Picture = [pack](const std::string& name) {
            const auto bytes = pack ? pack->Read("DATA", name) : std::nullopt;
            return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
        };
        RunMultiPlayer(owner, std::move(services));
    };
}

}  // namespace qv
