// The lobby window's duel: one at a time, started from an accepted
// invitation; the chat and the boxes wait while it runs, its outcome goes to
// the lobby, then what waited is shown in the order it came.
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "multiplayer/lobby/qv3MultiPlayer.h"
#include "multiplayer/qv3RunDuel.h"

namespace qv {

void TfrmMultiPlayer::ShowMessage(const std::string& text) {
    ShowWhenFree([this, text] { services_.ShowMessage(text); });
}

void TfrmMultiPlayer::ShowWhenFree(std::function<void()> show) {
    // A box opened inside the duel's pump would stop that player's duel.
    if (inDuel_) {
        held_.push_back(std::move(show));
        return;
    }
    show();
}

void TfrmMultiPlayer::StartDuel() {
    if (inDuel_ || !client_) return;  // one duel at a time
    DisableAllInvitationLinks();
    inDuel_ = true;
    client_->SetPlaying(1);
    TimerStatusBar->stop();
    TGuid raceId;
    std::int32_t total = 0;
    int result = 0;
    std::string failure;
    try {
        result = services_.RunDuel(this, duelOpponent_, duelAddress_, raceId, total);
    } catch (const std::exception& e) {
        // As a lost connection: the reason shown, no outcome.
        LogMessage(std::string("The duel failed: ") + e.what(), lkWarning);
        failure = e.what();
        result = 0;
    }
    // Each send does nothing when the session was lost meanwhile.
    client_->SetPlaying(0);
    TimerStatusBar->start();
    inDuel_ = false;
    if (!failure.empty()) ShowMessage(LangText(361) + "\r" + failure);
    if (result == mp::kDuelWon) client_->SendDuelResult(duelOpponent_, raceId, true, total);
    if (result == mp::kDuelLost) client_->SendDuelResult(duelOpponent_, raceId, false, total);
    memMessage->setFocus();
    lvPlayers->clearSelection();
    UpdateStatusBar();
    UpdateActions();
    // What waited for the duel to end, in the order it came.
    auto held = std::move(held_);
    held_.clear();
    for (auto& show : held) show();
}

}  // namespace qv
