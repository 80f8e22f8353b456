#include "frontend/qv3LobbyHook.h"

#include <memory>

#include "foundation/qv3Global.h"
#include "game/core/qv3GameCore.h"
#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3Messages.h"
#include "multiplayer/lobby/qv3MultiPlayer.h"
#include "multiplayer/qv3PeerConnect.h"
#include "multiplayer/qv3RunDuel.h"

namespace qv {

namespace {

// The duel's own boxes (a failed connect, a game error) open once the lobby
// has told the server the duel is over; questions are asked at once.
class TLobbyDuelMessages final : public ui::IMessages {
public:
    explicit TLobbyDuelMessages(TfrmMultiPlayer* lobby) : lobby_(lobby) {}
    bool Confirm(const std::string& text) override { return ui::TQtMessages(lobby_).Confirm(text); }
    bool WarnYesNo(const std::string& text) override { return ui::TQtMessages(lobby_).WarnYesNo(text); }
    void Info(const std::string& text) override {
        lobby_->ShowWhenFree([lobby = lobby_, text] { ui::TQtMessages(lobby).Info(text); });
    }
    void Error(const std::string& text) override {
        lobby_->ShowWhenFree([lobby = lobby_, text] { ui::TQtMessages(lobby).Error(text); });
    }

private:
    TfrmMultiPlayer* lobby_;
};

}  // namespace

void BindLobbyHooks(ui::TFrontendHooks& hooks) {
    hooks.RunLobby = [](ui::TfrmMain& main) {
        TLobbyServices services;
        // The main window's routines for what both windows offer.
        services.OpenURL = main.Hooks().OpenURL;
        services.SendEmailCard = main.Hooks().SendEmailCard;
        // A duel started from the lobby runs on the display the options
        // chose, over the lobby window.
        services.RunDuel = [&main](QWidget* owner, const std::string& name, const std::string& address, TGuid& raceId,
                                   std::int32_t& total) {
            mp::TDuelRunServices duel;
            duel.Owner = owner;
            duel.GameRequest = [&main] { return main.Request(kDuelGame, -1); };
            // Kept until the next duel: the services hold on to it.
            static std::unique_ptr<TLobbyDuelMessages> messages;
            messages.reset();
            if (auto* lobby = qobject_cast<TfrmMultiPlayer*>(owner)) {
                messages = std::make_unique<TLobbyDuelMessages>(lobby);
                duel.Messages = messages.get();
            }
            mp::SetDuelRunServices(std::move(duel));
            std::array<std::uint8_t, 16> race = raceId.ToWireBytes();
            const int outcome = mp::RunDuel(name, address, race, total);
            raceId = TGuid::FromWireBytes(race);
            return outcome;
        };
        RunMultiPlayer(&main, std::move(services));
    };
}

}  // namespace qv
