// A random source that plays back scripted draws, for tests that need to
// know exactly what the generator says.
#pragma once

#include <cstdint>
#include <deque>
#include <stdexcept>

#include "game/data/qv3RandomSource.h"

namespace qv::test {

class TScriptedRandom final : public IRandomSource {
public:
    // Draws come from the scripts in order; an exhausted script gives the
    // fallback values.
    std::deque<double> Uniforms;
    std::deque<std::uint32_t> Integers;
    double FallbackUniform = 0.0;
    std::uint32_t FallbackInteger = 0;
    int UniformCalls = 0;
    int BelowCalls = 0;
    std::deque<std::uint32_t> Ranges;  // the range of every Below call

    double Uniform() override {
        ++UniformCalls;
        if (Uniforms.empty()) return FallbackUniform;
        const double v = Uniforms.front();
        Uniforms.pop_front();
        return v;
    }
    std::uint32_t Below(std::uint32_t range) override {
        ++BelowCalls;
        Ranges.push_back(range);
        std::uint32_t v = FallbackInteger;
        if (!Integers.empty()) {
            v = Integers.front();
            Integers.pop_front();
        }
        if (range == 0) return 0;
        if (v >= range) throw std::logic_error("scripted draw outside its range");
        return v;
    }
};

}  // namespace qv::test
