// The splitter's path tables: one step per millisecond of age, each an x
// offset along the splitter's motion (world units per unit of its speed),
// a y offset from its spawn height (pixels) and two drawing scales.
//
// The whole splitter (852 steps) creeps forward 250 units over its first
// 500 ms and then holds, shrinking from 1.0 to about 0.6 and pulsing there.
// When it splits, the parent (951 steps) swings up to 100 pixels and settles
// 59 above, the twin mirrors it below; both swell to 1.4 and settle at 1.0,
// then move on 99 (parent) and 149 (twin) units over the last steps.
//
// These are gameplay data: fixed at compile time from the key points below
// with nothing but the four basic operations, so every build holds the same
// values.
#pragma once

#include <array>
#include <cstdint>

namespace qv {

struct TPathStep {
    std::int32_t X;
    std::int32_t Y;
    float ScaleX;
    float ScaleY;
};

inline constexpr int kSplitterPathSteps = 852;
inline constexpr int kSplitPathSteps = 951;

extern const std::array<TPathStep, kSplitterPathSteps> SplitterPath;
extern const std::array<TPathStep, kSplitPathSteps> SplitParentPath;
extern const std::array<TPathStep, kSplitPathSteps> SplitTwinPath;

}  // namespace qv
