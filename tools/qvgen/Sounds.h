// The parts of the sound generator the tests look into.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qvgen/Music.h"
#include "tools/qvgen/Synth.h"

namespace qv::gen {

// The effect names in sound id order (ids 3..38), without ".wav".
const std::vector<std::string>& EffectNames();
// The music names in sound id order (ids 0..2).
const std::vector<std::string>& MusicNames();
// One effect, normalised. Throws qv::Exception for an unknown name.
TSampleBuffer MakeEffect(const std::string& name);

struct TEncodedMusic {
    std::string Name;
    std::vector<std::uint8_t> Wave;   // MPEG Layer-3 WAVE data
    std::uint32_t PeriodFrames = 0;   // the loop's length; the decoded length
};
TEncodedMusic EncodeMusic(TPiece piece);

}  // namespace qv::gen
