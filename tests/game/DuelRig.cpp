#include "tests/game/DuelRig.h"

#include <SDL.h>

#include "foundation/qv3Global.h"
#include "platform/system/Files.h"
#include "tests/game/GameContent.h"
#include "tests/support/LogicTestSupport.h"

namespace qv::test {

namespace {

void PushWindowEvent(win::TGameWindow& window, SDL_Event& e) {
    e.window.windowID = window.WindowId();
    SDL_PushEvent(&e);
    window.ProcessMessages();
}

}  // namespace

TDuelCoreRig::TDuelCoreRig(IDuelLink* duel, bool withWindow, const std::string& pack) {
    if (withWindow) {
        window_ = std::make_unique<win::TGameWindow>();
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
        PushWindowEvent(*window_, e);
    }
    savedUserDir_ = UserDataDir;
    UserDataDir = dir_.Path();
    if (pack.empty()) WriteGameContent(dir_ / "quorvex.dat", BusyLevel(60, 4000), false);
    sys::CreateDirectories(dir_ / "packages");
    resources_ = std::make_unique<TQVX3Resources>(dir_ / "packages/", pack.empty() ? dir_ / "quorvex.dat" : pack);
    resources_->SelectScenario(kContentSlot);
    settings_ = std::make_unique<TEnvironmentRecord>();
    settings_->PlayerAlias = "PLAYER";
    TGameCoreServices services;
    services.Resources = resources_.get();
    services.Settings = settings_.get();
    services.SaveSettings = [] {};
    services.ResetScenarioProgress = [] {};
    services.Random = &random_;
    services.LevelRandom = &levelRandom_;
    services.Clock = &Clock;
    services.SnapshotFolder = dir_.Path();
    services.Duel = duel;
    core_ = std::make_unique<TGameCore>(window_.get(), kDuelGame, rig_.Device.get(), nullptr, nullptr, -1, services);
    core_->OnClose = [this](const std::string& text) { closed_.push_back(text); };
    // The pictures and sounds are not needed to run the rules.
    core_->Initialized = true;
}

TDuelCoreRig::~TDuelCoreRig() {
    core_.reset();
    window_.reset();
    UserDataDir = savedUserDir_;
}

void TDuelCoreRig::MoveMouse(int y) {
    if (!window_) return;
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = window_->WindowId();
    e.motion.x = 400;
    e.motion.y = y;
    SDL_PushEvent(&e);
    window_->ProcessMessages();
}

void TDuelCoreRig::Frame(int ticks) {
    Clock.AdvanceMilliseconds(10 * ticks);
    core_->DoFrame(ticks);
}

}  // namespace qv::test
