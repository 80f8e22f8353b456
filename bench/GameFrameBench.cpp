// Frame time of the game at the busiest moment of level 1: the core's
// DoFrame with two ticks (input sample, logic, scene, sounds) and the whole
// frame drawn by the GL renderer of SDL's offscreen video driver, with the
// program's own content (quorvex.dat beside this program). The level is
// played with a fixed seed and a fixed script of clicks, so every run meets
// the same moment.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/core/qv3GameCore.h"
#include "game/logic/qv3GameLogic.h"
#include "game/assets/qv3Resources.h"
#include "media/zkD3D.h"
#include "media/zkDisplayMode.h"
#include "platform/system/Clock.h"

namespace {

using namespace qv;

struct TBenchGame {
    TBenchGame() {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        // Replays and the like go to a folder of the benchmark's own.
        const auto scratch = std::filesystem::temp_directory_path() / "quorvex-bench-game-frame";
        std::filesystem::create_directories(scratch);
        UserDataDir = scratch.string() + "/";
        CommonDataDir = UserDataDir;
        const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        const std::string pack = (folder / "quorvex.dat").string();
        if (!std::filesystem::exists(pack)) return;
        resources = std::make_unique<TQVX3Resources>((folder / "no-packages/").string(), pack);
        resources->SelectScenario(0);
        d3d = std::make_unique<TzkD3D8>();
        d3d->EnumerateAdapters();
        TzkD3DDeviceInfo* info = d3d->Adapters(0)->Devices(0);
        TzkD3DMode mode;
        if (!FindDisplayMode(info, kDisplayWindow, mode)) return;
        device = std::make_unique<TzkD3Device8>(info, nullptr, nullptr, true, mode);
        settings = std::make_unique<TEnvironmentRecord>();
        settings->Detail = 1;
        TGameCoreServices services;
        services.Resources = resources.get();
        services.Settings = settings.get();
        services.SaveSettings = [] {};
        services.Random = &random;
        services.LevelRandom = &levelRandom;
        services.Clock = &clock;
        core = std::make_unique<TGameCore>(nullptr, kSingleGame, device.get(), nullptr, nullptr, -1, services);
        core->InitGame();
        ready = core->Initialized;
        if (ready) busiest = FindBusiest();
    }

    // Starts level 1 again and plays it to logic time `until`.
    void Restart(std::int32_t until) {
        random.Seed(1);
        levelRandom.Seed(2);
        core->StartGame(TStartKind::Menu);
        core->StartGame(TStartKind::Game);
        frame = 0;
        while (core->State == TCoreState::Playing && (core->PlayPhase != TPlayPhase::Live || core->Logic->LogicTime < until)) Frame();
    }
    void Frame() {
        if (++frame % 4 == 0) core->Click();
        core->DoFrame(2);
    }
    static int Crowd(const TGameLogic& logic) {
        int n = 0;
        for (int list = 0; list < kSpriteListCount; ++list) n += static_cast<int>(logic.SpriteList(list).size());
        return n;
    }
    std::int32_t FindBusiest() {
        Restart(0);
        int most = -1;
        std::int32_t at = 0;
        while (core->State == TCoreState::Playing) {
            Frame();
            if (core->State == TCoreState::Playing && core->PlayPhase == TPlayPhase::Live && Crowd(*core->Logic) > most) {
                most = Crowd(*core->Logic);
                at = core->Logic->LogicTime;
            }
        }
        crowd = most;
        return at;
    }

    std::unique_ptr<TQVX3Resources> resources;
    std::unique_ptr<TzkD3D8> d3d;
    std::unique_ptr<TzkD3Device8> device;
    std::unique_ptr<TEnvironmentRecord> settings;
    TRandom random{1};
    TRandom levelRandom{2};
    sys::TManualClock clock;
    std::unique_ptr<TGameCore> core;
    bool ready = false;
    std::int32_t busiest = 0;
    int crowd = 0;
    int frame = 0;
};

void BM_BusiestFrameOfLevel1(benchmark::State& state) {
    static TBenchGame game;
    if (!game.ready) {
        state.SkipWithError("the program's content (quorvex.dat) is not beside this program");
        return;
    }
    // Frames from 200 ms before the busiest moment to 200 ms after it.
    int left = 0;
    for (auto _ : state) {
        if (left == 0) {
            state.PauseTiming();
            game.Restart(game.busiest - 200);
            left = 20;
            state.ResumeTiming();
        }
        game.Frame();
        --left;
    }
    state.counters["sprites"] = game.crowd;
    state.counters["at_ms"] = game.busiest;
}
BENCHMARK(BM_BusiestFrameOfLevel1)->Unit(benchmark::kMillisecond);

}  // namespace
