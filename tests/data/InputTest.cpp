#include <gtest/gtest.h>

#include "foundation/BinaryIO.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3Input.h"

namespace qv {
namespace {

struct Tick {
    bool delivered;
    std::int32_t mouseY = -7;
    std::uint8_t direction = 9;
    bool torpedo = false, seeker = false, space = false, clicked = false;
};

Tick Next(TGameInput& input) {
    Tick t{false};
    t.delivered = input.NextTick(t.mouseY, t.direction, t.torpedo, t.seeker, t.space, t.clicked);
    return t;
}

TEST(InputRecord, PacksEveryFieldIntoItsBits) {
    EXPECT_EQ(PackInputRecord(3, 0, 0, false, false, {}), 3u);
    EXPECT_EQ(PackInputRecord(0, 0x155, 0, false, false, {}), 0x155u << 8);
    EXPECT_EQ(PackInputRecord(0, 0, 1, false, false, {}), 1u << 18);
    EXPECT_EQ(PackInputRecord(0, 0, 2, false, false, {}), 1u << 19);
    EXPECT_EQ(PackInputRecord(0, 0, 0, true, false, {}), 1u << 24);
    EXPECT_EQ(PackInputRecord(0, 0, 0, false, true, {}), 1u << 25);
    EXPECT_EQ(PackInputRecord(0, 0, 0, false, false, {true, false}), 1u << 26);
    EXPECT_EQ(PackInputRecord(0, 0, 0, false, false, {false, true}), 1u << 27);
    // Each field is masked to its width; nothing spills into other bits.
    EXPECT_EQ(PackInputRecord(0x1FF, 0, 7, false, false, {}), 0xFFu | (3u << 18));
    EXPECT_EQ(RecordMouseY(PackInputRecord(1, -1, 0, false, false, {})), 1023);
    EXPECT_EQ(PackInputRecord(255, -1, 3, true, true, {true, true}) & 0xF0F00000u, 0u);
}

TEST(GameInput, ARecordDeliversOnItsFirstTickAndLeavesAfterItsLast) {
    TGameInput input;
    input.AddSample(3, 250, 2, true, true, {true, false});
    input.AddSample(1, 100, 0, false, false, {false, true});
    EXPECT_EQ(input.PendingTicks(), 4);
    EXPECT_EQ(input.HeadTicks(), 3);

    // NextTick's outputs come in another order than AddSample's arguments.
    const Tick first = Next(input);
    ASSERT_TRUE(first.delivered);
    EXPECT_EQ(first.mouseY, 250);
    EXPECT_EQ(first.direction, 2);
    EXPECT_TRUE(first.torpedo);
    EXPECT_FALSE(first.seeker);
    EXPECT_TRUE(first.space);
    EXPECT_TRUE(first.clicked);

    for (int i = 0; i < 2; ++i) {
        const Tick later = Next(input);
        EXPECT_FALSE(later.delivered);
        EXPECT_EQ(later.mouseY, -7) << "outputs untouched on a later tick";
    }
    EXPECT_EQ(input.Count(), 1);
    EXPECT_EQ(input.PendingTicks(), 1);

    const Tick single = Next(input);
    ASSERT_TRUE(single.delivered);
    EXPECT_EQ(single.mouseY, 100);
    EXPECT_TRUE(single.seeker);
    EXPECT_TRUE(input.Empty());
    EXPECT_EQ(input.PendingTicks(), 0);

    const Tick none = Next(input);
    EXPECT_FALSE(none.delivered);
    EXPECT_EQ(none.mouseY, -7);
    EXPECT_EQ(none.direction, 9);
}

TEST(GameInput, ClearEmptiesAndTheNextAddSetsTheHead) {
    TGameInput input;
    input.AddSample(5, 0, 0, false, false, {});
    Next(input);
    input.Clear();
    EXPECT_TRUE(input.Empty());
    EXPECT_EQ(input.PendingTicks(), 0);
    EXPECT_EQ(input.HeadTicks(), 4);  // left as it was
    input.AddSample(2, 10, 0, false, false, {});
    EXPECT_EQ(input.HeadTicks(), 2);
    EXPECT_TRUE(Next(input).delivered);
}

TEST(GameInput, ARecordOfNoTicksIsDropped) {
    TGameInput input;
    input.AddSample(0, 10, 0, true, false, {});
    EXPECT_TRUE(input.Empty());
    EXPECT_EQ(input.PendingTicks(), 0);
}

TEST(GameInput, WriteAndReadKeepRecordsAndTicks) {
    TGameInput input;
    input.AddSample(2, 300, 1, true, false, {});
    input.AddSample(10, 1023, 0, false, true, {true, true});
    input.AddSample(1, 0, 2, false, false, {});
    Next(input);  // part of the head is consumed: reading starts it afresh
    TBinaryWriter out;
    input.WriteToStream(out);
    EXPECT_EQ(out.Size(), 4u + 3 * 4u);

    TGameInput back;
    TBinaryReader in(out.Data());
    back.ReadFromStream(in);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(back.Records(), input.Records());
    EXPECT_EQ(back.PendingTicks(), 13);
    EXPECT_EQ(back.HeadTicks(), 2);
}

TEST(GameInput, ReadingRejectsBadListsAndKeepsTheOldOne) {
    TGameInput input;
    input.AddSample(4, 1, 0, false, false, {});
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"negative count", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"count beyond the data", {2, 0, 0, 0, 1, 0, 0, 0}},
        {"huge count", {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0}},
        {"record of no ticks", {1, 0, 0, 0, 0, 5, 0, 0}},
        {"cut count", {1, 0}},
    };
    for (const Case& c : cases) {
        TBinaryReader in(c.bytes);
        EXPECT_ANY_THROW(input.ReadFromStream(in)) << c.what;
        EXPECT_EQ(input.Count(), 1) << c.what;
        EXPECT_EQ(input.PendingTicks(), 4) << c.what;
    }
    TGameInput three;
    for (std::uint32_t t = 1; t <= 3; ++t) three.AddSample(t, 0, 0, false, false, {});
    TBinaryWriter out;
    three.WriteToStream(out);
    for (std::size_t n = 0; n < out.Size(); ++n) {
        TBinaryReader in(out.Data().data(), n);
        EXPECT_ANY_THROW(input.ReadFromStream(in)) << "cut at " << n;
        EXPECT_EQ(input.Count(), 1) << "cut at " << n;
    }
}

}  // namespace
}  // namespace qv
