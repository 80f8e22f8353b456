#include "frontend/qv3LobbyHook.h"

#include <memory>

#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "game/core/qv3GameCore.h"
#include "frontend/ui/qv3Main.h"
#include "multiplayer/lobby/qv3MultiPlayer.h"
#include "multiplayer/qv3PeerConnect.h"
#include "multiplayer/qv3RunDuel.h"
#include "platform/resources/ResourceContainer.h"

namespace qv {

void BindLobbyHooks(ui::TFrontendHooks& hooks) {
    // A duel started from the lobby runs on the display the options chose,
    // over the main window, with the please-wait box's spinner.
    LobbyRunDuel() = [](QWidget* owner, const std::string& name, const std::string& address, TGuid& raceId,
                        std::int32_t& total) {
        mp::TDuelRunServices duel;
        duel.Owner = owner;
        if (auto* main = qobject_cast<ui::TfrmMain*>(owner ? owner->parentWidget() : nullptr))
            duel.GameRequest = [main] { return main->Request(kDuelGame, -1); };
        duel.SpinnerFrames = ui::SpinnerFrames();
        mp::SetDuelRunServices(std::move(duel));
        std::array<std::uint8_t, 16> race = raceId.ToWireBytes();
        const int outcome = mp::RunDuel(name, address, race, total);
        raceId = TGuid::FromWireBytes(race);
        return outcome;
    };
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
