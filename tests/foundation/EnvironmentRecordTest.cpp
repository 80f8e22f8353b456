#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/BinaryIO.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3GameStatistics.h"

namespace qv {

namespace {

using TBytes = std::vector<std::uint8_t>;

std::uint16_t U16At(const TBytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

std::uint32_t U32At(const TBytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

// A short string at `at`: its length byte, then its text.
std::string TextAt(const TBytes& b, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(b.data() + at + 1), b.at(at));
}

TGameStatistics SampleStats(std::int16_t base) {
    TGameStatistics s;
    s.LevelsWon = base;
    s.GroupBonuses = static_cast<std::int16_t>(base + 1);
    s.CondomsFired = static_cast<std::int16_t>(base + 2);
    s.TorpedoesFired = -3;
    for (std::size_t i = 0; i < kCreatureTypeCount; ++i) {
        s.EarlyCatches[i] = static_cast<std::int16_t>(base + 10 + i);
        s.Catches[i] = static_cast<std::int16_t>(base + 100 + i);
    }
    return s;
}

// Every field different from its neighbours, so a misplaced field shows.
TEnvironmentRecord SampleRecord() {
    TEnvironmentRecord r;
    r.MusicVolume = 71;
    r.SoundVolume = 72;
    r.AdapterIndex = 2;
    r.DeviceType = 1;
    r.DisplayMode = dmFullScreen32;
    r.Detail = 1;
    r.CurrentScenario = 42;
    for (std::size_t s = 0; s < kScenarioSlotCount; ++s) {
        TScenarioProgress& p = r.Scenarios[s];
        p.StartScore = static_cast<std::int32_t>(1000 + s);
        p.StartLevel = static_cast<std::int32_t>(s % 5);
        p.LastGameStats = SampleStats(static_cast<std::int16_t>(s));
        for (std::size_t e = 0; e < kHighScoreCount; ++e) {
            p.HighScores[e].Name = "P" + std::to_string(s) + "_" + std::to_string(e);
            p.HighScores[e].Score = static_cast<std::int32_t>(100000 - s * 100 - e);
        }
        p.BestGameStats = SampleStats(static_cast<std::int16_t>(500 + s));
        p.WorldBestFile = "worldbest" + std::to_string(s) + ".gmp";
        p.GamesStarted = static_cast<std::int32_t>(s * 3);
        p.LevelsFinished = static_cast<std::int32_t>(s * 2);
    }
    r.LobbyLoginKey = "0123456789ABCDEF0123456789ABCDEF";
    r.LobbyAlias = "lobbyist";
    r.ScoreUID = "uid-77";
    r.PlayerAlias = "FifteenCharName";
    r.City = "Z\xFCrich";  // Windows-1252 bytes
    r.State = "ZH";
    r.Country = 12;
    r.ErrorReportEmail = "errors@example.org";
    r.Gender = 2;
    r.Email = "player@example.org";
    r.Age = 33;
    r.Comment = "a comment";
    r.HighScoreHost = "scores.example.org";
    r.HighScoreBase = "/hs/";
    r.ChatHost = "chat.example.org";
    r.InternalHost = "int.example.org";
    r.InternalBase = "/int/";
    r.SupportURL = "http://support.example.org/";
    return r;
}

}  // namespace

// --- Game statistics -------------------------------------------------------

TEST(GameStatisticsTest, IsStoredAs72LittleEndianBytes) {
    TGameStatistics fresh;
    EXPECT_EQ(fresh, TGameStatistics{});
    EXPECT_EQ(fresh.LevelsWon, 0);
    EXPECT_EQ(fresh.Catches[15], 0);

    const TGameStatistics s = SampleStats(7);
    TBinaryWriter w;
    s.Write(w);
    const TBytes& b = w.Data();
    ASSERT_EQ(b.size(), 72u);
    EXPECT_EQ(U16At(b, 0), 7);
    EXPECT_EQ(U16At(b, 2), 8);
    EXPECT_EQ(U16At(b, 4), 9);
    EXPECT_EQ(U16At(b, 6), 0xFFFD);  // -3
    EXPECT_EQ(U16At(b, 8), 17);      // EarlyCatches[0]
    EXPECT_EQ(U16At(b, 38), 32);     // EarlyCatches[15]
    EXPECT_EQ(U16At(b, 40), 107);    // Catches[0]
    EXPECT_EQ(U16At(b, 70), 122);    // Catches[15]

    TBinaryReader r(b);
    TGameStatistics back;
    back.Read(r);
    EXPECT_EQ(back, s);
    EXPECT_TRUE(r.AtEnd());

    TBinaryReader shortData(b.data(), 71);
    EXPECT_THROW(back.Read(shortData), EBinaryError);
}

// --- Settings record -------------------------------------------------------

TEST(EnvironmentRecordTest, FieldsLieAtTheirStoredOffsets) {
    const TEnvironmentRecord rec = SampleRecord();
    const TBytes b = rec.ToBytes();
    ASSERT_EQ(b.size(), 37464u);

    EXPECT_EQ(U32At(b, 0x0000), 71u);
    EXPECT_EQ(U32At(b, 0x0004), 72u);
    EXPECT_EQ(U32At(b, 0x0008), 2u);
    EXPECT_EQ(U32At(b, 0x000C), 1u);
    EXPECT_EQ(b[0x0010], 3);
    EXPECT_EQ(b[0x0011], 1);
    EXPECT_EQ(U32At(b, 0x0014), 42u);

    // Slot 7's block.
    const std::size_t slot = 0x0018 + 7 * 360;
    EXPECT_EQ(U32At(b, slot + 0x000), 1007u);
    EXPECT_EQ(U32At(b, slot + 0x004), 2u);
    EXPECT_EQ(U32At(b, slot + 0x008), 0u);
    EXPECT_EQ(U32At(b, slot + 0x00C), 0u);
    EXPECT_EQ(U16At(b, slot + 0x010), 7u);  // LastGameStats.LevelsWon
    EXPECT_EQ(TextAt(b, slot + 0x058), "P7_0");
    EXPECT_EQ(U32At(b, slot + 0x058 + 12), static_cast<std::uint32_t>(100000 - 700));
    EXPECT_EQ(TextAt(b, slot + 0x058 + 9 * 16), "P7_9");
    EXPECT_EQ(U32At(b, slot + 0x058 + 9 * 16 + 12), static_cast<std::uint32_t>(100000 - 709));
    EXPECT_EQ(U16At(b, slot + 0x0F8), 507u);  // BestGameStats.LevelsWon
    EXPECT_EQ(TextAt(b, slot + 0x140), "worldbest7.gmp");
    EXPECT_EQ(U32At(b, slot + 0x160), 21u);
    EXPECT_EQ(U32At(b, slot + 0x164), 14u);
    EXPECT_EQ(TextAt(b, 0x0018 + 99 * 360 + 0x140), "worldbest99.gmp");

    EXPECT_EQ(TextAt(b, 0x8CB8), "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(TextAt(b, 0x8CD9), "lobbyist");
    EXPECT_EQ(TextAt(b, 0x8CE9), "uid-77");
    EXPECT_EQ(TextAt(b, 0x8D0A), "FifteenCharName");
    EXPECT_EQ(TextAt(b, 0x8D1A), "Z\xFCrich");
    EXPECT_EQ(TextAt(b, 0x8D7F), "ZH");
    EXPECT_EQ(U16At(b, 0x8DA8), 12u);
    EXPECT_EQ(TextAt(b, 0x8DAA), "errors@example.org");
    EXPECT_EQ(b[0x8E0F], 2);
    EXPECT_EQ(TextAt(b, 0x8E10), "player@example.org");
    EXPECT_EQ(U32At(b, 0x8E64), 33u);
    EXPECT_EQ(TextAt(b, 0x8E68), "a comment");
    EXPECT_EQ(TextAt(b, 0x8ECD), "scores.example.org");
    EXPECT_EQ(TextAt(b, 0x8F64), "/hs/");
    EXPECT_EQ(TextAt(b, 0x8FFB), "chat.example.org");
    EXPECT_EQ(TextAt(b, 0x9092), "int.example.org");
    EXPECT_EQ(TextAt(b, 0x9129), "/int/");
    EXPECT_EQ(TextAt(b, 0x91C0), "http://support.example.org/");

    // Padding and the unused bytes of text fields are zero.
    for (std::size_t at : {std::size_t{0x0012}, std::size_t{0x0013}, std::size_t{0x8E61}, std::size_t{0x8E62},
                           std::size_t{0x8E63}, std::size_t{0x9257}, slot + 0x15F, slot + 0x058 + 11})
        EXPECT_EQ(b[at], 0) << at;
    for (std::size_t at = 0x8CD9 + 1 + 8; at < 0x8CE9; ++at) EXPECT_EQ(b[at], 0) << at;
}

TEST(EnvironmentRecordTest, RoundTripsThroughItsBytes) {
    const TEnvironmentRecord rec = SampleRecord();
    const TBytes b = rec.ToBytes();
    TBinaryReader r(b);
    TEnvironmentRecord back;
    EXPECT_EQ(back.Read(r), 0u);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(back, rec);
    EXPECT_EQ(back.ToBytes(), b);

    TBinaryReader shortData(b.data(), b.size() - 1);
    EXPECT_THROW(back.Read(shortData), EBinaryError);
}

TEST(EnvironmentRecordTest, TextsAreCutInBytesAndShorterTextsLeaveNoTail) {
    TEnvironmentRecord rec;
    rec.PlayerAlias = "ABCDEFGHIJKLMNOPQRS";
    EXPECT_EQ(rec.PlayerAlias.Str(), "ABCDEFGHIJKLMNO");
    rec.Email = "a.very.long.address@example.org";
    rec.Email = "me@x.org";
    const TBytes b = rec.ToBytes();
    EXPECT_EQ(TextAt(b, 0x8D0A), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(TextAt(b, 0x8E10), "me@x.org");
    for (std::size_t at = 0x8E10 + 1 + 8; at < 0x8E10 + 81; ++at) EXPECT_EQ(b[at], 0) << at;
}

TEST(EnvironmentRecordTest, AnOverlongStoredLengthIsCutToTheField) {
    TEnvironmentRecord rec = SampleRecord();
    TBytes b = rec.ToBytes();
    b[0x8CD9] = 200;                 // LobbyAlias: capacity 15
    b[0x0018 + 3 * 360 + 0x058] = 11;  // a high-score name: capacity 10
    TBinaryReader r(b);
    TEnvironmentRecord back;
    EXPECT_EQ(back.Read(r), 2u);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(back.LobbyAlias.size(), 15u);
    EXPECT_EQ(back.LobbyAlias.Str().substr(0, 8), "lobbyist");
    EXPECT_EQ(back.Scenarios[3].HighScores[0].Name.size(), 10u);
    // Everything after the damaged fields reads as stored.
    EXPECT_EQ(back.ScoreUID, rec.ScoreUID);
    EXPECT_EQ(back.Scenarios[3].HighScores[0].Score, rec.Scenarios[3].HighScores[0].Score);
    EXPECT_EQ(back.Scenarios[3].HighScores[1], rec.Scenarios[3].HighScores[1]);
    EXPECT_EQ(back.SupportURL, rec.SupportURL);
}

TEST(EnvironmentRecordTest, DefaultsFollowTheVideoMemoryAndKeepTheCountry) {
    struct Case {
        std::uint64_t videoMemory;
        std::uint8_t mode, detail;
    };
    const Case cases[] = {{0, 2, 0}, {8u << 20, 2, 0}, {13999999, 2, 0}, {14000000, 3, 1}, {64u << 20, 3, 1}};
    for (const Case& k : cases) {
        TEnvironmentRecord rec = SampleRecord();
        rec.SetDefaults(k.videoMemory, 1);
        EXPECT_EQ(rec.DisplayMode, k.mode) << k.videoMemory;
        EXPECT_EQ(rec.Detail, k.detail) << k.videoMemory;
        EXPECT_EQ(rec.Country, 12);

        TEnvironmentRecord expected;
        expected.MusicVolume = 100;
        expected.SoundVolume = 100;
        expected.DeviceType = 1;
        expected.CurrentScenario = 1;
        expected.DisplayMode = k.mode;
        expected.Detail = k.detail;
        expected.Country = 12;
        for (auto& p : expected.Scenarios)
            for (auto& e : p.HighScores) e.Score = kNoHighScore;
        EXPECT_EQ(rec, expected);
    }
}

TEST(EnvironmentRecordTest, ClearAllHighScoresEmptiesTablesAndKeepsTheRest) {
    TEnvironmentRecord rec = SampleRecord();
    rec.ClearAllHighScores(5);
    for (std::size_t s = 0; s < kScenarioSlotCount; ++s) {
        const TScenarioProgress& p = rec.Scenarios[s];
        for (const auto& e : p.HighScores) {
            EXPECT_TRUE(e.Name.empty());
            EXPECT_EQ(e.Score, kNoHighScore);
            EXPECT_FALSE(e.IsSet());
        }
        EXPECT_EQ(p.LastGameStats, TGameStatistics{});
        EXPECT_EQ(p.BestGameStats, SampleStats(static_cast<std::int16_t>(500 + s)));
        EXPECT_EQ(p.WorldBestFile, "worldbest" + std::to_string(s) + ".gmp");
        EXPECT_EQ(p.GamesStarted, static_cast<std::int32_t>(s * 3));
        EXPECT_EQ(p.LevelsFinished, static_cast<std::int32_t>(s * 2));
        // Only the current slot's progress is reset.
        EXPECT_EQ(p.StartScore, s == 5 ? 0 : static_cast<std::int32_t>(1000 + s));
    }
    EXPECT_EQ(rec.PlayerAlias, "FifteenCharName");
}

TEST(EnvironmentRecordTest, ResetScenarioProgressTouchesOnlyAValidSlot) {
    TEnvironmentRecord rec = SampleRecord();
    rec.Scenarios[0].Reserved = {5, 6};
    rec.ResetScenarioProgress(0);
    EXPECT_EQ(rec.Scenarios[0].StartScore, 0);
    EXPECT_EQ(rec.Scenarios[0].StartLevel, 0);
    EXPECT_EQ(rec.Scenarios[0].Reserved, (std::array<std::int32_t, 2>{0, 0}));
    EXPECT_EQ(rec.Scenarios[0].GamesStarted, 0);
    EXPECT_EQ(rec.Scenarios[1].StartScore, 1001);

    const TEnvironmentRecord before = rec;
    rec.ResetScenarioProgress(-1);
    rec.ResetScenarioProgress(100);
    EXPECT_EQ(rec, before);
}

}  // namespace qv
