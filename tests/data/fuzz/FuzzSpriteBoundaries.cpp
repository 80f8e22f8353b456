// Hostile sprite boundaries files.
#include <cstddef>
#include <cstdint>
#include <span>

#include "foundation/BinaryIO.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3SpriteBoundaries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::TSpriteBoundaries b;
    try {
        b.Load(std::span<const std::uint8_t>(data, size));
    } catch (const qv::EDataError&) {
        return 0;
    } catch (const qv::EBinaryError&) {
        return 0;
    }
    qv::TSpriteBoundary r;
    for (int id = 0; id < b.Count() && id < 1000; ++id) b.Lookup(id, r);
    try {
        b.Lookup(b.Count(), r);
        __builtin_trap();
    } catch (const qv::EDataError&) {
    }
    return 0;
}
