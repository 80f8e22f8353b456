// Scenario data made by code for tests: level, scenery, boundaries and
// environment files, whole scenario packages and the program's resource
// pack, each holding exactly the bytes a test asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "game/data/qv3LevelData.h"
#include "game/data/qv3ScenarioData.h"
#include "game/data/qv3SpriteBoundaries.h"

namespace qv::sys {
class TResourcePackWriter;
}

namespace qv::test {

using TBytes = std::vector<std::uint8_t>;

TBytes Bytes(std::string_view text);

// A level of three entries of different types, one of them in group 0.
TLevelFile SampleLevel();
// One background and a decor item in each layer.
TSceneryFile SampleScenery();
// Two decor sprites.
std::vector<TSpriteBoundary> SampleBoundaries();

struct TScenarioFixture {
    // The environment's "Number"; a package is offered only in that slot.
    std::int32_t Number = 5;
    TLevelFile Level = SampleLevel();
    TSceneryFile Scenery = SampleScenery();
    std::vector<TSpriteBoundary> Boundaries = SampleBoundaries();
    std::string Title = "Fixture scenario";
    // Further environment lines, written after the standard ones.
    std::vector<std::string> EnvironmentLines;
    // "Movement"; by default the checksum the package check expects.
    std::optional<std::int32_t> Movement;
    // Bytes of "thumb.jpg"; none when empty.
    TBytes Thumbnail = Bytes("\xFF\xD8\xFF thumbnail");
    // Further resources (name, bytes) of the scenario.
    std::vector<std::pair<std::string, TBytes>> Extra;
    // Replaces "1.lvl" by these bytes (after the checksum was computed from
    // Level), to make a package whose level no longer matches.
    std::optional<TBytes> LevelOverride;

    TBytes LevelBytes() const;
    TBytes SceneryBytes() const;
    TBytes BoundariesBytes() const;
    std::int32_t ExpectedMovement() const;
    std::string EnvironmentText() const;
    // Every resource of the scenario, by name.
    std::vector<std::pair<std::string, TBytes>> Resources() const;
    // Adds the resources under "SCENARIO<slot>".
    void AddTo(sys::TResourcePackWriter& pack, int slot) const;
};

// The bytes of a package holding `scenario` under "SCENARIO<slot>".
TBytes BuildPackage(int slot, const TScenarioFixture& scenario);
// Writes "scenario<slot>.c3p" into `folder` and returns its path.
std::string WritePackage(const std::string& folder, int slot, const TScenarioFixture& scenario);

struct TProgramPackFixture {
    // Shared "DATA" resources (name, bytes).
    std::vector<std::pair<std::string, TBytes>> Data;
    // Built-in scenarios (slot, scenario).
    std::vector<std::pair<int, TScenarioFixture>> BuiltIn;

    TBytes Build() const;
    // Writes the pack to `path` and returns it.
    std::string Write(const std::string& path) const;
};

}  // namespace qv::test
