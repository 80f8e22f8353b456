// Frame time of the game at the busiest moment of level 1: the core's
// DoFrame with two ticks (input sample, logic, scene, sounds) and the whole
// frame drawn by the GL renderer of SDL's offscreen video driver, with the
// program's own content (quorvex.dat beside this program). The level is
// played with a fixed seed and a fixed script of clicks, so every run meets
// the same moment.
//
// BM_LoudestSecondOfPlay: the share of output samples at full scale in the
// loudest second of play, the sound layer mixed frame by frame as the game
// runs (20 shots in 6 s of live play, the game's music and effects at the
// default volumes).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/core/qv3GameCore.h"
#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3LogicSprites.h"
#include "game/assets/qv3Resources.h"
#include "media/zkD3D.h"
#include "media/zkDSound.h"
#include "media/zkDisplayMode.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/DirectSound.h"
#include "platform/system/Clock.h"
#include "platform/window/GameWindow.h"

namespace {

using namespace qv;

struct TBenchGame {
    // `withSound`: the core plays through a sound device whose output the
    // caller mixes (`output`).
    explicit TBenchGame(bool withSound = false) {
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
        if (withSound) {
            Environment.SetDefaults(0, 1);
            auto backend = std::make_unique<audio::TNullAudioBackend>();
            output = backend.get();
            sound = std::make_unique<TzkDSound>(nullptr, audio::DSSCL_PRIORITY, nullptr, std::move(backend));
        }
        if (withSound) {
            // A window of its own, for the cursor the shots aim with.
            window = std::make_unique<win::TGameWindow>();
            SDL_Event e;
            SDL_zero(e);
            e.type = SDL_WINDOWEVENT;
            e.window.windowID = window->WindowId();
            e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
            SDL_PushEvent(&e);
            window->ProcessMessages();
        }
        core = std::make_unique<TGameCore>(window.get(), kSingleGame, device.get(), sound.get(), nullptr, -1, services);
        core->InitGame();
        ready = core->Initialized;
        if (ready && !withSound) busiest = FindBusiest();
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
    // Moves the cursor to the creature nearest to the cannons.
    void Aim() {
        float best = -1, y = 300;
        for (int list : {slViruses, slNivlets, slBubbles})
            for (const auto& sprite : core->Logic->SpriteList(list)) {
                const auto* bot = dynamic_cast<const TBotSprite*>(sprite.get());
                if (bot && bot->IsFree() && bot->ScreenX > best && bot->ScreenX < 700) {
                    best = bot->ScreenX;
                    y = bot->ScreenY;
                }
            }
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = window->WindowId();
        e.motion.x = 400;
        e.motion.y = static_cast<int>(y);
        SDL_PushEvent(&e);
        window->ProcessMessages();
    }

    std::unique_ptr<win::TGameWindow> window;
    audio::TNullAudioBackend* output = nullptr;
    std::unique_ptr<TzkDSound> sound;
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

void BM_LoudestSecondOfPlay(benchmark::State& state) {
    static TBenchGame game(true);
    if (!game.ready || !game.output || !game.output->IsOpen()) {
        state.SkipWithError("no content beside this program, or no sound output");
        return;
    }
    const std::size_t perFrame = game.output->Rate() / 50;  // a frame is 20 ms of game time
    const std::size_t perSecond = std::size_t{game.output->Rate()} * game.output->Channels();
    double loudest = 0, peak = 0;
    for (auto _ : state) {
        game.random.Seed(1);
        game.levelRandom.Seed(2);
        game.core->StartGame(TStartKind::Menu);
        game.core->StartGame(TStartKind::Game);
        std::vector<std::int16_t> mixed;
        int live = 0;
        // 20 shots in the first 6 s of live play, then 2 s more.
        while (game.core->State == TCoreState::Playing && live < 400) {
            if (game.core->PlayPhase == TPlayPhase::Live) {
                game.Aim();
                if (live % 15 == 0 && live < 300) game.core->Click();
                ++live;
            }
            game.core->DoFrame(2);
            game.sound->ResumeStreams();
            game.output->Render(perFrame);
            if (live > 0) mixed.insert(mixed.end(), game.output->LastOutput().begin(), game.output->LastOutput().end());
        }
        for (std::size_t from = 0; from + perSecond <= mixed.size(); from += perSecond / 10) {
            std::size_t full = 0;
            for (std::size_t i = from; i < from + perSecond; ++i) {
                full += mixed[i] == 32767 || mixed[i] == -32768;
                peak = std::max(peak, std::abs(static_cast<double>(mixed[i])));
            }
            loudest = std::max(loudest, static_cast<double>(full) / static_cast<double>(perSecond));
        }
    }
    state.counters["full_scale_pct"] = loudest * 100.0;
    state.counters["peak"] = peak;
}
BENCHMARK(BM_LoudestSecondOfPlay)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
