// The sixteen creature types: six viruses (0..5), nine nivlets (6..14; 12
// gold, 13 silver, 14 bronze) and the bubble (15). The level data places
// creatures by this table, the logic sprites move and score them by it, and
// the image set cuts their frames by it.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/qv3GameStatistics.h"  // kCreatureTypeCount, shared with the statistics record

namespace qv {

inline constexpr int kFirstNivletType = 6;
inline constexpr int kBubbleType = 15;

struct TCreatureRect {
    std::int32_t Left, Top, Right, Bottom;
};

struct TCreatureTypeInfo {
    std::uint8_t Image;          // texture of the game image set
    TCreatureRect SourceRect;    // first frame within that texture
    std::int32_t FrameGapX;      // gaps between frames in the texture
    std::int32_t FrameGapY;
    std::int32_t FrameColumns;
    std::int32_t FrameRows;
    std::int32_t DrawWidth;      // 0: the width of SourceRect
    std::int32_t DrawHeight;     // 0: the height of SourceRect
    std::int32_t Segments;
    float HotSpotX;              // reference point, fractions of the frame
    float HotSpotY;
    float YBase;                 // vertical range a creature is placed in
    float YRange;
    float SpeedBase;
    float SpeedFactor;
    std::int32_t TimeSpread;     // spread of the level positions
    std::int32_t Points;
    std::int32_t List;           // sprite list of the logic
};

namespace detail {
constexpr TCreatureTypeInfo Virus(std::uint8_t image, float yBase, float yRange, std::int32_t points) {
    return {image, {0, 0, 84, 63}, 1, 1, 3, 4, 0, 0, 1, 0.5f, 0.5f, yBase, yRange, 0.116f, 2.9f, 22365, points, 0};
}
constexpr TCreatureTypeInfo Nivlet(std::uint8_t image, std::int32_t points) {
    return {image, {0, 0, 509, 84}, 0, 1, 1, 6, 307, 54, 10, 1.0f, 0.5f, 90.0f, 420.0f, 0.116f, 2.9f, 22365, points, 1};
}
}  // namespace detail

inline constexpr std::array<TCreatureTypeInfo, kCreatureTypeCount> CreatureTypes = {{
    detail::Virus(16, 90.0f, 420.0f, 120),
    detail::Virus(17, 90.0f, 420.0f, 500),
    detail::Virus(18, 90.0f, 420.0f, 100),
    detail::Virus(19, 180.0f, 240.0f, 300),  // the splitter
    // The cork: one column of six frames, its reference point at its right end.
    {20, {0, 0, 153, 41}, 0, 1, 1, 6, 0, 0, 5, 1.0f, 0.5f, 90.0f, 420.0f, 0.116f, 2.9f, 22365, 150, 0},
    detail::Virus(21, 140.0f, 370.0f, 450),
    detail::Nivlet(7, 120),
    detail::Nivlet(8, 140),
    detail::Nivlet(9, 100),
    detail::Nivlet(10, 160),
    detail::Nivlet(11, 180),
    detail::Nivlet(12, 200),
    detail::Nivlet(13, 2500),  // gold
    detail::Nivlet(14, 1000),  // silver
    detail::Nivlet(15, 500),   // bronze
    // The bubble: no speed of its own.
    {1, {70, 121, 122, 162}, 0, 1, 1, 1, 0, 0, 1, 0.5f, 0.5f, 90.0f, 420.0f, 0.0f, 2.9f, 22365, 80, 9},
}};

inline constexpr bool IsCreatureType(int type) { return type >= 0 && type < kCreatureTypeCount; }

// The drawn width of a type's frames: DrawWidth, or the width of SourceRect.
inline constexpr std::int32_t CreatureDrawWidth(const TCreatureTypeInfo& info) {
    return info.DrawWidth != 0 ? info.DrawWidth : info.SourceRect.Right - info.SourceRect.Left;
}

// How far a creature reaches in front of its reference point, in pixels:
// (1 - HotSpotX) x the drawn width, truncated toward zero. A creature's
// front is at world x WorldX - size x 2.9.
const std::array<std::int32_t, kCreatureTypeCount>& CreatureSizes();

}  // namespace qv
