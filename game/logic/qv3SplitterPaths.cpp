#include "game/logic/qv3SplitterPaths.h"

#include <cstddef>

namespace qv {

namespace {

struct TKey {
    int Step;
    double Value;
};

// The value at `step` between the surrounding key points, eased in and out
// (smoothstep); held before the first and after the last key.
template <std::size_t N>
constexpr double Eased(const std::array<TKey, N>& keys, int step) {
    if (step <= keys[0].Step) return keys[0].Value;
    for (std::size_t i = 1; i < N; ++i) {
        if (step <= keys[i].Step) {
            const TKey& a = keys[i - 1];
            const TKey& b = keys[i];
            const double u = static_cast<double>(step - a.Step) / static_cast<double>(b.Step - a.Step);
            const double s = u * u * (3.0 - 2.0 * u);
            return a.Value + (b.Value - a.Value) * s;
        }
    }
    return keys[N - 1].Value;
}

constexpr std::int32_t Rounded(double v) {
    return v >= 0 ? static_cast<std::int32_t>(v + 0.5) : -static_cast<std::int32_t>(-v + 0.5);
}

template <std::size_t Steps, std::size_t NX, std::size_t NY, std::size_t NS>
constexpr std::array<TPathStep, Steps> BuildPath(const std::array<TKey, NX>& x, const std::array<TKey, NY>& y,
                                                 const std::array<TKey, NS>& scale) {
    std::array<TPathStep, Steps> path{};
    for (std::size_t i = 0; i < Steps; ++i) {
        const int step = static_cast<int>(i);
        const auto s = static_cast<float>(Eased(scale, step));
        path[i] = TPathStep{Rounded(Eased(x, step)), Rounded(Eased(y, step)), s, s};
    }
    return path;
}

constexpr std::array<TKey, 3> kWholeX = {{{0, 0.0}, {500, 250.0}, {851, 250.0}}};
constexpr std::array<TKey, 1> kWholeY = {{{0, 0.0}}};
constexpr std::array<TKey, 10> kWholeScale = {{{0, 1.0},
                                               {100, 0.964},
                                               {200, 0.818},
                                               {300, 0.647},
                                               {400, 0.6},
                                               {520, 0.72},
                                               {640, 0.6},
                                               {760, 0.68},
                                               {850, 0.606},
                                               {851, 0.606}}};

constexpr std::array<TKey, 5> kSplitScale = {{{0, 0.6}, {200, 1.4}, {450, 0.92}, {700, 1.0}, {950, 1.0}}};
constexpr std::array<TKey, 4> kParentY = {{{0, 0.0}, {150, -100.0}, {300, -59.0}, {950, -59.0}}};
constexpr std::array<TKey, 4> kTwinY = {{{0, 0.0}, {150, 100.0}, {300, 59.0}, {950, 59.0}}};
constexpr std::array<TKey, 3> kParentX = {{{0, 0.0}, {800, 0.0}, {950, 99.0}}};
constexpr std::array<TKey, 3> kTwinX = {{{0, 0.0}, {800, 0.0}, {950, 149.0}}};

constexpr auto kSplitterPath = BuildPath<kSplitterPathSteps>(kWholeX, kWholeY, kWholeScale);
constexpr auto kSplitParentPath = BuildPath<kSplitPathSteps>(kParentX, kParentY, kSplitScale);
constexpr auto kSplitTwinPath = BuildPath<kSplitPathSteps>(kTwinX, kTwinY, kSplitScale);

static_assert(kSplitterPath[0].X == 0 && kSplitterPath[500].X == 250 && kSplitterPath[851].X == 250);
static_assert(kSplitParentPath[150].Y == -100 && kSplitParentPath[950].Y == -59 && kSplitParentPath[950].X == 99);
static_assert(kSplitTwinPath[150].Y == 100 && kSplitTwinPath[950].Y == 59 && kSplitTwinPath[950].X == 149);

}  // namespace

const std::array<TPathStep, kSplitterPathSteps> SplitterPath = kSplitterPath;
const std::array<TPathStep, kSplitPathSteps> SplitParentPath = kSplitParentPath;
const std::array<TPathStep, kSplitPathSteps> SplitTwinPath = kSplitTwinPath;

}  // namespace qv
