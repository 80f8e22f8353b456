// The rules' own trigonometry against the platform's, and the checked
// conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "game/logic/qv3LogicMath.h"
#include "game/logic/qv3SplitterPaths.h"

namespace qv {
namespace {

TEST(LogicMath, SineCosineAndArcTangentAgreeWithTheLibraryToAFewUlp) {
    // Every angle the rules meet: creature ages, headings, bubble pulses,
    // option gauges, and far beyond.
    double worst = 0;
    for (int i = -200000; i <= 200000; ++i) {
        const double x = i * 0.0137;
        worst = std::max(worst, std::fabs(LogicSin(x) - std::sin(x)));
        worst = std::max(worst, std::fabs(LogicCos(x) - std::cos(x)));
    }
    EXPECT_LT(worst, 2e-15);
    double worstAtan = 0;
    for (int i = -100000; i <= 100000; ++i) {
        const double x = std::sinh(i * 0.0002) * 3;
        worstAtan = std::max(worstAtan, std::fabs(LogicAtan(x) - std::atan(x)));
    }
    EXPECT_LT(worstAtan, 1e-15);
}

TEST(LogicMath, ExactValuesAndOddCases) {
    EXPECT_EQ(LogicSin(0.0), 0.0);
    EXPECT_EQ(LogicCos(0.0), 1.0);
    EXPECT_EQ(LogicAtan(0.0), 0.0);
    EXPECT_NEAR(LogicAtan(1.0), kLogicPi / 4, 2.3e-16);
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_NEAR(LogicAtan(inf), kLogicPi / 2, 2.3e-16);
    EXPECT_NEAR(LogicAtan(-inf), -kLogicPi / 2, 2.3e-16);
    EXPECT_TRUE(std::isnan(LogicAtan(std::nan(""))));
    EXPECT_TRUE(std::isnan(LogicSin(inf)));
    EXPECT_TRUE(std::isnan(LogicCos(std::nan(""))));
    // The catch height of a wobbling creature at 500 ms: the top of its swing.
    EXPECT_NEAR(LogicSin(500 * kLogicPi / 1000), 1.0, 1e-16);
}

TEST(LogicMath, TruncationIsCheckedAtTheEndsOfTheRange) {
    struct Case {
        double value;
        std::int32_t expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Case c : {Case{2.9, 2}, Case{-2.9, -2}, Case{-0.5, 0}, Case{3e9, 2147483647},
                         Case{-3e9, -2147483647 - 1}, Case{nan, 0}, Case{2147483646.9, 2147483646}}) {
        EXPECT_EQ(TruncToI32(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(WrappingAdd(2147483647, 1), -2147483647 - 1);
}

TEST(LogicMath, SplitterPathsHaveTheirShape) {
    EXPECT_EQ(SplitterPath[0].ScaleX, 1.0f);
    EXPECT_NEAR(SplitterPath[100].ScaleX, 0.964, 1e-6);
    EXPECT_NEAR(SplitterPath[200].ScaleX, 0.818, 1e-6);
    EXPECT_NEAR(SplitterPath[300].ScaleX, 0.647, 1e-6);
    EXPECT_NEAR(SplitterPath[850].ScaleX, 0.606, 1e-6);
    int largestY = 0;
    float largestScale = 0;
    for (int i = 0; i < kSplitPathSteps; ++i) {
        const TPathStep& parent = SplitParentPath[static_cast<std::size_t>(i)];
        const TPathStep& twin = SplitTwinPath[static_cast<std::size_t>(i)];
        EXPECT_EQ(twin.Y, -parent.Y) << i;
        largestY = std::max(largestY, std::abs(parent.Y));
        largestScale = std::max(largestScale, parent.ScaleX);
        if (i > 0) {
            EXPECT_GE(parent.X, SplitParentPath[static_cast<std::size_t>(i - 1)].X) << "never backwards";
            EXPECT_GE(twin.X, SplitTwinPath[static_cast<std::size_t>(i - 1)].X);
        }
        if (i >= 300) {
            EXPECT_EQ(parent.Y, -59);
        }
        if (i >= 700) {
            EXPECT_EQ(parent.ScaleY, 1.0f);
        }
    }
    EXPECT_EQ(largestY, 100);
    EXPECT_LE(largestScale, 1.4f);
    EXPECT_EQ(SplitParentPath[0].ScaleX, 0.6f);
}

}  // namespace
}  // namespace qv
