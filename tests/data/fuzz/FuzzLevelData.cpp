// Hostile level files, with drawn or with recorded generation words; a level
// that loads is played through.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "foundation/BinaryIO.h"
#include "foundation/Exceptions.h"
#include "foundation/Random.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3LevelData.h"

namespace {

void Play(qv::TLevelDataReader& level) {
    for (int round = 0; round < 2; ++round) {
        for (int tick = 0; tick < 200 && !level.AllHandedOut(); ++tick) {
            const qv::TItemRange r = level.Advance(500.0f);
            for (std::int32_t i = r.First; i <= r.Last; ++i) level.GroupCaught(level.Item(i).GroupId);
        }
        level.Restart();
    }
    qv::TBinaryWriter out;
    level.WriteGenerationWords(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool recorded = data[0] & 1;
    std::span<const std::uint8_t> input(data + 1, size - 1);
    try {
        if (recorded) {
            // Two bytes (little-endian) tell how long the level file is; the
            // words follow it.
            if (input.size() < 2) return 0;
            const std::size_t length = input[0] | (std::size_t{input[1]} << 8);
            input = input.subspan(2);
            const std::size_t at = length < input.size() ? length : input.size();
            qv::TBinaryReader words(input.subspan(at));
            qv::TLevelDataReader level(input.first(at), &words, nullptr);
            Play(level);
        } else {
            qv::TRandom generator(size);
            qv::TRandomSource random(generator);
            qv::TLevelDataReader level(input, nullptr, &random);
            Play(level);
        }
    } catch (const qv::EDataError&) {
    } catch (const qv::EBinaryError&) {
    }
    return 0;
}
