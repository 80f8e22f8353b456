// Simulated ticks per second of a whole 90 s level with a busy creature
// list, live (with a simple player aiming at the creature nearest the
// cannons) and replayed from its recorded level stream, and the most sprites
// the level held at once. The target is a whole 9000-tick level in well
// under 100 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/Random.h"
#include "game/logic/qv3GameLogic.h"
#include "game/data/qv3LevelData.h"
#include "game/data/qv3ScenarioConfig.h"
#include "game/data/qv3ScenarioData.h"
#include "game/data/qv3SpriteBoundaries.h"
#include "tests/support/LogicTestSupport.h"

namespace qv {
namespace {

using TBytes = std::vector<std::uint8_t>;

class TNoEffects final : public IEffectSink {
public:
    void AddBubble(float, float, float, float, float, float, std::uint32_t) override { ++Count; }
    long Count = 0;
};

struct TBenchWorld {
    TBenchWorld() {
        resources.Files["1.lvl"] = WriteLevelData(test::CrowdedLevel());
        TSceneryFile scenery;
        scenery.Backgrounds = {TBackgroundEntry{0, {}}, TBackgroundEntry{1, {}}};
        for (int i = 0; i < 40; ++i) {
            TDecorItem item;
            item.SpriteId = i % 2;
            item.X = 150 * i;
            item.Y = 100 + (i * 37) % 400;
            scenery.Layers[static_cast<std::size_t>(i % 2)].push_back(item);
        }
        resources.Files["1.scn"] = WriteScenarioData(scenery);
        const std::vector<TSpriteBoundary> sprites = {{0, 0, 0, 120, 80}, {1, 0, 0, 60, 200}};
        resources.Files["decor.bnd"] = WriteSpriteBoundaries(0, sprites);
    }
    TLogicServices Services() {
        TLogicServices s;
        s.Resources = &resources;
        s.Config = &config;
        s.Texts = &texts;
        s.Effects = &effects;
        s.LevelRandom = &levelSource;
        s.EffectRandom = &effectRandom;
        return s;
    }
    test::TMapResources resources;
    TScenarioConfig config;
    test::TFakeTexts texts;
    TNoEffects effects;
    TRandom levelRandom{2024};
    TRandomSource levelSource{levelRandom};
    TRandom effectRandom{7};
};

int SpriteCount(const TGameLogic& logic) {
    int n = 0;
    for (int list = 0; list < kSpriteListCount; ++list) n += static_cast<int>(logic.SpriteList(list).size());
    return n;
}

// The free creature nearest the cannons: where the mouse goes.
std::int32_t Aim(const TGameLogic& logic) {
    float best = -1e9f;
    std::int32_t y = 300;
    for (int list : kCreatureLists) {
        for (const auto& s : logic.SpriteList(list)) {
            const auto& bot = static_cast<const TBotSprite&>(*s);
            if (bot.IsFree() && bot.ScreenX > best && bot.ScreenX < 760) {
                best = bot.ScreenX;
                y = static_cast<std::int32_t>(bot.Y);
            }
        }
    }
    return y;
}

// A live level in frames of one to three ticks, the mouse on the nearest
// creature and clicking. Returns the recorded stream.
TBytes PlayLevel(TBenchWorld& world, int& peak, int& ticks) {
    world.levelRandom.Seed(2024);
    TGameLogic logic(world.Services(), 1, 0, gmLive);
    TRandom frames(99);
    peak = 0;
    ticks = 0;
    while (!logic.Finished) {
        const std::uint32_t n = 1 + frames.Below(3);
        logic.LiveInput.AddSample(n, Aim(logic), 0, true, false, {});
        for (std::uint32_t t = 0; t < n; ++t) {
            logic.Step(true, 1);
            ++ticks;
        }
        peak = std::max(peak, SpriteCount(logic));
    }
    return logic.WriteRecord();
}

void BM_LiveLevel(benchmark::State& state) {
    TBenchWorld world;
    int peak = 0;
    int ticks = 0;
    std::int64_t total = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlayLevel(world, peak, ticks));
        total += ticks;
    }
    state.counters["ticks_per_s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
    state.counters["level_ticks"] = ticks;
    state.counters["peak_sprites"] = peak;
}
BENCHMARK(BM_LiveLevel)->Unit(benchmark::kMillisecond);

void BM_ReplayLevel(benchmark::State& state) {
    TBenchWorld world;
    int peak = 0;
    int liveTicks = 0;
    const TBytes stream = PlayLevel(world, peak, liveTicks);
    std::int64_t total = 0;
    int ticks = 0;
    int replayPeak = 0;
    for (auto _ : state) {
        auto logic = TGameLogic::CreateFromRecord(world.Services(), gmReplay, stream);
        ticks = 0;
        replayPeak = 0;
        while (!logic->Finished) {
            logic->Step(true, 1);
            ++ticks;
            replayPeak = std::max(replayPeak, SpriteCount(*logic));
        }
        total += ticks;
    }
    state.counters["ticks_per_s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
    state.counters["level_ticks"] = ticks;
    state.counters["peak_sprites"] = replayPeak;
}
BENCHMARK(BM_ReplayLevel)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv
