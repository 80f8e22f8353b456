// What the rules read from the creature-type table, by creature type.
//
// The table's own header and the statistics record's header both declare
// qv::kCreatureTypeCount (one as int, one as size_t), so no source file can
// include both. The logic needs the statistics record everywhere and the
// table only here: this unit is the only one of the logic that includes the
// table, and it hands out the values the rules use.
#pragma once

#include <cstdint>

namespace qv {

struct TLogicCreatureType {
    // How far the creature reaches in front of its reference point, in
    // pixels; its front is at world x WorldX - Size x 2.9.
    std::int32_t Size;
    std::int32_t Points;
    std::int32_t Segments;
    // FrameColumns x FrameRows.
    std::int32_t FrameCount;
    // The drawn width of a frame, in pixels.
    std::int32_t DrawWidth;
    // The band a creature is placed in (and a zigzag virus stays in).
    float YBase;
    float YRange;
    // The sprite list of the logic: 0 viruses, 1 nivlets, 9 bubbles.
    std::int32_t List;
};

inline constexpr int kLogicCreatureTypes = 16;

// The row of `type`; a type outside 0..15 throws EListError.
const TLogicCreatureType& LogicCreatureType(int type);

}  // namespace qv
