// The built-in scenario's demo: level 1 played by a simple player (the mouse
// on the free creature nearest the cannons, firing), recorded as a replay
// pack the game's menu plays on "D".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qvgen/Content.h"

namespace qv::gen {

inline constexpr const char* kDemoName = "demo.gmp";

// `files` are the scenario's resources ("1.lvl", "1.scn", "decor.bnd" ...);
// `environment` its environment text. The same inputs give the same bytes.
std::vector<std::uint8_t> RecordDemo(const std::vector<TGeneratedFile>& files, const std::string& environment);

}  // namespace qv::gen
