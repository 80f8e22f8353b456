// Hostile replay packs, as stored or, to reach the content quickly, as plain
// content enciphered here first. Whatever loads must hand out its levels.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "game/logic/qv3ReplayPack.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    const std::vector<std::uint8_t> file =
        data[0] & 1 ? qv::EncipherReplayPack(input) : std::vector<std::uint8_t>(input.begin(), input.end());
    const qv::TReplayPack pack = qv::TReplayPack::FromStream(file);
    if (pack.LevelCount() > 1) __builtin_trap();
    for (int n = 1; n <= pack.LevelCount(); ++n)
        if (pack.GetLevel(n).empty()) __builtin_trap();
    return 0;
}
