// The level design compiler: what a design line becomes in the level file,
// and the clear error a bad line gets.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "foundation/Exceptions.h"
#include "tools/qvgen/Levels.h"

namespace qv {
namespace {

std::string ErrorOf(const std::string& design) {
    try {
        gen::ParseLevelDesign(design, "test.txt");
    } catch (const Exception& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(LevelDesignTest, FieldsBecomeTheStoredEntry) {
    const TLevelFile level = gen::ParseLevelDesign(
        "# a comment line\n"
        "scenery 2\n"
        "creature type=cork at=10 height=0.25 speed=0.05 chance=0.5 spread=2 wobble=0.3 group=4 variant=7 "
        "dir=-12 turn=360 turnafter=600   # trailing comment\n"
        "creature type=13 pos=-5 height=random\n",
        "test.txt");
    EXPECT_EQ(level.SceneryNumber, 2);
    ASSERT_EQ(level.Entries.size(), 2u);
    const TLevelEntry& e = level.Entries[0];
    EXPECT_EQ(e.CreatureType, 4);
    EXPECT_EQ(e.BasePosition, 2485);
    EXPECT_EQ(e.HeightFromWord, 0);
    EXPECT_FLOAT_EQ(e.HeightFraction, 0.25f);
    EXPECT_FLOAT_EQ(e.SpeedFraction, 0.05f);
    EXPECT_FLOAT_EQ(e.Probability, 0.5f);
    EXPECT_FLOAT_EQ(e.SpreadFraction, static_cast<float>(2 * 248.5 / 22365));
    EXPECT_FLOAT_EQ(e.Wobble, 0.3f);
    EXPECT_EQ(e.GroupId, 4);
    EXPECT_EQ(e.Variant, 7);
    EXPECT_FLOAT_EQ(e.Direction, static_cast<float>(348 * std::numbers::pi / 180));
    EXPECT_FLOAT_EQ(e.TargetDirection, static_cast<float>(2 * std::numbers::pi));
    EXPECT_EQ(e.TurnDistance, 600);
    const TLevelEntry& f = level.Entries[1];
    EXPECT_EQ(f.CreatureType, 13);
    EXPECT_EQ(f.BasePosition, -5);
    EXPECT_EQ(f.HeightFromWord, 1);
    EXPECT_EQ(f.GroupId, -1);
    EXPECT_FLOAT_EQ(f.Probability, 1.0f);
    EXPECT_FLOAT_EQ(f.TargetDirection, f.Direction);
}

TEST(LevelDesignTest, RunsOfCopiesStepInTimeAndHeight) {
    const TLevelFile level =
        gen::ParseLevelDesign("creature type=virus1 at=2 height=0.1 count=3 every=0.5 rise=0.2 group=0\n", "t");
    ASSERT_EQ(level.Entries.size(), 3u);
    EXPECT_EQ(level.SceneryNumber, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(level.Entries[static_cast<std::size_t>(i)].BasePosition, std::lround((2 + 0.5 * i) * 248.5));
        EXPECT_FLOAT_EQ(level.Entries[static_cast<std::size_t>(i)].HeightFraction, static_cast<float>(0.1 + 0.2 * i));
        EXPECT_EQ(level.Entries[static_cast<std::size_t>(i)].GroupId, 0);
    }
}

TEST(LevelDesignTest, BadLinesAreRefusedWithTheirLineAndReason) {
    struct TCase {
        const char* Design;
        const char* Error;
    };
    const TCase cases[] = {
        {"\n\nmonster type=virus1 at=1", "test.txt:3: unknown statement 'monster'"},
        {"creature at=1", "test.txt:1: a creature needs a type"},
        {"creature type=dragon at=1", "test.txt:1: unknown creature type 'dragon'"},
        {"creature type=16 at=1", "test.txt:1: unknown creature type '16'"},
        {"creature type=virus1", "test.txt:1: a creature needs exactly one of 'at' and 'pos'"},
        {"creature type=virus1 at=1 pos=3", "test.txt:1: a creature needs exactly one of 'at' and 'pos'"},
        {"creature type=virus1 at=1 height=1.5", "test.txt:1: 'height' must lie in"},
        {"creature type=virus1 at=1 chance=2", "test.txt:1: 'chance' must lie in"},
        {"creature type=virus1 at=one", "test.txt:1: 'at' needs a number, not 'one'"},
        {"creature type=virus1 at=1 colour=red", "test.txt:1: unknown field 'colour'"},
        {"creature type=virus1 at=1 at=2", "test.txt:1: 'at' given twice"},
        {"creature type=virus1 at=1 speed", "test.txt:1: expected key=value, found 'speed'"},
        {"creature type=virus1 at=1 group=2.5", "test.txt:1: 'group' must be a whole number"},
        {"creature type=virus1 at=1 count=3", "test.txt:1: copies need 'every' or 'rise'"},
        {"creature type=virus1 at=1 height=0.8 count=3 rise=0.2", "test.txt:1: a copy's height leaves 0 .. 1"},
        {"scenery 1\nscenery 2", "test.txt:2: 'scenery' given twice"},
        {"scenery", "test.txt:1: 'scenery' takes one number"},
    };
    for (const TCase& c : cases) EXPECT_NE(ErrorOf(c.Design).find(c.Error), std::string::npos) << c.Design << " -> " << ErrorOf(c.Design);
}

}  // namespace
}  // namespace qv
