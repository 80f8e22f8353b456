#include "foundation/Random.h"

#include "platform/system/Clock.h"

namespace qv {

namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint32_t Rotl(std::uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }

}  // namespace

void TRandom::Seed(std::uint64_t seed) {
    std::uint64_t x = seed;
    const std::uint64_t a = SplitMix64(x);
    const std::uint64_t b = SplitMix64(x);
    s_[0] = static_cast<std::uint32_t>(a);
    s_[1] = static_cast<std::uint32_t>(a >> 32);
    s_[2] = static_cast<std::uint32_t>(b);
    s_[3] = static_cast<std::uint32_t>(b >> 32);
    if ((s_[0] | s_[1] | s_[2] | s_[3]) == 0) s_[0] = 1;
}

void TRandom::Randomize() {
    std::int64_t count = 0;
    if (!sys::SystemClock().QueryPerformanceCounter(count)) count = sys::SystemClock().GetTickCount();
    Seed(static_cast<std::uint64_t>(count));
}

// xoshiro128**
std::uint32_t TRandom::Next32() {
    const std::uint32_t result = Rotl(s_[1] * 5, 7) * 9;
    const std::uint32_t t = s_[1] << 9;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 11);
    return result;
}

double TRandom::Uniform() { return static_cast<double>(Next32()) * (1.0 / 4294967296.0); }

std::uint32_t TRandom::Below(std::uint32_t range) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(Next32()) * range) >> 32);
}

std::int32_t TRandom::Between(std::int32_t lo, std::int32_t hi) {
    if (hi < lo) return lo;
    const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
    const auto offset = static_cast<std::int64_t>((static_cast<std::uint64_t>(Next32()) * span) >> 32);
    return static_cast<std::int32_t>(lo + offset);
}

TRandom& ProgramRandom() {
    static TRandom random;
    return random;
}

}  // namespace qv
