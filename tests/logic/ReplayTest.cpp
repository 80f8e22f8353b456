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
