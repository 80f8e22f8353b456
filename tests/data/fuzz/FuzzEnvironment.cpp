// Hostile environment files: every value read or defaulted, effects drawn
// from whatever the file says.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "foundation/Random.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3ScenarioConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::TScenarioConfig config;
    try {
        config.Load(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const qv::EDataError&) {
        return 0;
    }
    qv::TRandom generator(size);
    qv::TRandomSource random(generator);
    for (int i = 0; i < 8; ++i) {
        const qv::TEffectStart e = config.NewEffect(random);
        if (e.Life < 0) __builtin_trap();
    }
    for (int i = 0; i < qv::kFontGlyphCount; ++i) config.FontWidth(1, i);
    std::int32_t sound = 0;
    config.SoundSize("QVX3GameMusic", sound);
    return 0;
}
