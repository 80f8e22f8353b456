#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Exceptions.h"
#include "game/core/qv3CoreRules.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {
namespace {

using TTable = std::array<THighScoreEntry, kHighScoreCount>;

TTable TableOf(const std::vector<std::int32_t>& scores) {
    TTable table;
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i].Score = i < scores.size() ? scores[i] : kNoHighScore;
        table[i].Name = i < scores.size() ? "P" + std::to_string(i) : "";
    }
    return table;
}

TEST(CoreRulesTest, HighScoreInsertionPlacesTheScoreBelowEqualOnesAndShiftsTheRest) {
    struct TCase {
        std::vector<std::int32_t> before;
        std::int32_t score;
        int row;
        std::vector<std::int32_t> after;  // first rows
    };
    const std::vector<TCase> cases = {
        {{}, -50, 0, {-50, kNoHighScore}},                     // an empty table takes even a negative score
        {{500, 300, 100}, 300, 2, {500, 300, 300, 100}},       // equal goes below
        {{500, 300, 100}, 600, 0, {600, 500, 300, 100}},
        {{500, 300, 100}, 50, 3, {500, 300, 100, 50}},
        {{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 1, -1, {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},  // does not qualify
        {{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 2, 9, {10, 9, 8, 7, 6, 5, 4, 3, 2, 2}},   // last row replaced
        {{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 11, 0, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2}},
    };
    for (const TCase& c : cases) {
        TTable table = TableOf(c.before);
        EXPECT_EQ(InsertHighScoreEntry(table, c.score, "ABCDEFGHIJKLMNO"), c.row) << c.score;
        for (std::size_t i = 0; i < c.after.size(); ++i) EXPECT_EQ(table[i].Score, c.after[i]) << c.score << " row " << i;
        if (c.row >= 0) {
            EXPECT_EQ(table[static_cast<std::size_t>(c.row)].Name, "ABCDEFGHIJ");
        }
    }
    // The names move with their scores.
    TTable table = TableOf({500, 300, 100});
    InsertHighScoreEntry(table, 400, "NEW");
    EXPECT_EQ(table[0].Name, "P0");
    EXPECT_EQ(table[1].Name, "NEW");
    EXPECT_EQ(table[2].Name, "P1");
    EXPECT_EQ(table[3].Name, "P2");
}

TEST(CoreRulesTest, NameEditorAppendsUpToTenCharactersAndEndsOnEnterOrEsc) {
    TShortString<10> name;
    EXPECT_EQ(EditHighScoreName(name, 8).Sound, -1);  // Backspace on nothing is silent
    const std::string typed = "AB 12CDEFGHXY";
    for (char c : typed) {
        const bool room = name.size() <= 9;
        const TNameEdit e = EditHighScoreName(name, c);
        EXPECT_EQ(e.Sound, room ? 11 : -1) << c;
    }
    EXPECT_EQ(name, "AB 12CDEFG");
    EXPECT_EQ(EditHighScoreName(name, 8).Sound, 10);
    EXPECT_EQ(name, "AB 12CDEF");
    for (int key : {9, 47, 58, 64, 91, 97, 189, -1}) {
        const TNameEdit e = EditHighScoreName(name, key);
        EXPECT_EQ(e.Sound, -1) << key;
        EXPECT_FALSE(e.Done) << key;
    }
    EXPECT_EQ(name, "AB 12CDEF");
    EXPECT_TRUE(EditHighScoreName(name, 13).Done);
    EXPECT_TRUE(EditHighScoreName(name, 27).Done);
}

TEST(CoreRulesTest, MenuPagesSkipWhatDoesNotExist) {
    struct TCase {
        TMenuPages pages;
        std::vector<int> cycle;  // pages after 0
    };
    const std::vector<TCase> cases = {
        {{false, false, false}, {0, 0}},
        {{true, true, true}, {2, 3, 4, 0}},
        {{true, false, false}, {4, 0}},
        {{false, true, false}, {3, 0}},
        {{false, false, true}, {2, 0}},
    };
    for (const TCase& c : cases) {
        std::uint8_t page = 0;
        for (int expected : c.cycle) {
            page = NextMenuPage(page, c.pages);
            EXPECT_EQ(page, expected);
        }
    }
    EXPECT_EQ(NextMenuPage(1, {false, false, false}), 0);
}

TEST(CoreRulesTest, MenuCaptionComesInHoldsLeavesAndAdvances) {
    TMenuCaption caption;
    const TMenuPages pages{true, false, false};
    struct TPoint {
        std::int32_t time;
        float param;
    };
    std::vector<TPoint> seen;
    for (int tick = 0; tick < 681; ++tick) {
        StepMenuCaption(caption, pages);
        seen.push_back({caption.MenuTextTime, caption.MenuTextParam});
    }
    EXPECT_FLOAT_EQ(seen[68].param, -1);                 // 690 ms: nothing yet
    EXPECT_NEAR(seen[69].param, (700 - 4200) / 3500.0, 1e-6);  // 700 ms
    EXPECT_NEAR(seen[418].param, -10 / 3500.0, 1e-6);    // 4190
    EXPECT_FLOAT_EQ(seen[419].param, 0);                 // 4200
    EXPECT_FLOAT_EQ(seen[599].param, 0);                 // 6000
    EXPECT_NEAR(seen[600].param, 10 / 800.0, 1e-6);      // 6010
    EXPECT_NEAR(seen[679].param, 1, 1e-6);               // 6800
    EXPECT_EQ(seen[680].time, 0);                        // 6810: restart
    EXPECT_FLOAT_EQ(seen[680].param, -1);
    EXPECT_EQ(caption.MenuPage, 4);
}

TEST(CoreRulesTest, CountdownShowsOnlyDigitsAndChangesTenTimes) {
    const std::int32_t length = 90000;
    EXPECT_EQ(CountdownDigit(length, 79999), -1);
    EXPECT_EQ(CountdownDigit(length, 80000), -1);  // exactly 10 s left: not yet
    EXPECT_EQ(CountdownDigit(length, 80010), 9);
    EXPECT_EQ(CountdownDigit(length, 89000), 1);
    EXPECT_EQ(CountdownDigit(length, 89010), 0);
    EXPECT_EQ(CountdownDigit(length, 90000), 0);
    EXPECT_EQ(CountdownDigit(length, 90500), -1);  // past the end
    int shown = 10, changes = 0;
    for (std::int32_t t = 0; t <= length + 2000; t += 10) {
        const int s = CountdownDigit(length, t);
        if (s >= 0 && s != shown) {
            shown = s;
            ++changes;
        }
    }
    EXPECT_EQ(changes, 10);
}

TEST(CoreRulesTest, HudTimeCountsUpInADuelAndDownNeverNegativeOtherwise) {
    struct TCase {
        bool duel;
        int phase;
        std::int32_t logicTime, stateTime;
        const char* text;
    };
    const TCase cases[] = {
        {true, 3, 12050, 0, "12.05"}, {true, 3, 0, 0, "0.00"},      {true, 3, 61999, 0, "61.99"},
        {false, 3, 0, 0, "90"},       {false, 3, 1, 0, "89"},        {false, 3, 89999, 0, "0"},
        {false, 3, 95000, 0, "0"},    {false, 0, 0, 50, "45"},       {false, 0, 0, 100, "90"},
        {false, 1, 0, 0, "90"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(HudTimeText(c.duel, c.phase, 90000, c.logicTime, c.stateTime), c.text) << c.logicTime;
}

TEST(CoreRulesTest, SmallDrawingRules) {
    // Replay letter: on 512 ms, off 512 ms.
    const std::pair<std::int32_t, bool> blink[] = {{0, true}, {511, true}, {512, false}, {1023, false}, {1024, true}};
    for (const auto& [t, on] : blink) EXPECT_EQ(ReplayLetterVisible(t), on) << t;
    // Option bar.
    EXPECT_EQ(OptionBarWidth(0), 0);
    EXPECT_EQ(OptionBarWidth(50), 22);
    EXPECT_EQ(OptionBarWidth(99), 43);
    EXPECT_EQ(OptionBarWidth(100), 44);
    // Brightness.
    EXPECT_EQ(BrightnessColours(0)[0], 0xFF000000u);
    EXPECT_EQ(BrightnessColours(1)[3], 0xFFFFFFFFu);
    EXPECT_EQ(BrightnessColours(0.5f)[1], 0xFF7F7F7Fu);
    // Number sprites and their sign.
    EXPECT_EQ(NumberGlyphs(-305, 0xFFFF0000u), (std::vector<int>{10, 3, 0, 5}));
    EXPECT_EQ(NumberGlyphs(42, 0xFFFF0000u), (std::vector<int>{11, 4, 2}));
    EXPECT_EQ(NumberGlyphs(42, 0xFFFFFFFFu), (std::vector<int>{4, 2}));
    EXPECT_EQ(NumberGlyphs(-7, 0xFFFFFFFFu), (std::vector<int>{10, 7}));
    EXPECT_EQ(NumberGlyphs(0, 0xFFFF0000u), (std::vector<int>{0}));
}

TEST(CoreRulesTest, GameModeMustBe800x600WithSoftwareVertexProcessing) {
    test::TLogCapture log;
    TzkD3DMode mode;
    mode.Width = 800;
    mode.Height = 600;
    mode.BehaviorFlags = 0x20;
    mode.Format = d3d::D3DFMT_R5G6B5;  // 16-bit full screen is fine
    EXPECT_NO_THROW(CheckGameMode(mode));
    struct TCase {
        std::uint32_t w, h, flags;
    };
    for (const TCase c : {TCase{640, 480, 0x20}, TCase{800, 600, 32 * 0 + 0x40}, TCase{800, 601, 0x20}}) {
        mode.Width = c.w;
        mode.Height = c.h;
        mode.BehaviorFlags = c.flags;
        try {
            CheckGameMode(mode);
            ADD_FAILURE() << "accepted " << c.w;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Invalid mode");
        }
    }
    EXPECT_EQ(log.Count("Invalid mode (width=800 / height=601 / behavior=32)"), 1);
}

}  // namespace
}  // namespace qv
