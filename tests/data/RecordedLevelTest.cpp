#include <gtest/gtest.h>

#include <cstring>

#include "foundation/BinaryIO.h"
#include "foundation/qv3Cryptography.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3LevelData.h"
#include "game/data/qv3RecordedLevel.h"
#include "tests/support/ScriptedRandom.h"

namespace qv {
namespace {

TGameInput ThreeInputs() {
    TGameInput input;
    input.AddSample(1, 300, 0, true, false, {});
    input.AddSample(3, 310, 1, false, true, {true, false});
    input.AddSample(2, 1023, 2, false, false, {false, true});
    return input;
}

TLevelFile TenEntries() {
    TLevelFile level;
    for (int i = 0; i < 10; ++i) {
        TLevelEntry e;
        e.CreatureType = static_cast<std::uint8_t>(i);
        e.Probability = 0.5f;
        e.BasePosition = 100 * i;
        e.SpreadFraction = 0.5f;
        level.Entries.push_back(e);
    }
    return level;
}

TEST(RecordedLevel, ContentLayoutAndBlockPadding) {
    const std::vector<std::uint16_t> words(10, 0x0203);
    const TRecordedLevelHeader header{90000, 1, 12345};
    const auto plain = RecordedLevelContent(header, ThreeInputs(), words);
    ASSERT_EQ(plain.size(), 57u);  // 5 + 12 + 4 + 12 + 4 + 20
    TBinaryReader in(plain);
    EXPECT_EQ(in.ReadString(5), "zkq3r");
    EXPECT_EQ(in.ReadI32(), 90000);
    EXPECT_EQ(in.ReadI32(), 1);
    EXPECT_EQ(in.ReadI32(), 12345);
    EXPECT_EQ(in.ReadI32(), 3);
    EXPECT_EQ(in.ReadU32(), ThreeInputs().Records()[0]);
    in.Seek(33);
    EXPECT_EQ(in.ReadI32(), 10);
    EXPECT_EQ(in.ReadU16(), 0x0203);

    const auto stream = WriteRecordedLevel(header, ThreeInputs(), words);
    EXPECT_EQ(stream.size(), 64u);
    EXPECT_NE(std::memcmp(stream.data(), "zkq3r", 5), 0) << "the stream is enciphered";
    const auto back = DecipherLevelStream(stream);
    ASSERT_EQ(back.size(), 64u);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), back.begin()));
    for (std::size_t i = 57; i < 64; ++i) EXPECT_EQ(back[i], 0) << i;
}

TEST(RecordedLevel, ALevelPlaysBackWithTheSameItems) {
    const auto levelBytes = WriteLevelData(TenEntries());
    TRandom generator(77);
    TRandomSource random(generator);
    const TLevelDataReader live(levelBytes, nullptr, &random);
    TBinaryWriter words;
    live.WriteGenerationWords(words);

    const TRecordedLevelHeader header{45670, 1, -350};
    const auto stream = WriteRecordedLevel(header, ThreeInputs(), live.GenerationWords());

    TRecordedLevelReader record(stream);
    EXPECT_EQ(record.Header().EndTime, 45670);
    EXPECT_EQ(record.Header().LevelNumber, 1);
    EXPECT_EQ(record.Header().StartScore, -350);
    EXPECT_EQ(record.Input().Records(), ThreeInputs().Records());
    EXPECT_EQ(record.Input().PendingTicks(), 6);
    EXPECT_EQ(record.Input().HeadTicks(), 1);

    const TLevelDataReader replay(levelBytes, &record.Words(), nullptr);
    EXPECT_EQ(replay.GenerationWords(), live.GenerationWords());
    ASSERT_EQ(replay.Count(), live.Count());
    for (int i = 0; i < live.Count(); ++i) {
        EXPECT_EQ(replay.Item(i).CreatureType, live.Item(i).CreatureType);
        EXPECT_EQ(replay.Item(i).Position, live.Item(i).Position);
        EXPECT_EQ(replay.Item(i).Height, live.Item(i).Height);
    }
}

TEST(RecordedLevel, ALevelWithoutEntriesRecordsACountOfZero) {
    TGameInput none;
    const auto plain = RecordedLevelContent({10, 1002, 0}, none, {});
    ASSERT_EQ(plain.size(), 5u + 12 + 4 + 4);
    EXPECT_EQ(std::vector<std::uint8_t>(plain.end() - 4, plain.end()), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    TRecordedLevelReader record(EncipherLevelStream(plain));
    TLevelFile empty;
    const auto level = WriteLevelData(empty);
    const TLevelDataReader reader(level, &record.Words(), nullptr);
    EXPECT_EQ(reader.Count(), 0);
}

std::string ErrorOf(const std::vector<std::uint8_t>& stream) {
    try {
        TRecordedLevelReader record(stream);
        const auto level = WriteLevelData(TenEntries());
        TLevelDataReader reader(level, &record.Words(), nullptr);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(RecordedLevel, BadStreamsAreRejected) {
    const std::vector<std::uint16_t> ten(10, 1);
    const auto good = WriteRecordedLevel({1, 1, 0}, ThreeInputs(), ten);
    ASSERT_EQ(ErrorOf(good), "");

    // Another key deciphers to garbage, which the magic catches.
    TBlowfish other("a different key");
    TMemorySink sink;
    {
        const auto plain = RecordedLevelContent({1, 1, 0}, ThreeInputs(), ten);
        TEncryptionStream s(sink, other);
        s.WriteBuffer(plain.data(), plain.size());
        s.Finish();
    }
    EXPECT_EQ(ErrorOf(sink.Data()), "Invalid recorded game data file");

    EXPECT_EQ(ErrorOf(WriteRecordedLevel({1, 1, 0}, ThreeInputs(), std::vector<std::uint16_t>(9, 1))),
              "Generated level data count different from level count");

    // Cut anywhere: a trailing partial block is never read, so every cut
    // ends the content early.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(ErrorOf({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)}), "") << n;

    // Input counts far beyond the stream.
    for (std::int32_t count : {-1, 1 << 30, 0x7FFFFFFF}) {
        auto plain = RecordedLevelContent({1, 1, 0}, ThreeInputs(), ten);
        std::memcpy(plain.data() + 17, &count, 4);
        EXPECT_THROW(TRecordedLevelReader(EncipherLevelStream(plain)), EDataError) << count;
    }
}

}  // namespace
}  // namespace qv
