// The program's random generators. One class, seedable, the same sequence on
// every machine; no standard distributions, whose output differs between
// library versions.
#pragma once

#include <cstdint>

namespace qv {

class TRandom {
public:
    explicit TRandom(std::uint64_t seed = 0x5EEDu) { Seed(seed); }

    void Seed(std::uint64_t seed);
    // Seeds from the high-resolution clock.
    void Randomize();

    std::uint32_t Next32();
    // Uniform in [0, 1), 32 bits of resolution.
    double Uniform();
    // Uniform whole number 0..range-1 (0 when range is 0).
    std::uint32_t Below(std::uint32_t range);
    // Uniform whole number lo..hi inclusive (lo when hi < lo).
    std::int32_t Between(std::int32_t lo, std::int32_t hi);

private:
    std::uint32_t s_[4];
};

// The program's random generator for everything that decides nothing of a
// game's outcome: effects, picture choices, shuffles.
TRandom& ProgramRandom();

}  // namespace qv
