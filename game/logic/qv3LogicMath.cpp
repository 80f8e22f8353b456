#include "game/logic/qv3LogicMath.h"

#include <cmath>
#include <limits>

namespace qv {

namespace {

// pi/2 in two parts: the first has 33 significant bits, so n x kHalfPiHi is
// exact for every |n| below 2^20, and the second is the rest rounded.
constexpr double kHalfPiHi = 0x1.921fb544p+0;
constexpr double kHalfPiLo = 0x1.0b4611a626331p-34;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kHalfPi = 0x1.921fb54442d18p+0;
// Beyond this the reduction loses every digit; such angles never occur.
constexpr double kLargestAngle = 1e15;

// Taylor series on |r| <= pi/4; the first omitted term is below 5e-17.
double SinPoly(double r) {
    const double z = r * r;
    double p = 1.0 / 355687428096000.0;  // 1/17!
    p = p * z - 1.0 / 1307674368000.0;   // 1/15!
    p = p * z + 1.0 / 6227020800.0;      // 1/13!
    p = p * z - 1.0 / 39916800.0;        // 1/11!
    p = p * z + 1.0 / 362880.0;          // 1/9!
    p = p * z - 1.0 / 5040.0;            // 1/7!
    p = p * z + 1.0 / 120.0;             // 1/5!
    p = p * z - 1.0 / 6.0;               // 1/3!
    return r + r * z * p;
}

double CosPoly(double r) {
    const double z = r * r;
    double p = 1.0 / 6402373705728000.0;  // 1/18!
    p = p * z - 1.0 / 20922789888000.0;   // 1/16!
    p = p * z + 1.0 / 87178291200.0;      // 1/14!
    p = p * z - 1.0 / 479001600.0;        // 1/12!
    p = p * z + 1.0 / 3628800.0;          // 1/10!
    p = p * z - 1.0 / 40320.0;            // 1/8!
    p = p * z + 1.0 / 720.0;              // 1/6!
    p = p * z - 1.0 / 24.0;               // 1/4!
    p = p * z + 0.5;
    return 1.0 - z * p;
}

// x = n x pi/2 + r with |r| <= pi/4 (a little more for huge x); returns
// n mod 4.
int Reduce(double x, double& r) {
    const double q = x * kTwoOverPi;
    const auto n = static_cast<std::int64_t>(q >= 0 ? q + 0.5 : q - 0.5);
    const auto nd = static_cast<double>(n);
    r = (x - nd * kHalfPiHi) - nd * kHalfPiLo;
    return static_cast<int>(n & 3);
}

}  // namespace

double LogicSin(double x) {
    if (!(std::fabs(x) <= kLargestAngle)) return std::numeric_limits<double>::quiet_NaN();
    double r = 0;
    switch (Reduce(x, r)) {
        case 0:
            return SinPoly(r);
        case 1:
            return CosPoly(r);
        case 2:
            return -SinPoly(r);
        default:
            return -CosPoly(r);
    }
}

double LogicCos(double x) {
    if (!(std::fabs(x) <= kLargestAngle)) return std::numeric_limits<double>::quiet_NaN();
    double r = 0;
    switch (Reduce(x, r)) {
        case 0:
            return CosPoly(r);
        case 1:
            return -SinPoly(r);
        case 2:
            return -CosPoly(r);
        default:
            return SinPoly(r);
    }
}

double LogicAtan(double x) {
    if (std::isnan(x)) return x;
    const bool negative = x < 0;
    double a = std::fabs(x);
    const bool inverted = a > 1.0;
    if (inverted) a = 1.0 / a;
    // atan(a) = 2 atan(a / (1 + sqrt(1 + a^2))), twice: |a| <= tan(pi/16).
    a = a / (1.0 + std::sqrt(1.0 + a * a));
    a = a / (1.0 + std::sqrt(1.0 + a * a));
    const double z = a * a;
    // a - a^3/3 + a^5/5 - ... ; the first omitted term is below 4e-18.
    double p = -1.0 / 23.0;
    p = p * z + 1.0 / 21.0;
    p = p * z - 1.0 / 19.0;
    p = p * z + 1.0 / 17.0;
    p = p * z - 1.0 / 15.0;
    p = p * z + 1.0 / 13.0;
    p = p * z - 1.0 / 11.0;
    p = p * z + 1.0 / 9.0;
    p = p * z - 1.0 / 7.0;
    p = p * z + 1.0 / 5.0;
    p = p * z - 1.0 / 3.0;
    double result = 4.0 * (a + a * z * p);
    if (inverted) result = kHalfPi - result;
    return negative ? -result : result;
}

}  // namespace qv
