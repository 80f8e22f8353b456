#include <gtest/gtest.h>

#include <climits>
#include <numbers>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/zkGeometry.h"

namespace qv {
namespace {

std::vector<std::int32_t> KeysOf(const TIntSortedList& list) {
    std::vector<std::int32_t> keys;
    for (int i = 0; i < list.Count(); ++i) keys.push_back(list.Keys(i));
    return keys;
}

TEST(IntSortedList, KeepsKeysSortedAndEqualKeysInInsertionOrder) {
    TIntSortedList list;
    list.Add(6, 1);
    list.Add(6, 2);
    list.Add(6, 3);
    EXPECT_EQ(list.Add(5, 4), 0);
    EXPECT_EQ(KeysOf(list), (std::vector<std::int32_t>{5, 6, 6, 6}));
    EXPECT_EQ(list.Values(1), 1);
    EXPECT_EQ(list.Values(2), 2);
    EXPECT_EQ(list.Values(3), 3);
    // A further 6 goes after every entry with key 6.
    EXPECT_EQ(list.Add(6, 5), 4);
}

TEST(IntSortedList, FindGivesTheFirstEntryOfAKeyOrWhereItWouldGo) {
    TIntSortedList list;
    for (std::int32_t k : {-3, 4, 4, 9}) list.Add(k, k * 10);
    int index = -1;
    EXPECT_TRUE(list.Find(4, index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find(5, index));
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(list.Find(100, index));
    EXPECT_EQ(index, 4);
    EXPECT_FALSE(list.Find(INT32_MIN, index));
    EXPECT_EQ(index, 0);
}

TEST(IntSortedList, TheLargestKeyStillGoesLast) {
    TIntSortedList list;
    list.Add(INT32_MAX, 1);
    list.Add(INT32_MIN, 2);
    list.Add(INT32_MAX, 3);
    EXPECT_EQ(KeysOf(list), (std::vector<std::int32_t>{INT32_MIN, INT32_MAX, INT32_MAX}));
    EXPECT_EQ(list.Values(2), 3);
}

TEST(IntSortedList, RemoveDeletesTheFirstEntryOfAKeyAndIgnoresAnAbsentOne) {
    TIntSortedList list;
    list.Add(4, 1);
    list.Add(4, 2);
    list.Add(7, 3);
    list.Remove(5);
    EXPECT_EQ(list.Count(), 3);
    list.Remove(4);
    EXPECT_EQ(KeysOf(list), (std::vector<std::int32_t>{4, 7}));
    EXPECT_EQ(list.Values(0), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(IntSortedList, IndexesOutsideTheListRaise) {
    TIntSortedList list;
    list.Add(1, 1);
    for (int bad : {-1, 1, 1000}) {
        EXPECT_THROW(list.Keys(bad), EListError);
        EXPECT_THROW(list.Values(bad), EListError);
        EXPECT_THROW(list.Delete(bad), EListError);
    }
    try {
        list.Keys(1);
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Index out of bounds");
    }
}

struct QuadCase {
    float angle;
    std::array<TPointF, 4> corners;
};

TEST(ComputeQuadVertices, CornersOfAScaledRotatedQuad) {
    const float q = std::numbers::pi_v<float> / 2;
    const QuadCase cases[] = {
        {0.0f, {{{9, 9.5f}, {11, 9.5f}, {11, 10.5f}, {9, 10.5f}}}},
        // A quarter turn about the reference point (10, 10).
        {q, {{{10.5f, 9}, {10.5f, 11}, {9.5f, 11}, {9.5f, 9}}}},
    };
    for (const QuadCase& c : cases) {
        const auto corners = ComputeQuadVertices({2, 1}, {0.5f, 0.5f}, {10, 10}, c.angle);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(corners[i].X, c.corners[i].X, 1e-5) << "angle " << c.angle << " corner " << i;
            EXPECT_NEAR(corners[i].Y, c.corners[i].Y, 1e-5) << "angle " << c.angle << " corner " << i;
        }
    }
}

TEST(ComputeQuadVertices, DefaultsToAUnitQuadFromItsTopLeft) {
    const auto corners = ComputeQuadVertices({3, 4}, 0.0f);
    const TPointF expected[] = {{3, 4}, {4, 4}, {4, 5}, {3, 5}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(corners[i].X, expected[i].X);
        EXPECT_FLOAT_EQ(corners[i].Y, expected[i].Y);
    }
}

}  // namespace
}  // namespace qv
