// The duel connection dialog and the duel runner: the small "Connecting..."
// box shown while the duel peer is made and connected, then the duel game.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3PlayGame.h"
#include "multiplayer/qv3DPPeer.h"
#include "multiplayer/qv3RunDuel.h"

class QLabel;
class QPushButton;

namespace qv {
class TQVX3Resources;
namespace ui {
class IMessages;
class TSpinner;
}  // namespace ui
}  // namespace qv

namespace qv::mp {

// The one duel peer of the program; null while no duel runs.
extern std::unique_ptr<TCustomDuelPeer> DuelPeer;

// What a duel game left behind.
using TDuelGameResult = ui::TGameRunResult;

// What the duel runner uses. SetDuelRunServices fills every member left
// empty with the program's own, once; the runner calls them directly.
struct TDuelRunServices {
    // Owner of the dialog and the game window.
    QWidget* Owner = nullptr;
    // Null: message boxes over the owner.
    ui::IMessages* Messages = nullptr;
    // The device, mode and windowing the options chose; empty: a default
    // request.
    std::function<ui::TGameRequest()> GameRequest;
    // Runs the duel game modally; empty: the game window.
    std::function<TDuelGameResult(const ui::TGameRequest& request, IDuelLink& duel)> RunGame;
    // Makes the peer: the joining side for an address, else the host.
    // Empty: TDuelPeerClient / TDuelPeerHost on the duel port.
    std::function<std::unique_ptr<TCustomDuelPeer>(const std::string& name, const std::string& address)> MakePeer;
    // Null: GameResources, as it is when the duel starts.
    TQVX3Resources* Resources = nullptr;
    // The message boxes Messages points at when it was left null.
    std::shared_ptr<ui::IMessages> OwnMessages;
};

// Sets the services of the next duels, their empty members filled.
void SetDuelRunServices(TDuelRunServices services);
const TDuelRunServices& DuelRunServices();

// What the dialog does for a state of the peer.
struct TConnectStatus {
    int Text = 0;            // language line for the status label; 0 keeps it
    bool Close = false;      // the dialog closes
    bool Connected = false;  // ... with the peer connected
    bool Failed = false;     // ... and "Unable to access server" is shown
};
TConnectStatus PeerConnectStatus(bool host, int state);

class TfrmPeerConnect : public QDialog {
    Q_OBJECT
public:
    // `services` as SetDuelRunServices filled them.
    explicit TfrmPeerConnect(const TDuelRunServices& services);
    ~TfrmPeerConnect() override;

    // False at once when a duel peer exists; else shows the dialog modally
    // and returns whether the peer connected. When false, frees the peer.
    bool Execute(const std::string& name, const std::string& address);

    QString StatusText() const;
    void Cancel();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void StartConnection();
    void StatusUpdate();
    void Unbind();

    const TDuelRunServices& services_;
    bool Connected = false;
    bool Started = false;
    std::string PlayerName;
    std::string Address;
    std::string failure_;  // shown once the dialog has closed
    QLabel* lblStatus_;
    ui::TSpinner* anim_;
    QPushButton* btnCancel_;
};

}  // namespace qv::mp
