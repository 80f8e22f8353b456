// Hostile input lists: a list that loads is consumed tick by tick and
// written back unchanged.
#include <cstddef>
#include <cstdint>
#include <span>

#include "foundation/BinaryIO.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3Input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::TGameInput input;
    qv::TBinaryReader in(std::span<const std::uint8_t>(data, size));
    try {
        input.ReadFromStream(in);
    } catch (const qv::EDataError&) {
        return 0;
    } catch (const qv::EBinaryError&) {
        return 0;
    }
    qv::TBinaryWriter out;
    input.WriteToStream(out);
    if (out.Size() != in.Position()) __builtin_trap();
    std::int32_t mouseY = 0;
    std::uint8_t direction = 0;
    bool torpedo = false, seeker = false, space = false, clicked = false;
    const std::int32_t ticks = input.PendingTicks();
    for (std::int32_t t = 0; t < ticks && t < 100000; ++t)
        input.NextTick(mouseY, direction, torpedo, seeker, space, clicked);
    if (ticks <= 100000 && (!input.Empty() || input.PendingTicks() != 0)) __builtin_trap();
    return 0;
}
