// The logic sprites on hand-placed creatures: catching, candidates, homing,
// splitting, zigzags, escapes, and the cosmetic sprites.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/qv3Global.h"
#include "game/logic/qv3LogicMath.h"
#include "tests/support/LogicTestSupport.h"

namespace qv {
namespace {

using test::EmptyLevel;
using test::PutAtScreenX;
using test::StepActive;
using test::StillCreature;
using test::TLogicWorld;

struct TScene {
    TScene() : world(EmptyLevel()), logic(world.NewLevel()) {
        logic->Step(true, 1);  // live from here on
    }
    // Placed before it joins its list, so shots judge it where it stands.
    TVirusSprite& Put(const TBotArguments& args, float screenX) {
        auto bot = std::make_unique<TVirusSprite>(*logic, args);
        PutAtScreenX(*bot, *logic, screenX);
        return logic->AddSprite(std::move(bot));
    }
    TVirusSprite& Virus(float screenX, float height, std::int32_t type = 0) {
        return Put(StillCreature(type, height), screenX);
    }
    // Steps until no shot is left (or `limit` ticks).
    void Fly(int limit = 400) {
        for (int t = 0; t < limit; ++t) {
            if (logic->SpriteList(slCondoms).empty() && logic->SpriteList(slTorpedoes).empty()) return;
            logic->Step(true, 1);
        }
        FAIL() << "shots still flying";
    }
    TLogicWorld world;
    std::unique_ptr<TGameLogic> logic;
};

TEST(LogicSprites, ACondomReaches36PixelsAndATorpedo72) {
    struct Case {
        bool torpedo;
        float height;
        bool hit;
    };
    const Case cases[] = {{false, 300, true},  {false, 264, true},  {false, 336, true}, {false, 337, false},
                          {false, 263, false}, {true, 372, true},   {true, 228, true},  {true, 373, false},
                          {true, 227, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.torpedo ? "torpedo " : "condom ") << c.height);
        TScene scene;
        scene.Virus(400, c.height);
        if (c.torpedo)
            scene.logic->AddSprite(std::make_unique<TTorpedoSprite>(*scene.logic, 0));
        else
            scene.logic->AddSprite(std::make_unique<TCondomSprite>(*scene.logic, 0));
        scene.Fly();
        EXPECT_EQ(scene.logic->Statistics.Catches[0], c.hit ? 1 : 0);
        EXPECT_EQ(scene.logic->SpriteList(slViruses).size(), c.torpedo && c.hit ? 0u : 1u);
    }
}

TEST(LogicSprites, CreaturesMadeAfterTheReleaseAreCandidatesAndEachIsTestedOnce) {
    TScene scene;
    TVirusSprite& near = scene.Virus(600, 340);  // out of reach when passed
    auto& condom = scene.logic->AddSprite(std::make_unique<TCondomSprite>(*scene.logic, 0));
    while (!condom.Released) scene.logic->Step(true, 1);
    EXPECT_TRUE(condom.IsCandidate(near));

    TVirusSprite& ahead = scene.Virus(300, 300);
    // A bubble, which costs nothing when it gets past the cannons.
    auto bubble = std::make_unique<TBotBubbleSprite>(*scene.logic, StillCreature(15, 300));
    PutAtScreenX(*bubble, *scene.logic, 800);
    TBotBubbleSprite& behind = scene.logic->AddSprite(std::move(bubble));
    EXPECT_TRUE(condom.IsCandidate(ahead));
    EXPECT_FALSE(condom.IsCandidate(behind));

    while (condom.IsCandidate(near)) scene.logic->Step(true, 1);
    // Passed and dropped: coming into reach afterwards changes nothing.
    near.TrackY = 300;
    scene.Fly();
    EXPECT_TRUE(near.IsFree());
    EXPECT_TRUE(behind.IsFree());
    EXPECT_FALSE(ahead.IsFree());
    EXPECT_EQ(scene.logic->Statistics.Catches[0], 1);
    EXPECT_FALSE(scene.logic->Finished);
}

TEST(LogicSprites, ASeekerTurnsTowardItsTargetAndCatchesIt) {
    TScene scene;
    scene.logic->HandleEvent(evOptionOn, 1);
    TVirusSprite& target = scene.Virus(200, 380);
    auto& condom = scene.logic->AddSprite(std::make_unique<TCondomSprite>(*scene.logic, 0));
    ASSERT_TRUE(condom.Homing);
    while (!scene.logic->SpriteList(slCondoms).empty() && !condom.Target) scene.logic->Step(true, 1);
    ASSERT_EQ(condom.Target, &target);
    EXPECT_EQ(target.Targeted, 1);
    float previous = condom.Angle;
    scene.logic->Step(true, 1);
    EXPECT_LT(condom.Angle, previous) << "the target is below: the shot turns down";
    EXPECT_GE(condom.Angle, static_cast<float>(previous - kLogicPi / 50) - 1e-6f);
    scene.Fly();
    EXPECT_FALSE(target.IsFree());
}

TEST(LogicSprites, ATorpedoKillingASeekersTargetLeavesTheSeekerNothingToFollow) {
    TScene scene;
    scene.logic->HandleEvent(evOptionOn, 1);
    TVirusSprite& target = scene.Virus(400, 300);
    auto& condom = scene.logic->AddSprite(std::make_unique<TCondomSprite>(*scene.logic, 0));
    while (condom.Target != &target) scene.logic->Step(true, 1);
    scene.logic->HandleEvent(evOptionOff, 1);
    scene.logic->HandleEvent(evMoveCannon, 1, 300);
    scene.logic->AddSprite(std::make_unique<TTorpedoSprite>(*scene.logic, 1));
    while (!scene.logic->SpriteList(slViruses).empty()) {
        ASSERT_FALSE(scene.logic->SpriteList(slTorpedoes).empty());
        scene.logic->Step(true, 1);
    }
    EXPECT_EQ(condom.Target, nullptr);
    EXPECT_TRUE(condom.Candidates().empty());
    // A creature made now at the same place is not the old one.
    TVirusSprite& fresh = scene.Virus(300, 380);  // beyond the torpedo's reach
    EXPECT_TRUE(condom.IsCandidate(fresh));
    scene.Fly();
    EXPECT_EQ(scene.logic->Statistics.Catches[0], 2);
}

TEST(LogicSprites, AShotThatEndsLetsGoOfItsTarget) {
    TScene scene;
    scene.logic->HandleEvent(evOptionOn, 1);
    TVirusSprite& target = scene.Virus(150, 250);
    auto& condom = scene.logic->AddSprite(std::make_unique<TCondomSprite>(*scene.logic, 0));
    while (condom.Target != &target) scene.logic->Step(true, 1);
    // Something else right in its path: caught first, and the shot ends.
    scene.Virus(static_cast<float>(condom.ScreenX - 60), condom.Y);
    scene.Fly();
    EXPECT_EQ(scene.logic->Statistics.Catches[0], 1);
    EXPECT_TRUE(target.IsFree());
    EXPECT_EQ(target.Targeted, 0) << "free for the next seeker";
}

TEST(LogicSprites, ANewCreatureStartsAtTheLeftEdgeWithTableVelocityAndTurnsLater) {
    struct Case {
        float direction;
        float target;
    };
    for (const Case c : {Case{0.5f, 0.1f}, Case{-0.5f, 0.0f}}) {
        SCOPED_TRACE(c.direction);
        TScene scene;
        TBotArguments args = StillCreature(0, 300);
        args.Direction = c.direction;
        args.TargetDirection = c.target;
        args.Speed = 0.25f;
        args.TurnDistance = 400;
        auto& bot = scene.logic->AddSprite(std::make_unique<TVirusSprite>(*scene.logic, args));
        EXPECT_NEAR(bot.ScreenX, -42.0f, 1e-3);
        EXPECT_EQ(bot.VelocityX, static_cast<float>(static_cast<double>(DegCos(c.direction)) * 0.25));
        EXPECT_EQ(bot.VelocityY, static_cast<float>(-static_cast<double>(DegSin(c.direction)) * 0.25));
        EXPECT_EQ(bot.Heading, -c.direction);
        EXPECT_EQ(bot.TurnDelay, 160);  // trunc(400 / 0.25) div 10
        StepActive(*scene.logic, 160);
        EXPECT_EQ(bot.Heading, -c.direction);
        scene.logic->Step(true, 1);
        EXPECT_NEAR(bot.Heading, -c.direction + (c.target < c.direction ? 1 : -1) * kLogicPi / 400, 1e-6);
        StepActive(*scene.logic, 200);
        EXPECT_EQ(bot.Heading, -c.target);
        EXPECT_NEAR(bot.VelocityX, LogicCos(-c.target) * 0.25, 1e-7);
    }
}

TEST(LogicSprites, ASplitterLeftAloneSplitsAtAge860IntoTwoOfTheSameGroup) {
    TScene scene;
    TBotArguments args = StillCreature(3, 300);
    args.Speed = 0.2f;
    args.GroupId = 4;
    args.Wobble = 0.1f;
    auto& parent = scene.Put(args, 100);
    const float startX = parent.WorldX;
    while (parent.Age < 500) scene.logic->Step(true, 1);
    EXPECT_NEAR(startX - parent.WorldX, 250 * 0.2, 1e-3) << "the path moves it 250 speed units";
    const float heldX = parent.WorldX;
    while (scene.logic->SpriteList(slViruses).size() == 1) {
        ASSERT_EQ(parent.SplitPhase, 0);
        scene.logic->Step(true, 1);
    }
    EXPECT_EQ(parent.WorldX, heldX);
    EXPECT_EQ(parent.Age, 860.0f);
    EXPECT_EQ(parent.SplitPhase, 1);
    EXPECT_TRUE(scene.logic->SoundFlag(sndSplitting));
    auto& twin = static_cast<TVirusSprite&>(*scene.logic->SpriteList(slViruses).back());
    EXPECT_EQ(twin.CreatureType, 3);
    EXPECT_EQ(twin.SplitPhase, 2);
    EXPECT_EQ(twin.GroupId, 4);
    EXPECT_EQ(twin.Wobble, 0.1f);
    EXPECT_EQ(twin.Age, 851.0f) << "not acted in the pass that made it";
    EXPECT_EQ(twin.WorldX, parent.WorldX);
    EXPECT_EQ(twin.VelocityX, parent.VelocityX);
    EXPECT_EQ(twin.Id, 1);

    // The parent is 9 ms older: it ends its split one tick before the twin.
    while (parent.SplitPhase != 3) scene.logic->Step(true, 1);
    EXPECT_EQ(parent.Age, 1810.0f);
    EXPECT_EQ(parent.TrackY, 300.0f - 59);
    EXPECT_NEAR(heldX - parent.WorldX, 99 * 0.2, 1e-3);
    EXPECT_EQ(parent.ScaleY, 1.0f);
    scene.logic->Step(true, 1);
    EXPECT_EQ(twin.SplitPhase, 3);
    EXPECT_EQ(twin.TrackY, twin.SpawnY + 59);
    EXPECT_NEAR(heldX - twin.WorldX, 149 * 0.2, 1e-3);
    // From here on both move as plain viruses.
    const float before = parent.WorldX;
    scene.logic->Step(true, 1);
    EXPECT_NEAR(before - parent.WorldX, 2.0, 1e-4);
}

TEST(LogicSprites, ACaughtSplitterStopsSplitting) {
    for (float catchAge : {500.0f, 1200.0f}) {
        SCOPED_TRACE(catchAge);
        TScene scene;
        auto& splitter = scene.Virus(100, 300, 3);
        while (splitter.Age < catchAge) scene.logic->Step(true, 1);
        const auto count = scene.logic->SpriteList(slViruses).size();
        auto& condom = scene.logic->AddSprite(std::make_unique<TCondomSprite>(*scene.logic, 0));
        ASSERT_TRUE(scene.logic->HandleEvent(evCatch, 0, 0, &splitter, &condom));
        EXPECT_EQ(splitter.SplitPhase, 3);
        EXPECT_EQ(splitter.ScaleY, 1.0f);
        StepActive(*scene.logic, 150);
        EXPECT_EQ(scene.logic->SpriteList(slViruses).size(), count);
    }
}

TEST(LogicSprites, AZigzagVirusPicksItsSenseFromItsSpawnHeightAtAnyAge) {
    struct Case {
        float age;        // before the tick
        float spawnY;
        float trackY;
        float step;       // pixels per ms after the tick
    };
    // The sense comes from bit (age div 1100) mod 32 of the spawn height;
    // 500 ms that would leave the band 140..510 turn it round.
    const Case cases[] = {
        {590, 300, 300, 0.2f},     // bit 0 of 300 is 0: down
        {590, 301, 300, -0.2f},    // bit 0 set: up
        {1690, 300, 300, 0.2f},    // cycle 1: bit 1 of 300 (256 + 32 + 8 + 4) is 0
        {2790, 300, 300, -0.2f},   // cycle 2: bit 2 is set
        {35790, 300, 300, 0.2f},   // age div 1100 = 32: bit 0 again
        {35790, 301, 300, -0.2f},
        {590, 300, 480, -0.2f},    // down would leave the band
        {590, 301, 150, 0.2f},     // up would leave it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "age " << c.age << " spawn " << c.spawnY << " track " << c.trackY);
        TScene scene;
        auto& virus = scene.Virus(300, c.trackY, 5);
        virus.Age = c.age;
        virus.SpawnY = c.spawnY;
        scene.logic->Step(true, 1);
        EXPECT_EQ(virus.ZigzagStep, c.step);
        EXPECT_EQ(virus.TrackY, c.trackY + c.step * 10);
    }
}

TEST(LogicSprites, ANivletThatEscapesSaysSoOnceAndLeaves890UnitsLater) {
    for (bool caught : {false, true}) {
        SCOPED_TRACE(caught);
        TScene scene;
        auto& nivlet = scene.logic->AddSprite(std::make_unique<TNivletSprite>(*scene.logic, 0, StillCreature(6, 300)));
        PutAtScreenX(nivlet, *scene.logic, 790);
        if (caught) {
            auto& condom = scene.logic->AddSprite(std::make_unique<TCondomSprite>(*scene.logic, 0));
            ASSERT_TRUE(scene.logic->HandleEvent(evCatch, 0, 0, &nivlet, &condom));
        }
        int sounds = 0;
        float escapedAt = -1;
        float removedAt = -1;
        for (int t = 0; t < 2000 && removedAt < 0; ++t) {
            scene.logic->Step(true, 1);
            sounds += scene.logic->SoundFlag(sndNivletOut) ? 1 : 0;
            if (escapedAt < 0 && !scene.logic->SpriteList(slNivlets).empty() && nivlet.Escaped)
                escapedAt = scene.logic->ScrollOffset;
            if (scene.logic->SpriteList(slNivlets).empty()) removedAt = scene.logic->ScrollOffset;
        }
        EXPECT_EQ(sounds, caught ? 0 : 1);
        ASSERT_GE(escapedAt, 0);
        ASSERT_GE(removedAt, 0);
        if (!caught) {
            EXPECT_NEAR(removedAt - escapedAt, 890.3, 2.5);
        }
        EXPECT_FALSE(scene.logic->Finished) << "a nivlet that gets away costs nothing";
    }
}

TEST(LogicSprites, FlagsReenterAtARandomHeightAndCrossTheScreen) {
    TLogicWorld world(EmptyLevel());
    auto logic = world.NewLevel();
    logic->Step(false, 1);
    for (int i = 0; i < 2; ++i) {
        const auto& flag = static_cast<const TFlagSprite&>(*logic->SpriteList(slFlags)[static_cast<std::size_t>(i)]);
        EXPECT_EQ(flag.X, -150.0f);
        EXPECT_GE(flag.Y, 0.0f);
        EXPECT_LT(flag.Y, 600.0f);
    }
    for (int t = 0; t < 100; ++t) logic->Step(false, 1);
    const auto& slow = static_cast<const TFlagSprite&>(*logic->SpriteList(slFlags)[0]);
    const auto& fast = static_cast<const TFlagSprite&>(*logic->SpriteList(slFlags)[1]);
    EXPECT_NEAR(slow.X, -150 + 100 * 1.0, 1e-3);
    EXPECT_NEAR(fast.X, -150 + 100 * 1.5, 1e-3);
    EXPECT_EQ(slow.Frame, 20 % 12);
    EXPECT_EQ(fast.Frame, 22 % 12);
}

TEST(LogicSprites, ScoreTextsFloatUpFadeAndGo) {
    TLogicWorld world(EmptyLevel());
    auto logic = world.NewLevel();
    logic->AddScore(120, 100, 200, false);
    logic->Step(false, 1);
    const auto& score = static_cast<const TScoreSprite&>(*logic->SpriteList(slScores)[0]);
    EXPECT_NEAR(score.Y, 200 - 0.5, 1e-4);
    EXPECT_NEAR(score.X, 100 + std::cos(10 * kLogicPi / 200) * 15, 1e-4);
    for (int t = 0; t < 59; ++t) logic->Step(false, 1);
    EXPECT_NEAR(score.Alpha, 1 - 100 / 300.0, 1e-5);
    for (int t = 0; t < 19; ++t) logic->Step(false, 1);
    EXPECT_EQ(logic->SpriteList(slScores).size(), 1u);
    logic->Step(false, 1);
    EXPECT_TRUE(logic->SpriteList(slScores).empty()) << "gone at 800 ms";
}

}  // namespace
}  // namespace qv
