#include "tools/qvgen/Demo.h"

#include <map>

#include "foundation/Exceptions.h"
#include "foundation/Random.h"
#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3LogicSprites.h"
#include "game/logic/qv3ReplayPack.h"
#include "game/data/qv3ScenarioConfig.h"

namespace qv::gen {

namespace {

class TFiles final : public IResourceSource {
public:
    std::map<std::string, std::vector<std::uint8_t>> Files;
    bool HasResource(const std::string& name) const override { return Files.count(name) != 0; }
    std::vector<std::uint8_t> OpenResource(const std::string& name) const override {
        const auto it = Files.find(name);
        if (it == Files.end()) throw EResNotFound(name);
        return it->second;
    }
};

class TNoTexts final : public ITextSource {
public:
    std::string Text(int) override { return {}; }
};

// The height of the free creature nearest the cannons that is still in
// front of them; the middle of the screen when there is none.
std::int32_t Aim(const TGameLogic& logic) {
    float best = -1e9f;
    std::int32_t y = 300;
    for (int list : kCreatureLists) {
        for (const auto& s : logic.SpriteList(list)) {
            const auto& bot = static_cast<const TBotSprite&>(*s);
            if (bot.IsFree() && bot.ScreenX > best && bot.ScreenX < 700) {
                best = bot.ScreenX;
                y = static_cast<std::int32_t>(bot.Y);
            }
        }
    }
    return y;
}

}  // namespace

std::vector<std::uint8_t> RecordDemo(const std::vector<TGeneratedFile>& files, const std::string& environment) {
    TFiles resources;
    for (const TGeneratedFile& f : files) resources.Files[f.Name] = f.Bytes;
    TScenarioConfig config;
    config.Load(environment);
    TNoTexts texts;
    TRandom levelRandom(20260101);
    TRandomSource levelSource(levelRandom);
    TRandom effectRandom(7);
    TLogicServices services;
    services.Resources = &resources;
    services.Config = &config;
    services.Texts = &texts;
    services.LevelRandom = &levelSource;
    services.EffectRandom = &effectRandom;

    TGameLogic logic(services, 1, 0, gmLive);
    // Frames of one to three ticks, as a real frame loop hands them out; a
    // shot every few frames, not a stream of them.
    TRandom frames(99);
    int frame = 0;
    while (!logic.Finished) {
        const std::uint32_t ticks = 1 + frames.Below(3);
        const bool fire = ++frame % 6 == 0;
        logic.LiveInput.AddSample(ticks, Aim(logic), 0, fire, false, {});
        for (std::uint32_t t = 0; t < ticks && !logic.Finished; ++t) logic.Step(true, 1);
    }

    TReplayPack pack;
    pack.AddLevel(logic);
    return pack.ToStream();
}

}  // namespace qv::gen
