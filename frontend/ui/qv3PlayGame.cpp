#include "frontend/ui/qv3PlayGame.h"

#include <QCoreApplication>

#include "game/core/qv3GameWindow.h"

namespace qv::ui {

namespace {
TfrmGame* running = nullptr;
}

std::string RunGameWindow(const TGameRequest& request) {
    TGameWindowServices services;
    // The front end's own windows keep painting while the game runs; they
    // take no user input meanwhile.
    services.Pump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5); };
    TfrmGame game(request.GameMode, request.Windowed ? 1 : 0, request.AdapterEntry, request.Mode, request.Value,
                  services);
    running = &game;
    struct Clear {
        ~Clear() { running = nullptr; }
    } clear;
    return game.ShowModal();
}

void CloseRunningGame() {
    if (running) running->CloseWithResult(std::string());
}

}  // namespace qv::ui
