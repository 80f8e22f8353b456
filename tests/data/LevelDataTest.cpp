#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "foundation/BinaryIO.h"
#include "foundation/Exceptions.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3LevelData.h"
#include "tests/support/ScenarioFixture.h"
#include "tests/support/ScriptedRandom.h"

namespace qv {
namespace {

using test::TScriptedRandom;

TLevelEntry Entry(std::uint8_t type, float probability, std::int32_t base, std::int16_t group = -1) {
    TLevelEntry e;
    e.CreatureType = type;
    e.Probability = probability;
    e.BasePosition = base;
    e.GroupId = group;
    e.HeightFraction = 0.25f;
    return e;
}

TLevelFile Level(std::vector<TLevelEntry> entries) {
    TLevelFile level;
    level.SceneryNumber = 7;
    level.Entries = std::move(entries);
    return level;
}

// Reads a level with recorded words.
TLevelDataReader ReadWithWords(const TLevelFile& level, const std::vector<std::uint16_t>& words) {
    TBinaryWriter rec;
    rec.WriteI32(static_cast<std::int32_t>(words.size()));
    for (auto w : words) rec.WriteU16(w);
    const auto bytes = WriteLevelData(level);
    TBinaryReader in(rec.Data());
    return TLevelDataReader(bytes, &in, nullptr);
}

TEST(LevelData, FileLayout) {
    TLevelFile level = Level({});
    level.HeaderValue = 0x11223344;
    level.HeaderBytes[0] = 0xAB;
    level.HeaderBytes[25] = 0xCD;
    TLevelEntry e = Entry(14, 0.75f, -5, 3);
    e.HeightFromWord = 1;
    e.HeightFraction = 0.5f;
    e.SpeedFraction = 1.5f;
    e.SpreadFraction = 0.125f;
    e.Wobble = 2.0f;
    e.Variant = 9;
    e.Direction = 3.0f;
    e.TargetDirection = -1.0f;
    e.TurnDistance = 777;
    level.Entries = {e};
    const auto bytes = WriteLevelData(level);
    ASSERT_EQ(bytes.size(), 43u + 48u);

    TBinaryReader in(bytes);
    EXPECT_EQ(in.ReadString(5), "zkq3l");
    EXPECT_EQ(in.ReadI32(), 0x11223344);
    in.Seek(9);
    EXPECT_EQ(in.ReadU8(), 0xAB);
    in.Seek(34);
    EXPECT_EQ(in.ReadU8(), 0xCD);
    EXPECT_EQ(in.ReadI32(), 7);  // scenery number at 35
    EXPECT_EQ(in.ReadI32(), 1);  // entry count at 39
    const std::size_t at = 43;
    in.Seek(at);
    EXPECT_EQ(in.ReadU8(), 14);
    EXPECT_EQ(in.ReadU8(), 1);
    in.Seek(at + 4);
    EXPECT_EQ(in.ReadF32(), 0.5f);
    EXPECT_EQ(in.ReadF32(), 1.5f);
    EXPECT_EQ(in.ReadF32(), 0.75f);
    EXPECT_EQ(in.ReadF32(), 0.125f);
    EXPECT_EQ(in.ReadF32(), 2.0f);
    EXPECT_EQ(in.ReadI32(), -5);
    EXPECT_EQ(in.ReadI16(), 3);
    EXPECT_EQ(in.ReadU8(), 9);
    in.Seek(at + 36);
    EXPECT_EQ(in.ReadF32(), 3.0f);
    EXPECT_EQ(in.ReadF32(), -1.0f);
    EXPECT_EQ(in.ReadI32(), 777);
}

TEST(LevelData, WordsAreDrawnPerEntryInOrderAndDecideOccurrence) {
    // probability 1 with r just below 1; probability 0 with r = 0 and with a
    // tiny r; probability 0.5 with r above it.
    const TLevelFile level = Level({Entry(0, 1.0f, 10), Entry(1, 0.0f, 20), Entry(2, 0.0f, 30), Entry(3, 0.5f, 40)});
    TScriptedRandom random;
    random.Uniforms = {0.9999999, 0.0, 1e-9, 0.75};
    random.Integers = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto bytes = WriteLevelData(level);
    TLevelDataReader reader(bytes, nullptr, &random);

    EXPECT_EQ(random.UniformCalls, 4);
    EXPECT_EQ(random.BelowCalls, 8);
    for (auto range : random.Ranges) EXPECT_EQ(range, 128u);
    const std::vector<std::uint16_t> words = {GenerationWord(true, 1, 2), GenerationWord(true, 3, 4),
                                              GenerationWord(false, 5, 6), GenerationWord(false, 7, 8)};
    EXPECT_EQ(reader.GenerationWords(), words);
    ASSERT_EQ(reader.Count(), 2);
    EXPECT_EQ(reader.Item(0).CreatureType, 0);
    EXPECT_EQ(reader.Item(1).CreatureType, 1);
    EXPECT_EQ(reader.SceneryNumber(), 7);
}

TEST(LevelData, ItemsFollowTheCreatureTable) {
    TLevelEntry fixed = Entry(0, 1.0f, 100);
    fixed.SpeedFraction = 0.25f;
    fixed.SpreadFraction = 0.5f;
    fixed.Wobble = 1.5f;
    fixed.Variant = 4;
    fixed.Direction = 0.5f;
    fixed.TargetDirection = 0.25f;
    fixed.TurnDistance = 42;
    TLevelEntry fromWord = fixed;
    fromWord.CreatureType = 3;  // the splitter: 180 + f x 240
    fromWord.HeightFromWord = 1;
    TLevelEntry negative = Entry(6, 1.0f, -1000);
    negative.SpreadFraction = 1.0f;

    const TLevelDataReader reader =
        ReadWithWords(Level({fixed, fromWord, negative}),
                      {GenerationWord(true, 64, 64), GenerationWord(true, 32, 0), GenerationWord(true, 0, 1)});
    ASSERT_EQ(reader.Count(), 3);
    // Sorted by position: -825, 100, 5691.
    const TLevelItem& n = reader.Item(0);
    EXPECT_EQ(n.CreatureType, 6);
    EXPECT_EQ(n.Position, -825);  // 1/128 x 22365 - 1000 = -825.27, toward zero
    EXPECT_EQ(n.Height, 90 + 105);

    const TLevelItem& w = reader.Item(1);
    EXPECT_EQ(w.CreatureType, 3);
    EXPECT_EQ(w.Position, 100);        // B = 0
    EXPECT_EQ(w.Height, 180 + 60);     // A = 32: f = 0.25

    const TLevelItem& f = reader.Item(2);
    EXPECT_EQ(f.CreatureType, 0);
    EXPECT_EQ(f.Height, 90 + 105);     // the fixed 0.25, not A
    EXPECT_EQ(f.Position, 5691);       // 64/128 x 0.5 x 22365 + 100 = 5691.25
    EXPECT_FLOAT_EQ(f.Speed, 0.116f + 0.25f * 2.9f);
    EXPECT_EQ(f.Wobble, 1.5f);
    EXPECT_EQ(f.Variant, 4);
    EXPECT_EQ(f.Direction, 0.5f);
    EXPECT_EQ(f.TargetDirection, 0.25f);
    EXPECT_EQ(f.TurnDistance, 42);
    EXPECT_THROW(reader.Item(3), EListError);
    EXPECT_THROW(reader.Item(-1), EListError);
}

TEST(LevelData, EqualPositionsKeepFileOrderAndEarlyItemsComeAtOnce) {
    std::vector<TLevelEntry> entries;
    for (std::uint8_t v = 0; v < 8; ++v) {
        TLevelEntry e = Entry(v % 2 ? 6 : 0, 1.0f, v < 6 ? 50 : -v);
        e.Variant = v;
        entries.push_back(e);
    }
    const TLevelDataReader reader = ReadWithWords(Level(entries), std::vector<std::uint16_t>(8, 1));
    ASSERT_EQ(reader.Count(), 8);
    std::vector<int> variants;
    for (int i = 0; i < reader.Count(); ++i) variants.push_back(reader.Item(i).Variant);
    EXPECT_EQ(variants, (std::vector<int>{7, 6, 0, 1, 2, 3, 4, 5}));
}

TEST(LevelData, AdvanceHandsOutItemsUpToTheDistance) {
    TLevelDataReader reader = ReadWithWords(
        Level({Entry(0, 1, 0), Entry(0, 1, -50), Entry(0, 1, 5), Entry(0, 1, 10)}), std::vector<std::uint16_t>(4, 1));
    TItemRange r = reader.Advance(2.485f);
    EXPECT_EQ(r.First, 0);
    EXPECT_EQ(r.Last, 1);  // -50 and 0
    EXPECT_TRUE(reader.Advance(2.485f).Empty());
    EXPECT_FALSE(reader.AllHandedOut());
    r = reader.Advance(2.485f);  // 7.455: position 5
    EXPECT_EQ(r.First, 2);
    EXPECT_EQ(r.Last, 2);
    r = reader.Advance(100.0f);
    EXPECT_EQ(r.First, 3);
    EXPECT_EQ(r.Last, 3);
    EXPECT_TRUE(reader.AllHandedOut());
    EXPECT_EQ(reader.NextIndex(), 4);
    EXPECT_TRUE(reader.Advance(1.0f).Empty());

    reader.Restart();
    EXPECT_EQ(reader.Distance(), 0.0f);
    EXPECT_EQ(reader.NextIndex(), 0);
    EXPECT_FALSE(reader.AllHandedOut());
    EXPECT_EQ(reader.Advance(0.0f).Last, 1);
}

TEST(LevelData, ALevelWithoutItemsIsNeverHandedOut) {
    TLevelDataReader reader = ReadWithWords(Level({Entry(0, 0, 0)}), {0});
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_TRUE(reader.Advance(1000.0f).Empty());
    EXPECT_FALSE(reader.AllHandedOut());
}

TEST(LevelData, GroupsCompleteOnTheirLastCatchAndRestartRecounts) {
    // Group 2 has three members that occur and one that does not.
    TLevelDataReader reader = ReadWithWords(
        Level({Entry(0, 1, 1, 2), Entry(0, 1, 2, 2), Entry(0, 1, 3, 2), Entry(0, 1, 4, 2), Entry(0, 1, 5, 0)}),
        {1, 1, 1, 0, 1});
    EXPECT_EQ(reader.GroupCounters(), (std::vector<std::int32_t>{1, 0, 3}));
    EXPECT_FALSE(reader.GroupCaught(-1));
    EXPECT_FALSE(reader.GroupCaught(2));
    EXPECT_FALSE(reader.GroupCaught(2));
    EXPECT_TRUE(reader.GroupCaught(2));
    EXPECT_TRUE(reader.GroupCaught(0));
    // Ids without a counter complete nothing.
    EXPECT_FALSE(reader.GroupCaught(1));
    EXPECT_FALSE(reader.GroupCaught(99));

    // One member caught, one escaped: incomplete for good, until a restart.
    reader.Restart();
    EXPECT_FALSE(reader.GroupCaught(2));
    EXPECT_FALSE(reader.GroupCaught(2));
    reader.Restart();
    EXPECT_FALSE(reader.GroupCaught(2));
    EXPECT_FALSE(reader.GroupCaught(2));
    EXPECT_TRUE(reader.GroupCaught(2));
}

TEST(LevelData, GenerationWordsAreWrittenAsCountAndWords) {
    const TLevelDataReader reader = ReadWithWords(Level({Entry(0, 1, 0), Entry(0, 1, 0)}), {0x7F01, 0x0102});
    TBinaryWriter out;
    reader.WriteGenerationWords(out);
    EXPECT_EQ(out.Data(), (std::vector<std::uint8_t>{2, 0, 0, 0, 0x01, 0x7F, 0x02, 0x01}));

    const TLevelDataReader empty = ReadWithWords(Level({}), {});
    TBinaryWriter none;
    empty.WriteGenerationWords(none);
    EXPECT_EQ(none.Data(), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(LevelData, ARecordedWordCountMustMatchTheEntries) {
    const TLevelFile level = Level({Entry(0, 1, 0), Entry(0, 1, 0)});
    for (std::vector<std::uint16_t> words : {std::vector<std::uint16_t>{1}, std::vector<std::uint16_t>{1, 1, 1}}) {
        try {
            ReadWithWords(level, words);
            ADD_FAILURE() << "no error for " << words.size() << " words";
        } catch (const EDataError& e) {
            EXPECT_STREQ(e.what(), "Generated level data count different from level count");
        }
    }
    // The right count, but the words themselves are missing.
    TBinaryWriter rec;
    rec.WriteI32(2);
    rec.WriteU16(1);
    const auto bytes = WriteLevelData(level);
    TBinaryReader in(rec.Data());
    EXPECT_THROW(TLevelDataReader(bytes, &in, nullptr), EBinaryError);
}

TEST(LevelData, MalformedFilesAreRejected) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::function<void(TLevelEntry&)> change;
    };
    const Case cases[] = {
        {"creature type 16", [](TLevelEntry& e) { e.CreatureType = 16; }},
        {"creature type 255", [](TLevelEntry& e) { e.CreatureType = 255; }},
        {"group id -2", [](TLevelEntry& e) { e.GroupId = -2; }},
        {"group id -32768", [](TLevelEntry& e) { e.GroupId = -32768; }},
        {"NaN height", [nan](TLevelEntry& e) { e.HeightFraction = nan; }},
        {"huge height", [](TLevelEntry& e) { e.HeightFraction = 1e30f; }},
        {"NaN speed", [nan](TLevelEntry& e) { e.SpeedFraction = nan; }},
        {"infinite speed", [inf](TLevelEntry& e) { e.SpeedFraction = inf; }},
        {"speed beyond float", [](TLevelEntry& e) { e.SpeedFraction = 3e38f; }},
        {"NaN probability", [nan](TLevelEntry& e) { e.Probability = nan; }},
        {"NaN spread", [nan](TLevelEntry& e) { e.SpreadFraction = nan; }},
        {"huge spread", [](TLevelEntry& e) { e.SpreadFraction = 1e30f; }},
        {"position past int32", [](TLevelEntry& e) {
             e.BasePosition = std::numeric_limits<std::int32_t>::max();
             e.SpreadFraction = 1.0f;
         }},
        {"NaN wobble", [nan](TLevelEntry& e) { e.Wobble = nan; }},
        {"NaN direction", [nan](TLevelEntry& e) { e.Direction = nan; }},
        {"infinite target direction", [inf](TLevelEntry& e) { e.TargetDirection = -inf; }},
    };
    for (const Case& c : cases) {
        TLevelEntry e = Entry(0, 1, 0);
        c.change(e);
        EXPECT_THROW(ReadWithWords(Level({Entry(0, 1, 0), e}), {1, 0x7F01}), EDataError) << c.what;
    }

    TScriptedRandom random;
    auto bytes = WriteLevelData(Level({Entry(0, 1, 0)}));
    auto bad = bytes;
    bad[4] = 'x';
    try {
        TLevelDataReader reader(bad, nullptr, &random);
        ADD_FAILURE();
    } catch (const EDataError& e) {
        EXPECT_STREQ(e.what(), "Invalid level data file");
    }
    for (std::int32_t n : {-1, std::numeric_limits<std::int32_t>::min(), 2, 1000000000}) {
        bad = bytes;
        std::memcpy(bad.data() + 39, &n, 4);
        EXPECT_ANY_THROW(TLevelDataReader(bad, nullptr, &random)) << "count " << n;
    }
}

TEST(LevelData, EveryCutOfAFileIsRejected) {
    const test::TScenarioFixture scenario;
    const auto bytes = scenario.LevelBytes();
    TScriptedRandom random;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_THROW(TLevelDataReader(cut, nullptr, &random), std::runtime_error) << "cut at " << n;
    }
    EXPECT_NO_THROW(TLevelDataReader(bytes, nullptr, &random));
}

}  // namespace
}  // namespace qv
