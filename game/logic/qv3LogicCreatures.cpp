#include "game/logic/qv3LogicCreatures.h"

#include <array>
#include <string>

#include "foundation/Exceptions.h"
#include "game/data/qv3CreatureTypes.h"
#include "game/logic/qv3LogicUnits.h"

namespace qv {

static_assert(kLogicCreatureTypes == kCreatureTypeCount);

const TLogicCreatureType& LogicCreatureType(int type) {
    static const std::array<TLogicCreatureType, kLogicCreatureTypes> rows = [] {
        std::array<TLogicCreatureType, kLogicCreatureTypes> r{};
        for (int t = 0; t < kLogicCreatureTypes; ++t) {
            const auto i = static_cast<std::size_t>(t);
            const TCreatureTypeInfo& info = CreatureTypes[i];
            r[i] = TLogicCreatureType{CreatureSizes()[i],  info.Points,      info.Segments,
                                      info.FrameColumns * info.FrameRows, CreatureDrawWidth(info),
                                      info.YBase,          info.YRange,      info.List,
                                      CreatureSizes()[i] * kWorldPerPixel, t};
        }
        return r;
    }();
    if (type < 0 || type >= kLogicCreatureTypes) throw EListError("Invalid creature type " + std::to_string(type));
    return rows[static_cast<std::size_t>(type)];
}

}  // namespace qv
