// The built-in scenario's demo replays to the end of its level with the
// pack's own resources, and the generator makes the same demo every run.
#include <gtest/gtest.h>

#include <map>

#include "foundation/Exceptions.h"
#include "foundation/Random.h"
#include "game/logic/qv3GameLogic.h"
#include "game/logic/qv3ReplayPack.h"
#include "game/data/qv3ScenarioConfig.h"
#include "platform/resources/ResourceContainer.h"
#include "tests/support/TempDir.h"
#include "tools/qvgen/Demo.h"

namespace qv {
namespace {

class TPackScenario final : public IResourceSource {
public:
    TPackScenario(const sys::TResourceContainer& pack, std::string type) : pack_(pack), type_(std::move(type)) {}
    bool HasResource(const std::string& name) const override { return pack_.Has(type_, name); }
    std::vector<std::uint8_t> OpenResource(const std::string& name) const override {
        auto bytes = pack_.Read(type_, name);
        if (!bytes) throw EResNotFound(name);
        return *bytes;
    }

private:
    const sys::TResourceContainer& pack_;
    std::string type_;
};

class NoTexts final : public ITextSource {
public:
    std::string Text(int) override { return {}; }
};

TEST(DemoTest, TheBuiltInDemoReplaysItsWholeFirstLevel) {
    const auto pack = sys::TResourceContainer::OpenFile(test::BinaryDir() + "quorvex.dat");
    ASSERT_TRUE(pack);
    TPackScenario scenario(*pack, "SCENARIO1");
    ASSERT_TRUE(scenario.HasResource(kDemoReplayResource));
    const TReplayPack demo = TReplayPack::FromStream(scenario.OpenResource(kDemoReplayResource));
    ASSERT_EQ(demo.LevelCount(), 1);

    const auto environment = scenario.OpenResource("environment.txt");
    TScenarioConfig config;
    config.Load(std::string_view(reinterpret_cast<const char*>(environment.data()), environment.size()));
    NoTexts texts;
    TRandom effects(1);
    TLogicServices services;
    services.Resources = &scenario;
    services.Config = &config;
    services.Texts = &texts;
    services.EffectRandom = &effects;
    auto logic = TGameLogic::CreateFromRecord(services, gmReplay, demo.GetLevel(1));
    int ticks = 0;
    while (!logic->Finished && ticks < 200000) {
        logic->Step(true, 1);
        ++ticks;
    }
    EXPECT_TRUE(logic->Finished);
    // A level of play: more than ten seconds of it, with catches scored.
    EXPECT_GT(ticks, 1000);
    EXPECT_GT(logic->Score, 0);
}

TEST(DemoTest, TheSameScenarioGivesTheSameDemo) {
    const auto pack = sys::TResourceContainer::OpenFile(test::BinaryDir() + "quorvex.dat");
    ASSERT_TRUE(pack);
    std::vector<gen::TGeneratedFile> files;
    for (const char* name : {"1.lvl", "1.scn", "decor.bnd"}) {
        auto bytes = pack->Read("SCENARIO1", name);
        ASSERT_TRUE(bytes) << name;
        files.push_back({name, *bytes});
    }
    const auto env = pack->Read("SCENARIO1", "environment.txt");
    ASSERT_TRUE(env);
    const std::string environment(env->begin(), env->end());
    const auto first = gen::RecordDemo(files, environment);
    EXPECT_EQ(first, gen::RecordDemo(files, environment));
    EXPECT_EQ(first, *pack->Read("SCENARIO1", kDemoReplayResource));
}

}  // namespace
}  // namespace qv
