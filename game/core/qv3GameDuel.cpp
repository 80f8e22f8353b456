// The core's side of a duel: the menu waits for the opponent, the host makes
// and sends the duel level, both sides exchange live status and results
// while playing, and the two results decide the outcome.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <numbers>
#include <string>

#include "foundation/Exceptions.h"
#include "foundation/qv3Language.h"
#include "game/assets/qv3Graphics.h"
#include "game/assets/qv3Sounds.h"
#include "game/core/qv3GameCore.h"
#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3LogicSprites.h"
#include "media/zkD3DQuadRenderer.h"
#include "platform/session/Guid.h"

namespace qv {

void TGameCore::StartDuelHost() {
    {
        const auto level = NewLogic(kGameLevel, 100, gmDuel);
        DuelStream = level->WriteRecord();
    }
    try {
        DuelRaceId = NewGuid().ToWireBytes();
    } catch (const std::exception&) {
        throw Exception("Error generating race id");
    }
    if (services_.Duel) services_.Duel->SendGameStart(DuelRaceId, DuelStream);
}

void TGameCore::DuelMenuCheck() {
    IDuelLink* duel = services_.Duel;
    if (!duel) {
        ErrorText = "Connection lost";
        MenuAction = TMenuAction::Exit;
        return;
    }
    const TDuelView view = duel->View();
    switch (view.Phase) {
        case TDuelPhase::Waiting:
        case TDuelPhase::StartSent:
            return;
        case TDuelPhase::Finished:
        case TDuelPhase::Closed:
            ErrorText = view.CloseReasonText;
            MenuAction = TMenuAction::Exit;
            return;
        default:
            break;
    }
    if (!view.IsHost) {
        // The joining side plays the level the host sent, once it said so.
        if (view.Phase != TDuelPhase::LevelReceived) return;
        DuelStream = duel->ReceivedLevel();
        DuelRaceId = view.RaceId;
        duel->SendReady();
    }
    MenuAction = TMenuAction::DuelStart;
}

void TGameCore::DuelTick() {
    IDuelLink* duel = services_.Duel;
    if (!duel || !Logic) return;
    TDuelView view = duel->View();
    if (view.Phase == TDuelPhase::Running) {
        const std::int32_t time = Logic->LogicTime;
        if (view.OpponentResult == -1 || view.OpponentResult >= time) {
            if (Logic->Finished && view.OwnResult == -1) {
                duel->SendResult(time);
            } else {
                const bool fired = Logic->SoundFlag(sndShoot) || Logic->SoundFlag(sndShootSeekCondom) ||
                                   Logic->SoundFlag(sndTorpedo);
                duel->SendStatus(Logic->Score, static_cast<std::int32_t>(Logic->Cannon(0).Height), fired);
            }
        } else if (view.OwnResult == -1) {
            // The opponent is out already and this side still plays: it outlived them.
            duel->SendResult(time);
        }
        view = duel->View();
        if (view.Phase == TDuelPhase::Running) return;
    }
    Outcome = TOutcome::Close;
    if (!view.CloseReasonText.empty()) {
        DuelWon = 0;
        OutcomeText = view.CloseReasonText;
    } else if (view.OwnResult < view.OpponentResult) {
        DuelWon = 1;
        OutcomeText = LangText(364);
    } else if (view.OpponentResult < view.OwnResult) {
        DuelWon = 2;
        OutcomeText = LangText(363);
    } else {
        DuelWon = 3;
        OutcomeText = LangText(365);
    }
    SetState(TCoreState::Result);
}

void TGameCore::QuitDuel() {
    // Closing the session flushes the quit message; no wait is needed here.
    if (services_.Duel) services_.Duel->Quit();
    CloseGame();
}

void TGameCore::DrawDuelOpponent() {
    if (!services_.Duel) return;
    const TDuelView view = services_.Duel->View();
    const float since = static_cast<float>(std::min<std::uint32_t>(view.OpponentEventAge, 600));
    const float alpha = 1.0f - 0.3f * since / 600.0f;
    const auto colours = FadeColours(nullptr, alpha);
    std::array<std::uint32_t, 4> drawn = CornerColourValues;
    for (std::size_t c = 0; c < 4; ++c) drawn[c] = (colours[c] & 0xFF000000u) | (drawn[c] & 0x00FFFFFFu);
    if (TzkD3DSprite* s = Graphics->FixedSprite(8))
        s->Draw(nullptr, {750, static_cast<float>(view.OpponentCannonY)}, std::numbers::pi_v<float>, drawn.data());
}

void TGameCore::DrawDuelScore() {
    if (!services_.Duel) return;
    const std::uint32_t pink[4] = {0xFFFFA0A0u, 0xFFFFA0A0u, 0xFFFFA0A0u, 0xFFFFA0A0u};
    Graphics->DrawText(LangText(336), {400, 25}, 2, pink, 0.6f, 2);
    Graphics->DrawText(std::to_string(services_.Duel->View().OpponentScore), {400, 65}, 2, pink, 1, 2);
}

}  // namespace qv
