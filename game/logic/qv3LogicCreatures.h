// What the rules read from the creature-type table, by creature type: the
// logic's narrow view of the table, which stays behind this unit.
#pragma once

#include <cstdint>

#include "foundation/qv3GameStatistics.h"  // kCreatureTypeCount

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
    // Size in world units.
    double Reach;
    // The creature type of the row.
    std::int32_t Type;
};

inline constexpr int kLogicCreatureTypes = kCreatureTypeCount;

// The row of `type`; a type outside 0..15 throws EListError.
const TLogicCreatureType& LogicCreatureType(int type);

// The frame shown after `count` frames: count mod FrameCount, 0 without
// frames.
inline std::int32_t FrameOf(std::int32_t count, const TLogicCreatureType& type) {
    return type.FrameCount > 0 ? count % type.FrameCount : 0;
}

}  // namespace qv
