// Levels made by code and the harness that steps them headless: resources
// from memory, fake texts, a recording effect sink, seeded generators, and
// drivers that play a level the way the game core does (intro ticks, then
// live frames of 1..10 ticks) or replay a recorded one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Random.h"
#include "game/logic/qv3GameLogic.h"
#include "game/data/qv3LevelData.h"
#include "game/data/qv3RandomSource.h"
#include "game/data/qv3ResourceSource.h"
#include "game/data/qv3ScenarioConfig.h"
#include "game/data/qv3ScenarioData.h"
#include "game/data/qv3SpriteBoundaries.h"

namespace qv::test {

using TBytes = std::vector<std::uint8_t>;

class TMapResources final : public IResourceSource {
public:
    std::map<std::string, TBytes> Files;
    bool HasResource(const std::string& name) const override;
    TBytes OpenResource(const std::string& name) const override;
};

// "T<line>".
class TFakeTexts final : public ITextSource {
public:
    std::string Text(int line) override { return "T" + std::to_string(line); }
};

struct TBubble {
    float X, Y, Scale, Wobble, Direction, Speed;
    std::uint32_t Colour;
};

class TRecordingEffects final : public IEffectSink {
public:
    std::vector<TBubble> Bubbles;
    void AddBubble(float x, float y, float scale, float wobble, float direction, float speed,
                   std::uint32_t colour) override {
        Bubbles.push_back({x, y, scale, wobble, direction, speed, colour});
    }
};

// A level entry with everything fixed: it occurs, at `position`, at height
// fraction `height` of its type's band.
TLevelEntry Entry(std::uint8_t type, std::int32_t position, float height = 0.5f, float speed = 0.0f);
// No entries.
TLevelFile EmptyLevel();
// Many creatures of every kind over the first `span` units of the level:
// groups, splitters, zigzags, bubbles, turning and wobbling ones, chance.
TLevelFile BusyLevel(int entries, std::int32_t span);
// 600 entries over a whole 90 s level: every creature type, groups, wobble,
// turns, and a chance of 0.8 each (scenery 1).
TLevelFile CrowdedLevel();

// A creature of `type` that stands still in the world at `height`.
TBotArguments StillCreature(std::int32_t type, float height);
// Moves a creature to screen x `screenX` (its reference point).
void PutAtScreenX(TBotSprite& bot, const TGameLogic& logic, float screenX);
// Active ticks, each with an optional fresh record of one tick.
void StepActive(TGameLogic& logic, int ticks);

// One scenario in memory and the services of a logic over it.
struct TLogicWorld {
    explicit TLogicWorld(const TLevelFile& level, std::int32_t levelLength = 90000, std::uint64_t seed = 1);
    TLogicWorld(const TLogicWorld&) = delete;
    TLogicWorld& operator=(const TLogicWorld&) = delete;

    // Replaces "1.lvl".
    void SetLevel(const TLevelFile& level);
    TLogicServices Services();
    std::unique_ptr<TGameLogic> NewLevel(std::uint8_t mode = gmLive, std::int32_t startScore = 0,
                                         std::int32_t levelNumber = 1);
    std::unique_ptr<TGameLogic> FromRecord(const TBytes& stream, std::uint8_t mode = gmReplay);
    // The scenario as files (1.lvl, 1.scn, decor.bnd, environment.txt).
    const std::map<std::string, TBytes>& Files() const { return resources.Files; }

    TMapResources resources;
    TScenarioConfig config;
    TFakeTexts texts;
    TRecordingEffects effects;
    TRandom levelRandom;
    TRandomSource levelSource{levelRandom};
    TRandom effectRandom{77};
};

// One frame's input record.
struct TFrame {
    std::uint32_t Ticks = 1;
    std::int32_t MouseY = 300;
    std::uint32_t Direction = 0;
    bool Clicked = false;
    bool Space = false;
    bool Torpedo = false;
    bool Seeker = false;
    TInputRecord Record() const;
};

// Frames a player might give: the mouse wandering, clicks, keys held for a
// while, Space, now and then an option toggle.
std::vector<TFrame> RandomScript(std::uint64_t seed, int frames);

// What a run of a level gives, for comparing a live level with its replay.
struct TRunResult {
    std::int32_t Score = 0;
    std::int32_t EndTime = 0;
    bool Finished = false;
    bool Won = false;
    TGameStatistics Statistics;
    // StateHash after each active tick up to the one that finished the level.
    std::vector<std::uint64_t> Hashes;
    std::uint64_t Chain() const;
    std::string Describe() const;
};

// Plays `introFrames` frames inactive with their input (as the intro does),
// then live: the live list cleared, one frame record before each frame's
// ticks, until the level finishes (the frame is run to its end) or the
// script runs out. With `goLiveInsideFrame` the switch to live happens after
// the first tick of a frame whose record was already taken, as a game core
// sampling before the switch would do.
TRunResult PlayLive(TGameLogic& logic, const std::vector<TFrame>& intro, const std::vector<TFrame>& script,
                    bool goLiveInsideFrame = false);
// Runs `introTicks` inactive ticks, then active ticks until the level
// finishes (at most `maxTicks`).
TRunResult PlayBack(TGameLogic& logic, int introTicks, int maxTicks = 1000000);
// The run's result as it stands (no hashes).
TRunResult ResultOf(const TGameLogic& logic);

}  // namespace qv::test
