#include <gtest/gtest.h>

#include "game/data/qv3CreatureTypes.h"

namespace qv {
namespace {

TEST(CreatureTypes, SixteenRowsAllWorthPoints) {
    ASSERT_EQ(CreatureTypes.size(), 16u);
    const std::int32_t points[16] = {120, 500, 100, 300, 150, 450, 120, 140, 100, 160, 180, 200, 2500, 1000, 500, 80};
    for (int t = 0; t < 16; ++t) {
        const TCreatureTypeInfo& row = CreatureTypes[static_cast<std::size_t>(t)];
        EXPECT_EQ(row.Points, points[t]) << "type " << t;
        EXPECT_GT(row.Points, 0) << "type " << t;
        EXPECT_EQ(row.List, t < 6 ? 0 : t < 15 ? 1 : 9) << "type " << t;
        EXPECT_FLOAT_EQ(row.SpeedBase, t == 15 ? 0.0f : 0.116f) << "type " << t;
        EXPECT_FLOAT_EQ(row.SpeedFactor, 2.9f);
        EXPECT_EQ(row.TimeSpread, 22365);
        EXPECT_FLOAT_EQ(row.HotSpotY, 0.5f);
        EXPECT_EQ(row.FrameGapY, 1);
        // The viruses with twelve frames have a horizontal gap between them.
        EXPECT_EQ(row.FrameGapX, row.FrameColumns * row.FrameRows == 12 ? 1 : 0) << "type " << t;
    }
    EXPECT_FALSE(IsCreatureType(-1));
    EXPECT_FALSE(IsCreatureType(16));
    EXPECT_TRUE(IsCreatureType(15));
}

TEST(CreatureTypes, RangesAndLayoutOfTheSpecialKinds) {
    EXPECT_FLOAT_EQ(CreatureTypes[3].YBase, 180.0f);  // the splitter
    EXPECT_FLOAT_EQ(CreatureTypes[3].YRange, 240.0f);
    EXPECT_FLOAT_EQ(CreatureTypes[5].YBase, 140.0f);
    EXPECT_FLOAT_EQ(CreatureTypes[5].YRange, 370.0f);
    const TCreatureTypeInfo& cork = CreatureTypes[4];
    EXPECT_EQ(cork.SourceRect.Right - cork.SourceRect.Left, 153);
    EXPECT_EQ(cork.SourceRect.Bottom - cork.SourceRect.Top, 41);
    EXPECT_EQ(cork.FrameColumns, 1);
    EXPECT_EQ(cork.FrameRows, 6);
    EXPECT_EQ(cork.Segments, 5);
    EXPECT_EQ(CreatureTypes[12].DrawWidth, 307);
    EXPECT_EQ(CreatureTypes[12].DrawHeight, 54);
    EXPECT_EQ(CreatureTypes[12].Image, 13);
}

TEST(CreatureTypes, SizeTable) {
    const std::int32_t expected[16] = {42, 42, 42, 42, 0, 42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 26};
    for (int t = 0; t < 16; ++t) EXPECT_EQ(CreatureSizes()[static_cast<std::size_t>(t)], expected[t]) << "type " << t;
}

}  // namespace
}  // namespace qv
