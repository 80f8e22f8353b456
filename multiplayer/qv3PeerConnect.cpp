#include "multiplayer/qv3PeerConnect.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3PlayGame.h"
#include "frontend/ui/qv3PleaseWait.h"
#include "game/assets/qv3Resources.h"
#include "game/core/qv3GameCore.h"

namespace qv::mp {

std::unique_ptr<TCustomDuelPeer> DuelPeer;

namespace {

// Every member left empty gets the program's own.
TDuelRunServices Filled(TDuelRunServices services) {
    if (!services.Messages) {
        services.OwnMessages = std::make_shared<ui::TQtMessages>(services.Owner);
        services.Messages = services.OwnMessages.get();
    }
    if (!services.GameRequest) services.GameRequest = [] { return ui::TGameRequest{}; };
    if (!services.RunGame) {
        services.RunGame = [](const ui::TGameRequest& request, IDuelLink& duel) {
            return ui::RunGameWindow(request, &duel);
        };
    }
    if (!services.MakePeer) {
        services.MakePeer = [](const std::string& name,
                               const std::string& address) -> std::unique_ptr<TCustomDuelPeer> {
            if (!address.empty()) return std::make_unique<TDuelPeerClient>(name, address);
            return std::make_unique<TDuelPeerHost>(name);
        };
    }
    return services;
}

TDuelRunServices& Services() {
    static TDuelRunServices services = Filled({});
    return services;
}

bool duelRunning = false;

}  // namespace

void SetDuelRunServices(TDuelRunServices services) { Services() = Filled(std::move(services)); }
const TDuelRunServices& DuelRunServices() { return Services(); }

TConnectStatus PeerConnectStatus(bool host, int state) {
    if (host) {
        switch (state) {
            case TDuelPeerHost::hsWaiting: return {402, false, false, false};
            case TDuelPeerHost::hsClosed: return {403, true, false, true};
            default: return {0, true, true, false};
        }
    }
    switch (state) {
        case TDuelPeerClient::csSearching: return {404, false, false, false};
        case TDuelPeerClient::csConnecting: return {405, false, false, false};
        case TDuelPeerClient::csClosed: return {403, true, false, true};
        default: return {0, true, true, false};
    }
}

TfrmPeerConnect::TfrmPeerConnect(const TDuelRunServices& services)
    : QDialog(services.Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      services_(services) {
    setWindowTitle("Connecting...");
    setModal(true);
    setFixedSize(246, 117);
    lblStatus_ = new QLabel(this);
    lblStatus_->setAlignment(Qt::AlignCenter);
    QFont font = lblStatus_->font();
    font.setPixelSize(19);
    lblStatus_->setFont(font);
    lblStatus_->setGeometry(0, 8, 246, 26);
    anim_ = new ui::TSpinner(this);
    anim_->setGeometry((246 - 48) / 2, 36, 48, 48);
    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(0, 84, 246, 2);
    btnCancel_ = new QPushButton(QText(LangText(75)), this);
    btnCancel_->setGeometry((246 - 75) / 2, 88, 75, 25);
    connect(btnCancel_, &QPushButton::clicked, this, &TfrmPeerConnect::Cancel);
    anim_->Start();
}

TfrmPeerConnect::~TfrmPeerConnect() { Unbind(); }

QString TfrmPeerConnect::StatusText() const { return lblStatus_->text(); }

bool TfrmPeerConnect::Execute(const std::string& name, const std::string& address) {
    if (DuelPeer) return false;
    PlayerName = name;
    Address = address;
    exec();
    Unbind();
    if (!failure_.empty()) services_.Messages->Error(failure_);
    if (!Connected) DuelPeer.reset();
    return Connected;
}

void TfrmPeerConnect::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Started) return;
    Started = true;
    // The connection work starts once the dialog shows.
    QTimer::singleShot(0, this, &TfrmPeerConnect::StartConnection);
}

void TfrmPeerConnect::StartConnection() {
    lblStatus_->setText(QText(LangText(406)));
    lblStatus_->repaint();
    try {
        DuelPeer = services_.MakePeer(PlayerName, Address);
        if (!DuelPeer) throw std::runtime_error("No duel peer");
        DuelPeer->OnStateChange = [this](TCustomDuelPeer*) { StatusUpdate(); };
        StatusUpdate();
    } catch (const std::exception& e) {
        LogMessage(std::string("Error initiating connection: ") + e.what(), lkWarning);
        failure_ = LangText(407) + ": " + e.what();
        reject();
    }
}

void TfrmPeerConnect::StatusUpdate() {
    if (!DuelPeer) return;
    const TConnectStatus s = PeerConnectStatus(DuelPeer->IsHost(), DuelPeer->State());
    if (s.Text != 0) lblStatus_->setText(QText(LangText(s.Text)));
    if (!s.Close) return;
    Connected = s.Connected;
    if (s.Failed) failure_ = LangText(361) + "\r" + DuelPeer->CloseReasonText();
    if (Connected) {
        accept();
    } else {
        reject();
    }
}

void TfrmPeerConnect::Cancel() {
    try {
        DuelPeer.reset();
    } catch (const std::exception& e) {
        LogMessage(std::string("Error closing duel connection: ") + e.what(), lkWarning);
    }
    Connected = false;
    reject();
}

void TfrmPeerConnect::done(int result) {
    anim_->Stop();
    Unbind();
    QDialog::done(result);
}

void TfrmPeerConnect::Unbind() {
    if (DuelPeer) DuelPeer->OnStateChange = nullptr;
}

bool InDuel() { return duelRunning || DuelPeer != nullptr; }

int RunDuel(const std::string& name, const std::string& address, std::array<std::uint8_t, 16>& raceId,
            std::int32_t& total) {
    // A duel already runs (a second start queued meanwhile): leave its peer alone.
    if (InDuel()) return kDuelNone;
    const TDuelRunServices& services = Services();
    {
        TfrmPeerConnect dialog(services);
        if (!dialog.Execute(name, address)) {
            DuelPeer.reset();
            return kDuelNone;
        }
    }
    // Looked up now: the program's resources may have been made again since.
    TQVX3Resources* resources = services.Resources ? services.Resources : GameResources.get();
    struct TRestore {
        TQVX3Resources* Resources;
        int Slot;
        ~TRestore() {
            try {
                if (Resources) Resources->SelectScenario(Slot);
            } catch (const std::exception& e) {
                // The scenario broke meanwhile: the next rescan finds it out.
                LogMessage("Scenario " + std::to_string(Slot) + " not selected again after the duel: " + e.what(),
                           lkWarning);
            }
            DuelPeer.reset();
            duelRunning = false;
        }
    } restore{resources, resources ? resources->CurrentSlot() : 0};
    duelRunning = true;
    if (resources) resources->SelectScenario(0);
    ui::TGameRequest request = services.GameRequest();
    request.GameMode = kDuelGame;
    const TDuelGameResult result = services.RunGame(request, *DuelPeer);
    if (!result.ErrorText.empty()) {
        services.Messages->Error(result.ErrorText);
        return kDuelNone;
    }
    raceId = result.RaceId;
    total = result.TotalScore;
    return result.DuelWon;
}

}  // namespace qv::mp
