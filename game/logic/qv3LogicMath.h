// The arithmetic of the game rules. A recorded level must play back to the
// same score on every machine and with every build, so the rules never call
// the platform's maths library for anything that moves a creature or a shot:
// sine, cosine and arc tangent come from here, built from the four basic
// operations and sqrt, which IEEE 754 fixes exactly. Values are computed in
// double and stored to float by the caller; the project compiles without
// contraction of a*b+c into fused operations.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace qv {

inline constexpr double kLogicPi = std::numbers::pi;

// Sine and cosine of an angle in radians, within a few units in the last
// place of double for |x| below 1e9. Not a number for an infinite or NaN x.
double LogicSin(double x);
double LogicCos(double x);
// Arc tangent in -pi/2..pi/2.
double LogicAtan(double x);

// Truncation toward zero into int32: NaN gives 0, values beyond the range
// the nearest end. Conversions of out-of-range floats are undefined in C++,
// and level or replay data must never reach undefined behaviour.
inline std::int32_t TruncToI32(double value) {
    if (std::isnan(value)) return 0;
    if (value <= -2147483648.0) return INT32_MIN;
    if (value >= 2147483647.0) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

// Two's-complement addition, so a hostile start score cannot overflow.
inline std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace qv
