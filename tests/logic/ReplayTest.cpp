// Record and replay: a live level recorded into its level stream, stored in
// a replay pack, loaded into a fresh logic (here or in another process) and
// played back gives the same score, statistics and end time, and the same
// state after every tick.
#include <gtest/gtest.h>

#include "game/core/qv3ReplayFiles.h"
#include "platform/system/Files.h"
#include "tests/support/LogicTestSupport.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using test::TFrame;
using test::TLogicWorld;
using test::TRunResult;

// Where two runs first part, for the failure message.
std::string FirstDifference(const TRunResult& live, const TRunResult& replay) {
    const std::size_t n = std::min(live.Hashes.size(), replay.Hashes.size());
    for (std::size_t i = 0; i < n; ++i)
        if (live.Hashes[i] != replay.Hashes[i]) return "first different tick: " + std::to_string(i + 1);
    return "hashes agree over " + std::to_string(n) + " ticks";
}

void ExpectSameRun(const TRunResult& live, const TRunResult& replay) {
    EXPECT_EQ(live.Score, replay.Score);
    EXPECT_EQ(live.EndTime, replay.EndTime);
    EXPECT_EQ(live.Won, replay.Won);
    EXPECT_EQ(live.Statistics, replay.Statistics);
    EXPECT_TRUE(live.Hashes == replay.Hashes) << FirstDifference(live, replay) << " of " << live.Hashes.size()
                                              << " live and " << replay.Hashes.size() << " replayed";
    if (live.Finished) {
        EXPECT_TRUE(replay.Finished);
    }
}

// The pack a game core would save at the level's end, read back.
std::vector<std::uint8_t> SaveAndLoad(TGameLogic& logic, const std::string& path) {
    TReplayFile(path).AddLevelAndSave(logic);
    TReplayFile loaded(path);
    EXPECT_EQ(loaded.LevelCount(), 1);
    return loaded.GetLevel(1);
}

TEST(Replay, RandomLevelsReplayTickForTickFromTheirPacks) {
    const TLevelFile level = test::BusyLevel(90, 4000);
    test::TempDir dir;
    int catches = 0;
    int lost = 0;
    int won = 0;
    int left = 0;
    for (std::uint64_t seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        TLogicWorld live(level, 20000, seed);
        auto logic = live.NewLevel(gmLive, static_cast<std::int32_t>(seed * 100));
        // Intro input (moves, clicks, keys, Space) must not reach the level.
        const auto intro = test::RandomScript(seed + 1000, 40);
        // Some scripts end before the level does, like a game left with Esc.
        const int frames = seed % 4 == 0 ? 300 : 4000;
        const TRunResult played = test::PlayLive(*logic, intro, test::RandomScript(seed, frames));
        ASSERT_GT(played.Hashes.size(), 100u);
        for (auto c : played.Statistics.Catches) catches += c;
        (played.Won ? won : played.Finished ? lost : left) += 1;

        const auto stream = SaveAndLoad(*logic, dir / ("last" + std::to_string(seed) + ".gmp"));
        TLogicWorld viewer(level, 20000, seed + 5000);
        viewer.effectRandom.Seed(seed * 31);
        auto replay = viewer.FromRecord(stream);
        EXPECT_EQ(replay->Score, static_cast<std::int32_t>(seed * 100));
        ExpectSameRun(played, test::PlayBack(*replay, static_cast<int>(seed % 7) * 13));
    }
    EXPECT_GT(catches, 20) << "the scripts catch creatures";
    EXPECT_GT(won + lost, 0);
    EXPECT_GT(left, 0);
}

// A player who follows the creature nearest the cannons and fires every
// other frame, with the torpedo and the seeker now and then, on a level
// crowded with every kind of creature: shots reach several creatures in one
// tick, catch, destroy and home. The outcome is pinned: the rules are free to
// get faster, never to play differently.
TRunResult PlayAiming(TGameLogic& logic, std::uint64_t seed) {
    TRandom r(seed);
    TRunResult result;
    logic.LiveInput.Clear();
    for (int frame = 0; frame < 6000 && !logic.Finished; ++frame) {
        float best = -1;
        std::int32_t y = 300;
        for (int list : kCreatureLists)
            for (const auto& sprite : logic.SpriteList(list)) {
                const auto& bot = static_cast<const TBotSprite&>(*sprite);
                if (bot.IsFree() && bot.ScreenX > best && bot.ScreenX < 700) {
                    best = bot.ScreenX;
                    y = static_cast<std::int32_t>(bot.Y);
                }
            }
        TFrame f;
        f.Ticks = 1 + r.Below(4);
        f.MouseY = y;
        f.Clicked = frame % 2 == 0;
        f.Torpedo = r.Below(200) == 0;
        f.Seeker = r.Below(200) == 0;
        logic.LiveInput.Add(f.Record());
        for (std::uint32_t t = 0; t < f.Ticks; ++t) {
            logic.Step(true, 1);
            result.Hashes.push_back(logic.StateHash());
        }
    }
    const TRunResult end = test::ResultOf(logic);
    result.Score = end.Score;
    result.EndTime = end.EndTime;
    result.Finished = end.Finished;
    result.Won = end.Won;
    result.Statistics = end.Statistics;
    return result;
}

