// Conversions and units that the logic's units share: values are computed in
// double and stored to float, and the world is measured in units of which a
// screen pixel holds kWorldPerPixel.
#pragma once

#include <cstdint>

namespace qv {

inline constexpr double kWorldPerPixel = 2.9;
inline constexpr std::uint32_t kLogicWhite = 0xFFFFFFFFu;

inline float F(double v) { return static_cast<float>(v); }
inline double D(float v) { return static_cast<double>(v); }

// The screen column of a world position at the logic's scroll offset.
template <class TLogic>
double ScreenXOf(const TLogic& logic, float worldX) {
    return (D(logic.ScrollOffset) - D(worldX)) / kWorldPerPixel;
}

}  // namespace qv
