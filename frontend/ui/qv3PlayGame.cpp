#include "frontend/ui/qv3PlayGame.h"

#include <QCoreApplication>

#include "game/core/qv3GameCore.h"
#include "game/core/qv3GameWindow.h"

namespace qv::ui {

namespace {
TfrmGame* running = nullptr;
IDuelLink* runningDuel = nullptr;
}  // namespace

TGameRunResult RunGameWindow(const TGameRequest& request, IDuelLink* duel) {
    TGameWindowServices services;
    // The front end's own windows keep painting, and a duel peer's messages
    // keep coming, while the game runs; the windows take no user input
    // meanwhile.
    services.Pump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5); };
    services.Core.Duel = duel;
    TfrmGame game(request.GameMode, request.Windowed ? 1 : 0, request.AdapterEntry, request.Mode, request.Value,
                  services);
    running = &game;
    runningDuel = duel;
    struct Clear {
        ~Clear() {
            running = nullptr;
            runningDuel = nullptr;
        }
    } clear;
    TGameRunResult result;
    result.ErrorText = game.ShowModal();
    if (duel && game.Core) {
        result.DuelWon = game.Core->DuelWon;
        result.RaceId = game.Core->DuelRaceId;
        result.TotalScore = game.Core->TotalScore;
    }
    return result;
}

void CloseRunningGame() {
    if (!running) return;
    if (runningDuel) runningDuel->Quit();
    running->CloseWithResult(std::string());
}

}  // namespace qv::ui
