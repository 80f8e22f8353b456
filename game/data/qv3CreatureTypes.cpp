#include "game/data/qv3CreatureTypes.h"

namespace qv {

const std::array<std::int32_t, kCreatureTypeCount>& CreatureSizes() {
    static const std::array<std::int32_t, kCreatureTypeCount> sizes = [] {
        std::array<std::int32_t, kCreatureTypeCount> s{};
        for (int t = 0; t < kCreatureTypeCount; ++t) {
            const TCreatureTypeInfo& info = CreatureTypes[static_cast<std::size_t>(t)];
            const float width = static_cast<float>(CreatureDrawWidth(info));
            s[static_cast<std::size_t>(t)] = static_cast<std::int32_t>((1.0f - info.HotSpotX) * width);
        }
        return s;
    }();
    return sizes;
}

}  // namespace qv
