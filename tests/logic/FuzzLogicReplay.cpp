// Hostile recorded levels played to their end over a busy level: any end
// time, start score and input records (each covering 1..255 ticks, marked
// or not as bringing nothing), with generation words made from the input.
// The level lasts 1 s with its 40 entries in the first 0.3 s, so every input
// is played to an end (the record's or the level's) within 110 ticks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/Random.h"
#include "game/data/qv3RecordedLevel.h"
#include "tests/support/LogicTestSupport.h"

namespace {

constexpr std::int32_t kLevelLength = 1000;             // ms
constexpr int kTicks = kLevelLength / 10 + 10;          // the level's ticks, and some
constexpr std::size_t kRecords = kLevelLength / 10 + 1; // more, each a tick at least, are never read

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qv::test::TLogicWorld world(qv::test::BusyLevel(40, 300), kLevelLength, 1);
    if (size < 8) return 0;
    world.effects.Bubbles.clear();
    qv::TRecordedLevelHeader header;
    std::memcpy(&header.EndTime, data, 4);
    std::memcpy(&header.StartScore, data + 4, 4);
    header.LevelNumber = 1;
    qv::TGameInput input;
    for (std::size_t i = 8; i + 4 <= size && static_cast<std::size_t>(input.Count()) < kRecords; i += 4) {
        std::uint32_t record = 0;
        std::memcpy(&record, data + i, 4);
        if ((record & 0xFFu) == 0) record |= 1u;
        input.Add(record);
    }
    qv::TRandom random(header.EndTime ^ (static_cast<std::uint64_t>(header.StartScore) << 32));
    std::vector<std::uint16_t> words(40);  // one per entry of the level
    for (auto& w : words) w = static_cast<std::uint16_t>(random.Next32() & 0x7FFFu);
    auto logic = world.FromRecord(qv::WriteRecordedLevel(header, input, words));
    for (int t = 0; t < 3; ++t) logic->Step(false, 1);
    for (int t = 0; t < kTicks && !logic->Finished; ++t) logic->Step(true, 1);
    if (!logic->Finished) __builtin_trap();  // the level's end comes at the latest
    logic->StateHash();
    return 0;
}
