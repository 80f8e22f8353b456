#include "tests/support/LogicTestSupport.h"

#include <algorithm>
#include <cstdio>

#include "foundation/BinaryIO.h"
#include "foundation/Exceptions.h"
#include "game/data/qv3Input.h"
#include "tests/support/ScenarioFixture.h"

namespace qv::test {

bool TMapResources::HasResource(const std::string& name) const { return Files.count(name) != 0; }

TBytes TMapResources::OpenResource(const std::string& name) const {
    const auto it = Files.find(name);
    if (it == Files.end()) throw EResNotFound("Resource " + name + " not found");
    return it->second;
}

TLevelEntry Entry(std::uint8_t type, std::int32_t position, float height, float speed) {
    TLevelEntry e;
    e.CreatureType = type;
    e.HeightFraction = height;
    e.SpeedFraction = speed;
    e.Probability = 1.0f;
    e.BasePosition = position;
    e.GroupId = -1;
    return e;
}

TLevelFile EmptyLevel() {
    TLevelFile level;
    level.SceneryNumber = 1;
    return level;
}

TLevelFile BusyLevel(int entries, std::int32_t span) {
    TLevelFile level = EmptyLevel();
    for (int i = 0; i < entries; ++i) {
        TLevelEntry e = Entry(static_cast<std::uint8_t>((i * 7) % 16), span * i / std::max(entries, 1));
        e.HeightFromWord = i % 3 != 0;
        e.HeightFraction = static_cast<float>(i % 10) / 10.0f;
        e.SpeedFraction = static_cast<float>(i % 5) * 0.02f;
        e.Probability = i % 4 == 3 ? 0.6f : 1.0f;
        e.SpreadFraction = 0.02f;
        if (i % 5 < 3) e.GroupId = static_cast<std::int16_t>((i / 5) % 6);
        if (i % 6 == 1) e.Wobble = 0.3f;
        if (i % 8 == 2) {
            e.Direction = 0.3f;
            e.TargetDirection = -0.25f;
            e.TurnDistance = 400;
        }
        level.Entries.push_back(e);
    }
    return level;
}

TLevelFile CrowdedLevel() {
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

TBotArguments StillCreature(std::int32_t type, float height) {
    TBotArguments args;
    args.CreatureType = type;
    args.Height = height;
    return args;
}

void PutAtScreenX(TBotSprite& bot, const TGameLogic& logic, float screenX) {
    bot.WorldX = static_cast<float>(static_cast<double>(logic.ScrollOffset) - static_cast<double>(screenX) * 2.9);
    bot.ScreenX = screenX;
}

void StepActive(TGameLogic& logic, int ticks) {
    for (int t = 0; t < ticks; ++t) logic.Step(true, 1);
}

namespace {

TScenarioFixture ScenarioOf(const TLevelFile& level, std::int32_t levelLength) {
    TScenarioFixture scenario;
    scenario.Level = level;
    scenario.EnvironmentLines = {"LevelLength=" + std::to_string(levelLength), "ScoreBonusColor=$FFFFFF00"};
    return scenario;
}

}  // namespace

TLogicWorld::TLogicWorld(const TLevelFile& level, std::int32_t levelLength, std::uint64_t seed) : levelRandom(seed) {
    const TScenarioFixture scenario = ScenarioOf(level, levelLength);
    for (const auto& [name, bytes] : scenario.Resources()) resources.Files[name] = bytes;
    const TBytes& env = resources.Files.at("environment.txt");
    config.Load(std::string_view(reinterpret_cast<const char*>(env.data()), env.size()));
}

void TLogicWorld::SetLevel(const TLevelFile& level) { resources.Files["1.lvl"] = WriteLevelData(level); }

TLogicServices TLogicWorld::Services() {
    TLogicServices services;
    services.Resources = &resources;
    services.Config = &config;
    services.Texts = &texts;
    services.Effects = &effects;
    services.LevelRandom = &levelSource;
    services.EffectRandom = &effectRandom;
    return services;
}

std::unique_ptr<TGameLogic> TLogicWorld::NewLevel(std::uint8_t mode, std::int32_t startScore, std::int32_t levelNumber) {
    return std::make_unique<TGameLogic>(Services(), levelNumber, startScore, mode);
}

std::unique_ptr<TGameLogic> TLogicWorld::FromRecord(const TBytes& stream, std::uint8_t mode) {
    return TGameLogic::CreateFromRecord(Services(), mode, stream);
}

TInputRecord TFrame::Record() const {
    return PackInputRecord(Ticks, MouseY, Direction, Clicked, Space, {Torpedo, Seeker});
}

std::vector<TFrame> RandomScript(std::uint64_t seed, int frames) {
    TRandom r(seed);
    std::vector<TFrame> script;
    std::int32_t y = 300;
    std::uint32_t direction = 0;
    bool space = false;
    for (int i = 0; i < frames; ++i) {
        TFrame f;
        f.Ticks = r.Below(5) == 0 ? 1 + r.Below(10) : 1 + r.Below(3);
        y = std::clamp(y + r.Between(-40, 40), 0, 620);
        f.MouseY = y;
        f.Clicked = r.Below(100) < 12;
        if (r.Below(10) == 0) direction = r.Below(3);
        f.Direction = direction;
        if (r.Below(7) == 0) space = !space;
        f.Space = space;
        f.Torpedo = r.Below(1000) < 8;
        f.Seeker = r.Below(1000) < 8;
        script.push_back(f);
    }
    return script;
}

std::uint64_t TRunResult::Chain() const {
    TStateHash chain;
    for (std::uint64_t h : Hashes) chain.Add(h);
    return chain.Value();
}

std::string TRunResult::Describe() const {
    char text[160];
    std::snprintf(text, sizeof text, "score=%d end=%d finished=%d won=%d ticks=%zu chain=%016llx stats=", Score, EndTime,
                  Finished ? 1 : 0, Won ? 1 : 0, Hashes.size(), static_cast<unsigned long long>(Chain()));
    std::string line = text;
    TBinaryWriter stats;
    Statistics.Write(stats);
    for (std::uint8_t b : stats.Data()) {
        std::snprintf(text, sizeof text, "%02x", b);
        line += text;
    }
    return line;
}

TRunResult ResultOf(const TGameLogic& logic) {
    TRunResult result;
    result.Score = logic.Score;
    result.EndTime = logic.LogicTime;
    result.Finished = logic.Finished;
    result.Won = logic.Won;
    result.Statistics = logic.Statistics;
    return result;
}

namespace {

void ActiveTick(TGameLogic& logic, std::vector<std::uint64_t>& hashes, bool& done) {
    logic.Step(true, 1);
    if (done) return;
    hashes.push_back(logic.StateHash());
    done = logic.Finished;
}

}  // namespace

TRunResult PlayLive(TGameLogic& logic, const std::vector<TFrame>& intro, const std::vector<TFrame>& script,
                    bool goLiveInsideFrame) {
    for (const TFrame& frame : intro) {
        logic.LiveInput.Add(frame.Record());
        for (std::uint32_t t = 0; t < frame.Ticks; ++t) logic.Step(false, 1);
    }
    std::vector<std::uint64_t> hashes;
    bool done = false;
    std::size_t next = 0;
    if (goLiveInsideFrame && !script.empty()) {
        logic.LiveInput.Add(script[0].Record());
        logic.Step(false, 1);
        logic.LiveInput.Clear();
        for (std::uint32_t t = 1; t < script[0].Ticks; ++t) ActiveTick(logic, hashes, done);
        next = 1;
    } else {
        logic.LiveInput.Clear();
    }
    for (; next < script.size() && !logic.Finished; ++next) {
        logic.LiveInput.Add(script[next].Record());
        for (std::uint32_t t = 0; t < script[next].Ticks; ++t) ActiveTick(logic, hashes, done);
    }
    TRunResult result = ResultOf(logic);
    result.Hashes = std::move(hashes);
    return result;
}

TRunResult PlayBack(TGameLogic& logic, int introTicks, int maxTicks) {
    for (int t = 0; t < introTicks; ++t) logic.Step(false, 1);
    std::vector<std::uint64_t> hashes;
    bool done = false;
    for (int t = 0; t < maxTicks && !logic.Finished; ++t) ActiveTick(logic, hashes, done);
    TRunResult result = ResultOf(logic);
    result.Hashes = std::move(hashes);
    return result;
}

}  // namespace qv::test