TEST(Replay, CrowdedLevelsPlayAndReplayAsTheyAlwaysHave) {
    const TLevelFile level = test::BusyLevel(400, 30000);
    const char* const expected[] = {
        "score=45805 end=40000 finished=1 won=1 ticks=4000 chain=96ff18a8d0485099 stats=01000000e401030006000200030009000300040004000400020003000500020003000400050004000800060007000e00080005000800080008000400080007000800050008000600",
        "score=49255 end=40000 finished=1 won=1 ticks=4000 chain=a99821c3cce8ba59 stats=01000000e50103000500030005000a000500040004000300040002000600040006000400030005000800040007000f00080005000800080008000400080007000800050008000700",
        "score=48595 end=40000 finished=1 won=1 ticks=4000 chain=88182070039811eb stats=01000000df01030004000100060007000500040004000400050002000300040005000300060004000800050008000d00070007000800080008000500080008000800050008000800",
    };
    test::TempDir dir;
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        TLogicWorld live(level, 40000, seed);
        auto logic = live.NewLevel(gmLive, 0);
        const TRunResult played = PlayAiming(*logic, seed);
        EXPECT_EQ(played.Describe(), expected[seed - 1]);
        EXPECT_GT(played.Statistics.CondomsFired, 400);
        const auto stream = SaveAndLoad(*logic, dir / ("crowded" + std::to_string(seed) + ".gmp"));
        TLogicWorld viewer(level, 40000, seed + 5000);
        auto replay = viewer.FromRecord(stream);
        EXPECT_EQ(test::PlayBack(*replay, 0).Describe(), played.Describe());
    }
}

TEST(Replay, GoingLiveInsideAFrameStillReplaysExactly) {
    // The frame's record was taken while inactive: its remaining ticks are
    // live but bring no input, and are recorded as such.
    const TLevelFile level = test::BusyLevel(60, 3000);
    for (std::uint64_t seed = 40; seed < 44; ++seed) {
        SCOPED_TRACE(seed);
        TLogicWorld live(level, 15000, seed);
        auto logic = live.NewLevel();
        auto script = test::RandomScript(seed, 3000);
        script[0].Ticks = 6;
        script[0].Clicked = true;
        const TRunResult played = test::PlayLive(*logic, test::RandomScript(seed + 1, 10), script, true);
        const TGameInput recorded = logic->Recording();
        EXPECT_EQ(recorded.Records().front(), kNoDeliveryBit | 5u) << "five live ticks without input";
        TLogicWorld viewer(level, 15000, seed + 9);
        auto replay = viewer.FromRecord(logic->WriteRecord());
        ExpectSameRun(played, test::PlayBack(*replay, 3));
    }
}

TEST(Replay, TheRecordingHoldsTheFramesOfLivePlayAsTheyCame) {
    TLogicWorld world(test::BusyLevel(30, 2000), 90000, 3);
    auto logic = world.NewLevel();
    const auto script = test::RandomScript(8, 200);
    test::PlayLive(*logic, test::RandomScript(9, 20), script);
    ASSERT_FALSE(logic->Finished);
    const TGameInput recorded = logic->Recording();
    ASSERT_EQ(recorded.Count(), static_cast<int>(script.size()));
    std::int32_t ticks = 0;
    for (std::size_t i = 0; i < script.size(); ++i) {
        EXPECT_EQ(recorded.Records()[i], script[i].Record()) << i;
        ticks += static_cast<std::int32_t>(script[i].Ticks);
    }
    EXPECT_EQ(recorded.PendingTicks(), ticks);
    EXPECT_EQ(logic->LogicTime, ticks * 10);
}

TEST(Replay, AReplayNeverReadsTheViewersInput) {
    const TLevelFile level = test::BusyLevel(60, 3000);
    TLogicWorld live(level, 15000, 5);
    auto logic = live.NewLevel();
    test::PlayLive(*logic, {}, test::RandomScript(5, 3000));
    const auto stream = logic->WriteRecord();

    TLogicWorld viewer(level, 15000, 6);
    auto clean = viewer.FromRecord(stream);
    const TRunResult expected = test::PlayBack(*clean, 10);

    auto disturbed = viewer.FromRecord(stream);
    const auto noise = test::RandomScript(77, 20000);
    std::vector<std::uint64_t> hashes;
    std::size_t k = 0;
    for (int t = 0; t < 10; ++t, ++k) {
        disturbed->LiveInput.Add(noise[k].Record());
        disturbed->Step(false, 1);
    }
    while (!disturbed->Finished) {
        disturbed->LiveInput.Add(noise[k++ % noise.size()].Record());
        disturbed->Step(true, 1);
        hashes.push_back(disturbed->StateHash());
    }
    EXPECT_EQ(disturbed->Score, expected.Score);
    EXPECT_TRUE(hashes == expected.Hashes);
}

TEST(Replay, AFullLevelReplaysTheSameInAnotherProcess) {
    // Nivlets and bubbles only: nothing can escape, so the level runs its
    // whole 90 s and ends with the level bonus.
    TLevelFile level = test::BusyLevel(160, 21000);
    for (auto& e : level.Entries)
        if (e.CreatureType <= 5) e.CreatureType = static_cast<std::uint8_t>(6 + e.CreatureType);
    TLogicWorld live(level, 90000, 21);
    auto logic = live.NewLevel(gmLive, 500);
    const TRunResult played = test::PlayLive(*logic, test::RandomScript(22, 30), test::RandomScript(21, 12000));
    ASSERT_TRUE(played.Won);
    EXPECT_EQ(played.EndTime, 90000);
    EXPECT_EQ(played.Hashes.size(), 9000u);

    test::TempDir dir;
    ASSERT_TRUE(sys::CreateDirectories(dir / "scenario"));
    for (const auto& [name, bytes] : live.Files())
        ASSERT_TRUE(sys::WriteFileAtomic(dir / ("scenario/" + name),
                                         std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    const std::string pack = dir / "last5.gmp";
    TReplayFile(pack).AddLevelAndSave(*logic);

    const auto run = test::RunProcess({test::BinaryDir() + "qv_replay_probe", dir / "scenario", pack, "250"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, played.Describe() + "\n");
}

}  // namespace
}  // namespace qv
