// Simulated ticks per second of a whole 90 s level with a busy creature
// list, live (with a simple player aiming at the creature nearest the
// cannons) and replayed from its recorded level stream, and the most sprites
// the level held at once. The target is a whole 9000-tick level in well
// under 100 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
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

namespace qv {
namespace {

using TBytes = std::vector<std::uint8_t>;

class TBenchResources final : public IResourceSource {
public:
    std::map<std::string, TBytes> Files;
    bool HasResource(const std::string& name) const override { return Files.count(name) != 0; }
    TBytes OpenResource(const std::string& name) const override {
        const auto it = Files.find(name);
        if (it == Files.end()) throw EResNotFound(name);
        return it->second;
    }
};

class TBenchTexts final : public ITextSource {
public:
    std::string Text(int line) override { return "text " + std::to_string(line); }
};

class TNoEffects final : public IEffectSink {
public:
    void AddBubble(float, float, float, float, float, float, std::uint32_t) override { ++Count; }
    long Count = 0;
};

// 600 entries over the whole level: every creature type, groups, wobble,
// turns, and a chance of 0.8 each.
TLevelFile BusyLevel() {
    TLevelFile level;
    level.SceneryNumber = 1;
    for (int i = 0; i < 600; ++i) {
        TLevelEntry e;
        // Viruses in one entry of five; the rest nivlets and bubbles.
        e.CreatureType = static_cast<std::uint8_t>(i % 5 == 0 ? (i / 5) % 6 : 6 + i % 10);
        e.HeightFromWord = 1;
        e.SpeedFraction = static_cast<float>(i % 4) * 0.01f;
        e.Probability = 0.8f;
        e.SpreadFraction = 0.01f;
        e.Wobble = i % 3 == 0 ? 0.2f : 0.0f;
        e.BasePosition = 22000 * i / 600;
        e.GroupId = static_cast<std::int16_t>(i % 7 < 3 ? (i / 7) % 20 : -1);
        if (i % 9 == 4) {
            e.Direction = 0.2f;
            e.TargetDirection = -0.2f;
            e.TurnDistance = 300;
        }
        level.Entries.push_back(e);
    }
    return level;
}

struct TBenchWorld {
    TBenchWorld() {
        resources.Files["1.lvl"] = WriteLevelData(BusyLevel());
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
    TBenchResources resources;
    TScenarioConfig config;
    TBenchTexts texts;
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
