#include <gtest/gtest.h>

#include <set>

#include "frontend/online/qv3ScoreRecord.h"
#include "tests/online/NetTestSupport.h"

namespace qv::test {
namespace {

TGameStatistics SampleStats() {
    TGameStatistics s;
    s.GroupBonuses = 3;
    s.CondomsFired = 120;
    s.TorpedoesFired = 7;
    s.LevelsWon = 1;
    for (int i = 0; i < kCreatureTypeCount; ++i) {
        s.Catches[i] = static_cast<std::int16_t>(i * 61);
        s.EarlyCatches[i] = static_cast<std::int16_t>(i * 13);
    }
    return s;
}

// The server's side: undo the order, then the substitution.
std::string DecodeScoreCode(const std::string& code) {
    std::string letters(code.size(), ' ');
    for (std::size_t k = 0; k < code.size(); ++k) letters[kScoreCodeOrder[k % 107] - 1 + 107 * (k / 107)] = code[k];
    std::string digits;
    for (char c : letters) {
        for (int d = 0; d < 10; ++d) {
            if (kScoreCodeAlphabets[d].find(c) != std::string_view::npos) digits += static_cast<char>('0' + d);
        }
    }
    return digits;
}

TEST(ScoreCodeTest, TablesUseEveryLetterOnceAndEveryPosition) {
    std::set<char> letters;
    for (int d = 0; d < 10; ++d) {
        EXPECT_EQ(kScoreCodeAlphabets[d].size(), d == 0 ? 7u : 5u);
        letters.insert(kScoreCodeAlphabets[d].begin(), kScoreCodeAlphabets[d].end());
    }
    EXPECT_EQ(letters.size(), 52u);
    for (char c : letters) EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(c)));
    std::set<int> positions(kScoreCodeOrder.begin(), kScoreCodeOrder.end());
    EXPECT_EQ(positions.size(), 107u);
    EXPECT_EQ(*positions.begin(), 1);
    EXPECT_EQ(*positions.rbegin(), 107);
}

TEST(ScoreCodeTest, DigitsAndCodeRoundTrip) {
    const TGameStatistics s = SampleStats();
    const std::string digits = ScoreCodeDigits(s);
    EXPECT_EQ(digits.substr(0, 11), "00301200071");
    EXPECT_EQ(digits.size(), 107u);
    EXPECT_EQ(digits.substr(11, 6), "000000");  // type 0: catches, then early catches
    EXPECT_EQ(digits.substr(17, 6), "061013");
    TRandom random(3);
    const std::string code = ScoreCode(s, random);
    ASSERT_EQ(code.size(), 107u);
    EXPECT_EQ(DecodeScoreCode(code), digits);
    // Letters are drawn, so two codes of one game differ but decode alike.
    const std::string other = ScoreCode(s, random);
    EXPECT_NE(other, code);
    EXPECT_EQ(DecodeScoreCode(other), digits);
}

TEST(ScoreCodeTest, CountsWiderThanTheirFieldAreRefused) {
    struct Case {
        const char* name;
        void (*change)(TGameStatistics&);
    } cases[] = {
        {"condoms", [](TGameStatistics& s) { s.CondomsFired = 10000; }},
        {"group bonuses", [](TGameStatistics& s) { s.GroupBonuses = 1000; }},
        {"levels", [](TGameStatistics& s) { s.LevelsWon = 10; }},
        {"catches", [](TGameStatistics& s) { s.Catches[15] = 1000; }},
        {"wrapped counter", [](TGameStatistics& s) { s.EarlyCatches[3] = -1; }},
    };
    for (const Case& c : cases) {
        TGameStatistics s = SampleStats();
        c.change(s);
        TRandom random;
        EXPECT_THROW(ScoreCode(s, random), EScoreCodeError) << c.name;
    }
    TGameStatistics edge = SampleStats();
    edge.CondomsFired = 9999;
    edge.Catches[15] = 999;
    EXPECT_EQ(ScoreCodeDigits(edge).size(), 107u);
}

TEST(ScoreRecordTest, FieldsInOrderWithoutEmptyOnesOrExtraBars) {
    TEnvironmentRecord r;
    r.PlayerAlias = "Ace|One";
    r.City = "Berlin";
    r.Country = 81;
    r.Email = "a|b@c.d";
    r.Gender = 2;
    r.Comment = "hi|there||x";
    TScenarioProgress& p = r.Scenarios[4];
    p.HighScores[0].Score = 12500;
    p.GamesStarted = 9;
    p.LevelsFinished = 2;
    p.BestGameStats = SampleStats();
    TRandom random(5);
    const std::string text = BuildScoreRecord(r, 4, true, random);
    EXPECT_EQ(text.rfind("QVX3| |4|12500|Ace/One|Berlin| |81|a/b@c.d| |f|hitherex|9|2|", 0), 0u) << text;
    const auto fields = SplitFields(text, '|');
    ASSERT_EQ(fields.size(), 17u);
    EXPECT_EQ(fields[14].size(), 107u);
    EXPECT_EQ(fields[15], "1");
    EXPECT_EQ(fields[16], "QVX3");
    EXPECT_EQ(text.back(), '|');

    r.ScoreUID = "  u42 ";
    r.Age = 31;
    r.Gender = 1;
    r.Comment = "";
    const auto again = SplitFields(BuildScoreRecord(r, 4, false, random), '|');
    ASSERT_EQ(again.size(), 17u);
    EXPECT_EQ(again[1], "u42");
    EXPECT_EQ(again[9], "31");
    EXPECT_EQ(again[10], "m");
    EXPECT_EQ(again[11], " ");
    EXPECT_EQ(again[15], "0");
    EXPECT_EQ(FillEmptyFields("a|||b||"), "a| | |b| |");
}

TEST(ScoreRecordTest, RepliesAndUploadBody) {
    auto v = ParseNameValueReply("UID=  abc  \r\nUPID=replay\r\nJUNK\r\n=x\r\nUID=second\n");
    EXPECT_EQ(v["UID"], "  abc  ");
    EXPECT_EQ(v["UPID"], "replay");
    EXPECT_EQ(v.count(""), 0u);
    EXPECT_TRUE(ParseNameValueReply("").empty());
    EXPECT_EQ(ParseNameValueReply("ERR=no such user").at("ERR"), "no such user");

    EXPECT_EQ(BuildReplayUpload("up7", std::string("\x00\x01\r\n", 4)),
              std::string("--------------------------------QVX2Rulez\r\n"
                          "Content-Disposition: form-data; name=\"up7\" filename=\"t.t\"\r\n"
                          "Content-type: application/octet-stream\r\n\r\n") +
                  std::string("\x00\x01\r\n", 4) + "\r\n--------------------------------QVX2Rulez--\r\n");
    EXPECT_TRUE(IsSafePartName("replay_1"));
    for (const char* bad : {"", "a\"b", "a\r\nb", "a\nb"}) EXPECT_FALSE(IsSafePartName(bad)) << bad;
}

}  // namespace
}  // namespace qv::test
