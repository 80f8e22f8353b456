// Hostile recorded level streams, as stored (enciphered) or, to reach the
// content quickly, as plain content enciphered here first. A stream that
// loads is replayed input by input over a fixed level.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/BinaryIO.h"
#include "foundation/Exceptions.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3LevelData.h"
#include "game/data/qv3RecordedLevel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> level = [] {
        qv::TLevelFile file;
        for (int i = 0; i < 10; ++i) {
            qv::TLevelEntry e;
            e.CreatureType = static_cast<std::uint8_t>(i);
            e.GroupId = static_cast<std::int16_t>(i % 3 - 1);
            e.SpreadFraction = 1.0f;
            file.Entries.push_back(e);
        }
        return qv::WriteLevelData(file);
    }();
    if (size < 1) return 0;
    std::span<const std::uint8_t> input(data + 1, size - 1);
    std::vector<std::uint8_t> stream;
    if (data[0] & 1) {
        stream = qv::EncipherLevelStream(input);
    } else {
        stream.assign(input.begin(), input.end());
    }
    try {
        qv::TRecordedLevelReader record(stream);
        qv::TLevelDataReader reader(level, &record.Words(), nullptr);
        qv::TGameInput& replay = record.Input();
        std::int32_t mouseY = 0;
        std::uint8_t direction = 0;
        bool torpedo = false, seeker = false, space = false, clicked = false;
        // Each record covers up to 255 ticks: a few thousand play every kind
        // of record several times over.
        constexpr std::int32_t kTicks = 8192;
        const std::int32_t ticks = replay.PendingTicks();
        for (std::int32_t t = 0; t < ticks && t < kTicks; ++t)
            replay.NextTick(mouseY, direction, torpedo, seeker, space, clicked);
        if (ticks <= kTicks && !replay.Empty()) __builtin_trap();
    } catch (const qv::EDataError&) {
    } catch (const qv::EBinaryError&) {
    }
    return 0;
}
