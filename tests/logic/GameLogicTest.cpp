// The rules of a level through Step: set-up, the level clock and scroll,
// input, shots, catching and scoring, and the ends of a level.
#include <gtest/gtest.h>

#include <cmath>

#include "game/data/qv3DataError.h"
#include "game/logic/qv3LogicCreatures.h"
#include "game/logic/qv3LogicMath.h"
#include "game/data/qv3RecordedLevel.h"
#include "tests/support/LogicTestSupport.h"

namespace qv {
namespace {

using test::EmptyLevel;
using test::Entry;
using test::StepActive;
using test::TFrame;
using test::TLogicWorld;

// Gives one frame record and runs its ticks live.
void Frame(TGameLogic& logic, const TFrame& frame) {
    logic.LiveInput.Add(frame.Record());
    for (std::uint32_t t = 0; t < frame.Ticks; ++t) logic.Step(true, 1);
}

TFrame Mouse(std::int32_t y, bool click = false, std::uint32_t ticks = 1) {
    TFrame f;
    f.Ticks = ticks;
    f.MouseY = y;
    f.Clicked = click;
    return f;
}

TEST(GameLogic, SetupMakesFlagsOptionsAndCannons) {
    TLogicWorld world(EmptyLevel());
    auto logic = world.NewLevel(gmLive, 1234);
    EXPECT_EQ(logic->Score, 1234);
    EXPECT_EQ(logic->StartScore, 1234);
    EXPECT_EQ(logic->Cannon1LastUse, -15001);
    EXPECT_FALSE(logic->Cannon1Active());
    EXPECT_EQ(logic->ScrollSpeed, static_cast<float>(0.2485));
    EXPECT_EQ(logic->PathExtent, 100.0f);
    ASSERT_EQ(logic->SpriteList(slFlags).size(), 2u);
    ASSERT_EQ(logic->SpriteList(slOptions).size(), 2u);
    ASSERT_EQ(logic->SpriteList(slCannons).size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(logic->Cannon(i).Id, i);
        EXPECT_EQ(logic->Cannon(i).Height, 300.0f);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(logic->Option(i).Charges, 3);
        EXPECT_FALSE(logic->Option(i).On);
    }
    EXPECT_EQ(logic->Statistics, TGameStatistics{});
}

TEST(GameLogic, ALevelOf90SecondsSlowsFrom79000StandsAt81000AndEndsAt90000) {
    TLogicWorld world(EmptyLevel(), 90000);
    auto logic = world.NewLevel();
    const float start = logic->ScrollSpeed;
    float offsetAtStandstill = -1;
    int bonusesSeen = 0;
    while (logic->LogicTime < 90000) {
        logic->Step(true, 1);
        const std::int32_t t = logic->LogicTime;
        if (t < 79000) {
            ASSERT_EQ(logic->ScrollSpeed, start) << t;
        }
        if (t == 79000) {
            EXPECT_NEAR(logic->ScrollSpeed, 0.2485 - 0.00062125, 1e-7);
        }
        if (t == 80990) {
            EXPECT_NEAR(logic->ScrollSpeed, 0.12425, 1e-5);
        }
        if (t == 81000) {
            EXPECT_EQ(logic->ScrollSpeed, 0.0f);
            offsetAtStandstill = logic->ScrollOffset;
        }
        if (t > 81000) {
            ASSERT_EQ(logic->ScrollOffset, offsetAtStandstill) << t;
        }
        if (t < 90000) {
            ASSERT_FALSE(logic->Finished) << t;
        }
        bonusesSeen += logic->SpriteList(slBonuses).empty() ? 0 : 1;
    }
    EXPECT_EQ(bonusesSeen, 1);
    EXPECT_TRUE(logic->Finished);
    EXPECT_TRUE(logic->Won);
    EXPECT_EQ(logic->Score, 10000);
    EXPECT_EQ(logic->Statistics.LevelsWon, 1);
    ASSERT_EQ(logic->SpriteList(slBonuses).size(), 1u);
    const auto& bonus = static_cast<const TBonusSprite&>(*logic->SpriteList(slBonuses)[0]);
    EXPECT_EQ(bonus.Text, "T348 10000");
    EXPECT_EQ(bonus.X, 400.0f);
    EXPECT_EQ(bonus.Y, 300.0f);

    // Once finished, no time passes and the bonus is not given again.
    StepActive(*logic, 200);
    EXPECT_EQ(logic->LogicTime, 90000);
    EXPECT_EQ(logic->Score, 10000);
    EXPECT_EQ(logic->Statistics.LevelsWon, 1);
    TGameStatistics expected;
    expected.LevelsWon = 1;
    EXPECT_EQ(logic->Statistics, expected);
    EXPECT_EQ(logic->TickCount, 9000 + 200);
}

TEST(GameLogic, OnlyLevelLengthsOfZeroOrLessAreRefusedAndOnlyByAPlayedLevel) {
    struct Case {
        std::int32_t length;
        std::uint8_t mode;
        std::int32_t level;
        bool accepted;
    };
    for (const Case c : {Case{0, gmLive, kGameLevel, false}, Case{-90000, gmReplay, kGameLevel, false},
                         Case{1, gmLive, kGameLevel, true}, Case{10000, gmLive, kGameLevel, true},
                         Case{10999, gmReplay, kGameLevel, true}, Case{0, gmDuel, kGameLevel, true},
                         Case{0, gmLive, kAttractLevel, true}, Case{-5, gmLive, kNameEntryLevel, true}}) {
        TLogicWorld world(EmptyLevel(), c.length);
        world.resources.Files["1001.lvl"] = world.Files().at("1.lvl");
        world.resources.Files["1002.lvl"] = world.Files().at("1.lvl");
        if (c.accepted) {
            EXPECT_NO_THROW(world.NewLevel(c.mode, 0, c.level)) << c.length << " " << c.level;
        } else {
            EXPECT_THROW(world.NewLevel(c.mode, 0, c.level), EDataError) << c.length << " " << c.level;
        }
    }
}

TEST(GameLogic, ALevelOf10SecondsSlowsFromItsFirstTickStandsAt1000AndEndsAt10000) {
    TLogicWorld world(EmptyLevel(), 10000);
    auto logic = world.NewLevel();
    float last = logic->ScrollSpeed;
    while (!logic->Finished) {
        logic->Step(true, 1);
        if (logic->LogicTime < 1000) {
            ASSERT_LT(logic->ScrollSpeed, last) << logic->LogicTime;
        } else {
            ASSERT_EQ(logic->ScrollSpeed, 0.0f) << logic->LogicTime;
        }
        last = logic->ScrollSpeed;
    }
    EXPECT_EQ(logic->LogicTime, 10000);
    EXPECT_TRUE(logic->Won);
    EXPECT_EQ(logic->Score, 10000);
}

TEST(GameLogic, AShortLevelSlowsAtOnceAndEndsOnTime) {
    TLogicWorld world(EmptyLevel(), 11000);
    auto logic = world.NewLevel();
    logic->Step(true, 1);
    EXPECT_LT(logic->ScrollSpeed, static_cast<float>(0.2485));
    StepActive(*logic, 1098);
    EXPECT_FALSE(logic->Finished);
    logic->Step(true, 1);
    EXPECT_EQ(logic->LogicTime, 11000);
    EXPECT_TRUE(logic->Won);
}

TEST(GameLogic, ADuelShotNeedsTheScoreToPayForIt) {
    struct Case {
        std::uint8_t mode;
        std::int32_t score;
        bool torpedo;
        int condoms;
        int torpedoes;
        std::int32_t scoreAfter;
        int sound;
    };
    const Case cases[] = {
        {gmDuel, 49, false, 0, 0, 49, sndNoShoot},  {gmDuel, 50, false, 1, 0, 0, sndShoot},
        {gmDuel, 99, true, 0, 0, 99, sndNoShoot},   {gmDuel, 100, true, 0, 1, 0, sndTorpedo},
        {gmLive, 0, false, 1, 0, -50, sndShoot},    {gmLive, 20, true, 0, 1, -80, sndTorpedo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " score " << c.score << " torpedo " << c.torpedo);
        TLogicWorld world(EmptyLevel());
        auto logic = world.NewLevel(c.mode, c.score);
        TFrame first = Mouse(300);
        first.Torpedo = c.torpedo;
        Frame(*logic, first);
        EXPECT_EQ(logic->Option(0).On, c.torpedo);
        Frame(*logic, Mouse(300, true));
        EXPECT_TRUE(logic->SoundFlag(c.sound));
        EXPECT_EQ(logic->Cannon(0).Counter, 3000) << "the cannon reloads even without a shot";
        EXPECT_EQ(static_cast<int>(logic->SpriteList(slCondoms).size()), c.condoms);
        EXPECT_EQ(static_cast<int>(logic->SpriteList(slTorpedoes).size()), c.torpedoes);
        EXPECT_EQ(logic->Statistics.CondomsFired, c.condoms);
        EXPECT_EQ(logic->Statistics.TorpedoesFired, c.torpedoes);
        EXPECT_EQ(logic->Score, c.scoreAfter);
    }
}

TEST(GameLogic, TheKeyboardCannonMovesSlowlyThenFastAndItsMirrorFollows) {
    struct Case {
        std::uint32_t ticks;      // per record
        std::uint32_t direction;  // 1 up, 2 down
        int records;
        int slow;
        int fast;
        int firstFast;  // 1-based record that moves fast
    };
    // d is 10 ms per tick of the previous record, at most 100: slow steps
    // trunc(d x 0.35), fast steps trunc(d x 0.6) once held over 200 ms.
    const Case cases[] = {
        {1, 2, 30, 3, 6, 22}, {2, 2, 15, 7, 12, 12}, {10, 2, 5, 35, 60, 4}, {20, 2, 5, 35, 60, 4},
        {1, 1, 25, -3, -6, 22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ticks << " ticks per record, direction " << c.direction);
        TLogicWorld world(EmptyLevel());
        auto logic = world.NewLevel();
        Frame(*logic, Mouse(300));
        EXPECT_FALSE(logic->Cannon1Active());
        int expected = 300;
        for (int k = 1; k <= c.records; ++k) {
            TFrame f = Mouse(300, false, c.ticks);
            f.Direction = c.direction;
            Frame(*logic, f);
            // The first record comes 10 ms after the plain one, and a new
            // direction always starts slowly.
            if (k == 1)
                expected += c.direction == 1 ? -3 : 3;
            else
                expected += k >= c.firstFast ? c.fast : c.slow;
            ASSERT_EQ(logic->Cannon(1).Height, static_cast<float>(expected)) << "record " << k;
            ASSERT_EQ(logic->Cannon(3).Height, static_cast<float>(600 - expected)) << "record " << k;
        }
        EXPECT_TRUE(logic->Cannon1Active());
        EXPECT_EQ(logic->Cannon(0).Height, 300.0f);
    }
}

TEST(GameLogic, CannonHeightsStayWithin50And550) {
    TLogicWorld world(EmptyLevel());
    auto logic = world.NewLevel();
    Frame(*logic, Mouse(1023));
    EXPECT_EQ(logic->Cannon(0).Height, 550.0f);
    EXPECT_EQ(logic->Cannon(2).Height, 50.0f);
    Frame(*logic, Mouse(0));
    EXPECT_EQ(logic->Cannon(0).Height, 50.0f);
    EXPECT_EQ(logic->Cannon(2).Height, 550.0f);
    for (int k = 0; k < 200; ++k) {
        TFrame f = Mouse(0, false, 10);
        f.Direction = 2;
        Frame(*logic, f);
    }
    EXPECT_EQ(logic->Cannon(1).Height, 550.0f);
    EXPECT_EQ(logic->Cannon(3).Height, 50.0f);
}

TEST(GameLogic, TheKeyboardCannonStaysActiveFor15SecondsAfterItsLastUse) {
    TLogicWorld world(EmptyLevel());
    auto logic = world.NewLevel();
    Frame(*logic, Mouse(300));
    TFrame press = Mouse(300);
    press.Space = false;
    Frame(*logic, press);  // Space seen released
    press.Space = true;
    Frame(*logic, press);
    const std::int32_t used = logic->Cannon1LastUse;
    EXPECT_EQ(used, logic->LogicTime - 10);
    while (logic->LogicTime - 15000 < used) {
        ASSERT_TRUE(logic->Cannon1Active());
        logic->Step(true, 1);
    }
    EXPECT_FALSE(logic->Cannon1Active());
    logic->Step(true, 1);
    EXPECT_FALSE(logic->Cannon(1).Active);
}

TEST(GameLogic, SpaceFiresOncePerPressAndAClickOncePerRecord) {
    TLogicWorld world(EmptyLevel());
    auto logic = world.NewLevel();
    // Frames of 10 ticks, so the cannon is always reloaded.
    auto space = [&](bool down) {
        TFrame f = Mouse(300, false, 10);
        f.Space = down;
        Frame(*logic, f);
    };
    space(true);  // held when live play starts: not a press
    space(true);
    EXPECT_EQ(logic->Statistics.CondomsFired, 0);
    space(false);
    for (int i = 0; i < 5; ++i) space(true);
    EXPECT_EQ(logic->Statistics.CondomsFired, 1);
    space(false);
    space(true);
    EXPECT_EQ(logic->Statistics.CondomsFired, 2);
    ASSERT_FALSE(logic->SpriteList(slCondoms).empty());
    EXPECT_EQ(static_cast<const TShotSprite&>(*logic->SpriteList(slCondoms).back()).CannonIndex, 1);

    Frame(*logic, Mouse(300, true, 10));
    EXPECT_EQ(logic->Statistics.CondomsFired, 3);
    EXPECT_EQ(static_cast<const TShotSprite&>(*logic->SpriteList(slCondoms).back()).CannonIndex, 0);
}

TEST(GameLogic, TogglesSwitchOptionsOnlyDuringLivePlayAndShotsUseCharges) {
    TLogicWorld world(EmptyLevel());
    auto logic = world.NewLevel();
    TFrame t = Mouse(300);
    t.Torpedo = true;
    t.Seeker = true;
    logic->LiveInput.Add(t.Record());
    logic->Step(false, 1);
    EXPECT_FALSE(logic->Option(0).On);
    EXPECT_FALSE(logic->Option(1).On);

    logic->LiveInput.Add(t.Record());
    logic->Step(true, 1);
    EXPECT_TRUE(logic->Option(0).On);
    EXPECT_TRUE(logic->Option(1).On);
    EXPECT_TRUE(logic->SoundFlag(sndActivateTorpedo));
    EXPECT_TRUE(logic->SoundFlag(sndActivateSeeker));
    EXPECT_EQ(logic->Option(0).Percentage, 100);

    const int percent[] = {66, 33, 0};
    for (int shot = 0; shot < 3; ++shot) {
        Frame(*logic, Mouse(300, true));
        EXPECT_TRUE(logic->SoundFlag(sndTorpedo));
        EXPECT_EQ(logic->SoundFlag(sndActivateTorpedo), shot == 2) << "switched off with its last charge";
        EXPECT_EQ(logic->Option(0).Charges, 2 - shot);
        EXPECT_EQ(logic->Option(1).Charges, 2 - shot);
        EXPECT_EQ(logic->Option(0).Percentage, percent[shot]);
        Frame(*logic, Mouse(300, false, 9));
    }
    EXPECT_FALSE(logic->Option(0).On);
    EXPECT_FALSE(logic->Option(1).On);
    EXPECT_EQ(logic->Statistics.TorpedoesFired, 3);
    const auto& torpedo = static_cast<const TShotSprite&>(*logic->SpriteList(slTorpedoes).back());
    EXPECT_TRUE(torpedo.Homing);

    // Without charges an option does not switch on.
    Frame(*logic, t);
    EXPECT_FALSE(logic->Option(0).On);
    Frame(*logic, Mouse(300, true));
    EXPECT_TRUE(logic->SoundFlag(sndShoot));
}

TEST(GameLogic, AClickBeforeLivePlayOnTheGameLevelSaysNoShoot) {
    for (std::int32_t level : {kGameLevel, kNameEntryLevel}) {
        TLogicWorld world(EmptyLevel());
        world.resources.Files["1002.lvl"] = WriteLevelData(EmptyLevel());
        auto logic = world.NewLevel(gmLive, 0, level);
        logic->LiveInput.Add(Mouse(300, true).Record());
        logic->Step(false, 1);
        EXPECT_EQ(logic->SoundFlag(sndNoShoot), level == kGameLevel) << level;
        EXPECT_EQ(logic->LogicTime, 0);
        EXPECT_TRUE(logic->SpriteList(slCondoms).empty());
    }
}

TEST(GameLogic, TheAttractLevelOnlyScrollsItsScenery) {
    TLogicWorld world(EmptyLevel());
    world.resources.Files["1001.lvl"] = WriteLevelData(EmptyLevel());
    auto logic = world.NewLevel(gmLive, 0, kAttractLevel);
    for (int t = 0; t < 10; ++t) logic->Step(false, 1);
    EXPECT_EQ(logic->Scenery().Position(), 5.0f);
    EXPECT_EQ(logic->LogicTime, 0);
    EXPECT_EQ(logic->ScrollOffset, 0.0f);
}

// A creature standing at screen x `x`, and a condom to catch it with.
struct TCatchScene {
    explicit TCatchScene(const TLevelFile& level = EmptyLevel()) : world(level) { logic = world.NewLevel(); }
    TVirusSprite& Virus(float x, std::int32_t type = 0) {
        auto& v = logic->AddSprite(std::make_unique<TVirusSprite>(*logic, test::StillCreature(type, 300)));
        test::PutAtScreenX(v, *logic, x);
        return v;
    }
    TCondomSprite& Condom() { return logic->AddSprite(std::make_unique<TCondomSprite>(*logic, 0)); }
    TLogicWorld world;
    std::unique_ptr<TGameLogic> logic;
};

TEST(GameLogic, EarlyCatchesAddHalfThePointsAgainInTheBonusColour) {
    struct Case {
        float x;
        bool early;
        bool sprites;
    };
    for (const Case c : {Case{150, true, true}, Case{199.5f, true, true}, Case{200, false, true},
                         Case{600, false, true}, Case{-10, true, false}}) {
        SCOPED_TRACE(c.x);
        TCatchScene scene;
        TVirusSprite& virus = scene.Virus(c.x);
        TCondomSprite& condom = scene.Condom();
        ASSERT_TRUE(scene.logic->HandleEvent(evCatch, 0, 0, &virus, &condom));
        EXPECT_EQ(scene.logic->Score, c.early ? 180 : 120);
        EXPECT_EQ(scene.logic->Statistics.Catches[0], 1);
        EXPECT_EQ(scene.logic->Statistics.EarlyCatches[0], c.early ? 1 : 0);
        EXPECT_EQ(scene.logic->SoundFlag(sndEarlyCatch), c.early);
        EXPECT_TRUE(scene.logic->SoundFlag(sndFirstCatch + 0));
        EXPECT_EQ(virus.CatchProgress, 0.2f);
        const auto& scores = scene.logic->SpriteList(slScores);
        ASSERT_EQ(scores.size(), c.sprites ? (c.early ? 2u : 1u) : 0u);
        if (!c.sprites) continue;
        const auto& points = static_cast<const TScoreSprite&>(*scores[0]);
        EXPECT_EQ(points.Points, 120);
        EXPECT_EQ(points.StartX, static_cast<std::int32_t>(c.x));
        EXPECT_EQ(points.StartY, 300);
        EXPECT_EQ(points.Colors[0], 0xFFFFFFFFu);
        if (c.early) {
            const auto& bonus = static_cast<const TScoreSprite&>(*scores[1]);
            EXPECT_EQ(bonus.Points, 60);
            EXPECT_EQ(bonus.StartY, 330);
            EXPECT_EQ(bonus.Colors[0], 0xFFFFFF00u);
        }
    }
}

TEST(GameLogic, ACaughtCreatureCannotBeCaughtAgainAndNothingIsCaughtOnceFinished) {
    TCatchScene scene;
    TVirusSprite& virus = scene.Virus(400);
    TCondomSprite& condom = scene.Condom();
    EXPECT_TRUE(scene.logic->HandleEvent(evCatch, 0, 0, &virus, &condom));
    EXPECT_FALSE(scene.logic->HandleEvent(evCatch, 0, 0, &virus, &condom));
    EXPECT_FALSE(scene.logic->HandleEvent(evDestroy, 0, 0, &virus, nullptr));
    EXPECT_EQ(scene.logic->Score, 120);
    EXPECT_EQ(scene.logic->Statistics.Catches[0], 1);
    EXPECT_EQ(scene.logic->SpriteList(slViruses).size(), 1u);

    TVirusSprite& other = scene.Virus(400, 2);
    scene.logic->Finished = true;
    EXPECT_FALSE(scene.logic->HandleEvent(evCatch, 0, 0, &other, &condom));
    EXPECT_FALSE(scene.logic->HandleEvent(evDestroy, 0, 0, &other, nullptr));
    EXPECT_EQ(scene.logic->Statistics.Catches[2], 0);
}

TEST(GameLogic, ATorpedoKillCountsAsACatchAndRemovesTheCreature) {
    TCatchScene scene;
    TVirusSprite& virus = scene.Virus(400, 4);
    EXPECT_TRUE(scene.logic->HandleEvent(evDestroy, 0, 0, &virus, nullptr));
    EXPECT_TRUE(scene.logic->SpriteList(slViruses).empty());
    EXPECT_TRUE(scene.logic->SoundFlag(sndTorpedoDestroy));
    EXPECT_FALSE(scene.logic->SoundFlag(sndFirstCatch + 4));
    EXPECT_EQ(scene.logic->Statistics.Catches[4], 1);
    EXPECT_EQ(scene.logic->Score, 150);
}

TEST(GameLogic, CompletingAGroupGives1000Points) {
    TLevelFile level = EmptyLevel();
    for (std::uint8_t type : {0, 6, 15}) {
        TLevelEntry e = Entry(type, 0);
        e.GroupId = 2;
        level.Entries.push_back(e);
    }
    TCatchScene scene(level);
    scene.logic->Step(true, 1);
    std::vector<TBotSprite*> members;
    for (int list : kCreatureLists)
        for (const auto& s : scene.logic->SpriteList(list)) members.push_back(static_cast<TBotSprite*>(s.get()));
    ASSERT_EQ(members.size(), 3u);
    TCondomSprite& condom = scene.Condom();
    std::int32_t expected = 0;
    for (std::size_t i = 0; i < members.size(); ++i) {
        members[i]->ScreenX = 500;
        ASSERT_TRUE(scene.logic->HandleEvent(evCatch, 0, 0, members[i], &condom));
        expected += LogicCreatureType(members[i]->CreatureType).Points;
        const bool last = i + 1 == members.size();
        if (last) expected += 1000;
        EXPECT_EQ(scene.logic->Score, expected) << i;
        EXPECT_EQ(scene.logic->Statistics.GroupBonuses, last ? 1 : 0);
        EXPECT_EQ(scene.logic->SoundFlag(sndAttack), last);
    }
    ASSERT_EQ(scene.logic->SpriteList(slBonuses).size(), 1u);
    EXPECT_EQ(static_cast<const TBonusSprite&>(*scene.logic->SpriteList(slBonuses)[0]).Text, "T349 1000");
    EXPECT_EQ(scene.logic->SpriteList(slScores).size(), 3u) << "the group bonus shows no score sprite";
}

TEST(GameLogic, AFreeVirusThatEscapesLosesTheLevelInABurstOfBubbles) {
    TCatchScene scene;
    scene.Virus(842.5f);  // escapes past 800 + 42
    scene.logic->Step(true, 1);
    EXPECT_TRUE(scene.logic->Finished);
    EXPECT_FALSE(scene.logic->Won);
    EXPECT_TRUE(scene.logic->SoundFlag(sndBubbleExplosion));
    const auto& bubbles = scene.world.effects.Bubbles;
    ASSERT_EQ(bubbles.size(), 101u);
    for (const test::TBubble& b : bubbles) {
        EXPECT_GE(b.X, 800.0f);
        EXPECT_LT(b.X, 850.0f);
        EXPECT_GE(b.Y, 275.0f);
        EXPECT_LE(b.Y, 325.0f);
        EXPECT_GE(b.Scale, 0.1f);
        EXPECT_LE(b.Scale, 0.25f);
        EXPECT_GE(b.Direction, static_cast<float>(kLogicPi / 2));
        EXPECT_LE(b.Direction, static_cast<float>(1.5 * kLogicPi));
        EXPECT_GE(b.Speed, 10.0f);
        EXPECT_LE(b.Speed, 30.0f);
        EXPECT_EQ(b.Wobble, 0.0f);
        EXPECT_EQ(b.Colour, 0xFFFFFFFFu);
    }
    const std::int32_t end = scene.logic->LogicTime;
    StepActive(*scene.logic, 50);
    EXPECT_EQ(scene.logic->LogicTime, end);
    EXPECT_EQ(scene.world.effects.Bubbles.size(), 101u) << "reported once";
}

TEST(GameLogic, ACaughtVirusPassingTheEdgeDoesNotEndTheLevel) {
    TCatchScene scene;
    TVirusSprite& virus = scene.Virus(835);
    ASSERT_TRUE(scene.logic->HandleEvent(evCatch, 0, 0, &virus, &scene.Condom()));
    StepActive(*scene.logic, 20);
    EXPECT_FALSE(scene.logic->Finished);
    EXPECT_EQ(scene.logic->SpriteList(slViruses).size(), 1u);
    // Gone once it lies 3059.5 world units behind the scroll.
    for (int t = 0; t < 2000 && !scene.logic->SpriteList(slViruses).empty(); ++t) {
        const auto& v = static_cast<const TVirusSprite&>(*scene.logic->SpriteList(slViruses)[0]);
        const double behind = static_cast<double>(scene.logic->ScrollOffset) - v.WorldX;
        scene.logic->Step(true, 1);
        if (!scene.logic->SpriteList(slViruses).empty()) {
            ASSERT_LT(behind, 3059.5);
        }
    }
    EXPECT_TRUE(scene.logic->SpriteList(slViruses).empty());
}

TEST(GameLogic, ADuelLevelLoopsFasterButAnEmptyOneNeverLoops) {
    {
        TLogicWorld world(EmptyLevel());
        auto logic = world.NewLevel(gmDuel, 100);
        StepActive(*logic, 500);
        EXPECT_EQ(logic->ScrollSpeed, static_cast<float>(0.2485));
        EXPECT_FALSE(logic->Finished);
        EXPECT_EQ(logic->LogicTime, 5000);
    }
    {
        TLevelFile level = EmptyLevel();
        level.Entries.push_back(Entry(8, 0));
        TLogicWorld world(level);
        auto logic = world.NewLevel(gmDuel, 100);
        StepActive(*logic, 3);
        EXPECT_NEAR(logic->ScrollSpeed, 0.2485 + 0.9, 1e-5);
        EXPECT_EQ(logic->SpriteList(slNivlets).size(), 3u);
    }
}

TEST(GameLogic, AReplayEndsOnceItsClockReachesTheRecordedTime) {
    struct Case {
        std::int32_t endTime;
        std::int32_t finishedAt;
    };
    for (const Case c : {Case{30, 30}, Case{15, 20}, Case{0, 10}, Case{-5, 10}}) {
        TLogicWorld world(EmptyLevel());
        TGameInput none;
        const auto stream = WriteRecordedLevel({c.endTime, 1, 700}, none, {});
        auto logic = world.FromRecord(stream);
        EXPECT_EQ(logic->Score, 700);
        EXPECT_EQ(logic->StartScore, 0);
        EXPECT_EQ(logic->RecordedEndTime, c.endTime);
        const auto result = test::PlayBack(*logic, 5, 1000);
        EXPECT_TRUE(result.Finished) << c.endTime;
        EXPECT_EQ(result.EndTime, c.finishedAt) << c.endTime;
    }
}

TEST(GameLogic, AStreamThatIsNoRecordedLevelIsRefused) {
    TLogicWorld world(EmptyLevel());
    EXPECT_THROW(world.FromRecord(std::vector<std::uint8_t>(64, 0x5A)), EDataError);
    // Words for another level: the count differs from the level's entries.
    TGameInput none;
    const std::vector<std::uint16_t> words = {1, 1};
    EXPECT_THROW(world.FromRecord(WriteRecordedLevel({100, 1, 0}, none, words)), EDataError);
}

}  // namespace
}  // namespace qv
