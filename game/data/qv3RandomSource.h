// The run-time random source as the game's readers and effects see it: the
// two draws they make. The program passes its generator through
// TRandomSource; tests pass a scripted source.
#pragma once

#include <cstdint>

#include "foundation/Random.h"

namespace qv {

class IRandomSource {
public:
    virtual ~IRandomSource() = default;
    // Uniform in [0, 1).
    virtual double Uniform() = 0;
    // A whole number 0..range-1 (0 when range is 0).
    virtual std::uint32_t Below(std::uint32_t range) = 0;
};

class TRandomSource final : public IRandomSource {
public:
    explicit TRandomSource(TRandom& random) : random_(random) {}
    double Uniform() override { return random_.Uniform(); }
    std::uint32_t Below(std::uint32_t range) override { return random_.Below(range); }

private:
    TRandom& random_;
};

}  // namespace qv
