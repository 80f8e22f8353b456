#include <gtest/gtest.h>

#include <vector>

#include "multiplayer/qv3DuelMessages.h"

namespace qv::duel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const TGuid kRace = {0x11223344u, 0x5566u, 0x7788u, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x01}};

TEST(DuelMessages, ExactBytesOfEveryMessage) {
    const Bytes level{0xDE, 0xAD, 0xBE};
    const auto start = EncodeStart(kRace, level);
    ASSERT_TRUE(start);
    EXPECT_EQ(*start, (Bytes{201, 0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE,
                             0xF0, 0x01, 3, 0, 0xDE, 0xAD, 0xBE}));
    EXPECT_EQ(EncodeResult(-2), (Bytes{202, 0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(EncodeResult(123456), (Bytes{202, 0x40, 0xE2, 0x01, 0x00}));
    // score 100, cannonY 300: 100 | 300 << 21 = 0x25800064
    EXPECT_EQ(EncodeStatus(100, 300, 0x1234), (Bytes{203, 0x64, 0x00, 0x80, 0x25, 0x34, 0x12}));
    EXPECT_EQ(EncodeReady(), Bytes{204});
    EXPECT_EQ(EncodeQuit(), Bytes{205});
    EXPECT_EQ(EncodePing(kMsgPing, 0x01020304), (Bytes{206, 4, 3, 2, 1}));
    EXPECT_EQ(EncodePing(kMsgPingAnswer, 7), (Bytes{207, 7, 0, 0, 0}));
}

TEST(DuelMessages, StatusPackingCutsEachValueToItsWidth) {
    struct Case {
        std::int32_t score, cannonY;
        std::uint32_t age;
        std::int32_t wantScore, wantY;
        std::uint16_t wantAge;
    };
    const Case cases[] = {
        {0x1FFFFF, 1023, 0xFFFF, 0x1FFFFF, 1023, 0xFFFF},  // the largest values fit
        {0x1FFFFF + 1, 1024, 0x10000, 0, 0, 0xFFFF},       // one more wraps; 65.536 s caps
        {0, 0, 70000, 0, 0, 0xFFFF},                       // 70 s after the last event
        {-1, -1, 0, 0x1FFFFF, 1023, 0},                    // negative values keep their low bits
        {5000, 412, 16, 5000, 412, 16},
    };
    for (const auto& c : cases) {
        const auto bytes = EncodeStatus(c.score, c.cannonY, c.age);
        ASSERT_EQ(bytes.size(), 7u);
        const auto m = DecodeDuelMessage(bytes);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->Packed & 0x80000000u, 0u) << "bit 31 stays clear";
        EXPECT_EQ(StatusScore(m->Packed), c.wantScore);
        EXPECT_EQ(StatusCannonY(m->Packed), c.wantY);
        EXPECT_EQ(m->Age, c.wantAge);
    }
}

TEST(DuelMessages, DecodeRoundTrips) {
    const Bytes level(300, 0x5A);
    const auto startBytes = *EncodeStart(kRace, level);
    const auto start = DecodeDuelMessage(startBytes);  // its level points into startBytes
    ASSERT_TRUE(start);
    EXPECT_EQ(start->Code, kMsgStart);
    EXPECT_EQ(start->RaceId, kRace);
    EXPECT_EQ(Bytes(start->Level.begin(), start->Level.end()), level);
    EXPECT_EQ(DecodeDuelMessage(EncodeResult(-7))->Result, -7);
    EXPECT_EQ(DecodeDuelMessage(EncodePing(kMsgPing, 0xFFFFFFFF))->Tick, 0xFFFFFFFFu);
    EXPECT_EQ(DecodeDuelMessage(EncodePing(kMsgPingAnswer, 99))->Tick, 99u);
    // An empty level is a whole message too.
    const auto emptyBytes = *EncodeStart(kRace, {});
    const auto empty = DecodeDuelMessage(emptyBytes);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->Level.empty());
}

TEST(DuelMessages, SizesOtherThanTheExactOnesAreRejected) {
    const auto sized = [](std::uint8_t code, std::size_t size) {
        Bytes b(size, 0);
        if (size > 0) b[0] = code;
        return DecodeDuelMessage(b).has_value();
    };
    struct Case {
        std::uint8_t code;
        std::size_t size;
        bool taken;
    };
    const Case cases[] = {
        {202, 4, false}, {202, 5, true},  {202, 6, false}, {203, 6, false}, {203, 7, true},
        {203, 8, false}, {206, 4, false}, {206, 5, true},  {206, 6, false}, {207, 4, false},
        {207, 5, true},  {207, 6, false}, {204, 1, true},  {204, 9, true},  {205, 1, true},
        {205, 3, true},  {201, 1, false}, {201, 18, false}, {200, 5, false}, {208, 1, false},
        {0, 0, false},
    };
    for (const auto& c : cases) EXPECT_EQ(sized(c.code, c.size), c.taken) << int(c.code) << " at " << c.size;
}

TEST(DuelMessages, StartMustCarryExactlyItsAnnouncedLevel) {
    auto start = *EncodeStart(kRace, Bytes(10, 1));
    ASSERT_TRUE(DecodeDuelMessage(start));
    auto shorter = start;
    shorter.pop_back();  // n says 10, 9 follow: would read past the end
    EXPECT_FALSE(DecodeDuelMessage(shorter));
    auto longer = start;
    longer.push_back(0);  // a trailing byte the length does not cover
    EXPECT_FALSE(DecodeDuelMessage(longer));
    auto huge = start;
    huge[17] = 0xFF;
    huge[18] = 0xFF;
    EXPECT_FALSE(DecodeDuelMessage(huge));
}

TEST(DuelMessages, LevelOf64KiBOrMoreIsRefused) {
    EXPECT_TRUE(EncodeStart(kRace, Bytes(0xFFFF, 0)));
    EXPECT_FALSE(EncodeStart(kRace, Bytes(0x10000, 0)));
}

}  // namespace
}  // namespace qv::duel
