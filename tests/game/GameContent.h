// A game's content made by code for the core and window tests: the built-in
// scenario in slot 0 with a level, the attract and name-entry levels, and,
// when asked, every picture the image set loads (plain colours).
#pragma once

#include <string>

#include "game/data/qv3LevelData.h"
#include "tests/support/ScenarioFixture.h"

namespace qv::test {

inline constexpr int kContentSlot = 0;

TScenarioFixture GameScenario(const TLevelFile& level, int levelLength = 12000);
// Writes the program's resource pack to `path`.
void WriteGameContent(const std::string& path, const TLevelFile& level, bool pictures, int levelLength = 12000);

}  // namespace qv::test
