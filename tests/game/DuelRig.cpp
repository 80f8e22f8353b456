#include "tests/game/DuelRig.h"

#include "foundation/qv3Global.h"
#include "platform/system/Files.h"
#include "tests/game/GameContent.h"
#include "tests/support/LogicTestSupport.h"

namespace qv::test {

TDuelCoreRig::TDuelCoreRig(IDuelLink* duel) {
    savedUserDir_ = UserDataDir;
    UserDataDir = dir_.Path();
    WriteGameContent(dir_ / "quorvex.dat", BusyLevel(60, 4000), false);
    sys::CreateDirectories(dir_ / "packages");
    resources_ = std::make_unique<TQVX3Resources>(dir_ / "packages/", dir_ / "quorvex.dat");
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
    core_ = std::make_unique<TGameCore>(nullptr, kDuelGame, rig_.Device.get(), nullptr, nullptr, -1, services);
    core_->OnClose = [this](const std::string& text) { closed_.push_back(text); };
    // The pictures and sounds are not needed to run the rules.
    core_->Initialized = true;
}

TDuelCoreRig::~TDuelCoreRig() {
    core_.reset();
    UserDataDir = savedUserDir_;
}

void TDuelCoreRig::Frame(int ticks) {
    Clock.AdvanceMilliseconds(10 * ticks);
    core_->DoFrame(ticks);
}

}  // namespace qv::test
