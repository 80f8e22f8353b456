#include "tests/support/ScenarioFixture.h"

#include <stdexcept>

#include "game/assets/qv3Resources.h"
#include "platform/resources/ResourcePackWriter.h"
#include "platform/system/Files.h"

namespace qv::test {

TBytes Bytes(std::string_view text) { return TBytes(text.begin(), text.end()); }

TLevelFile SampleLevel() {
    TLevelFile level;
    level.SceneryNumber = 1;
    TLevelEntry virus;
    virus.CreatureType = 0;
    virus.HeightFraction = 0.5f;
    virus.SpeedFraction = 0.25f;
    virus.Probability = 1.0f;
    virus.BasePosition = 100;
    virus.GroupId = 0;
    TLevelEntry nivlet = virus;
    nivlet.CreatureType = 6;
    nivlet.HeightFromWord = 1;
    nivlet.SpreadFraction = 0.5f;
    nivlet.BasePosition = 2000;
    nivlet.Variant = 2;
    TLevelEntry bubble = virus;
    bubble.CreatureType = 15;
    bubble.GroupId = -1;
    bubble.BasePosition = 5000;
    bubble.Direction = 1.5f;
    bubble.TargetDirection = -0.5f;
    bubble.TurnDistance = 300;
    level.Entries = {virus, nivlet, bubble};
    return level;
}

TSceneryFile SampleScenery() {
    TSceneryFile scenery;
    scenery.Backgrounds = {TBackgroundEntry{0, {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF808080u, 0xFF808080u}}};
    TDecorItem item;
    item.SpriteId = 0;
    item.X = 400;
    item.Y = 300;
    item.Colors.fill(0xFFFFFFFFu);
    scenery.Layers[0] = {item};
    item.SpriteId = 1;
    item.X = 1600;
    scenery.Layers[1] = {item};
    return scenery;
}

std::vector<TSpriteBoundary> SampleBoundaries() {
    return {TSpriteBoundary{0, 0, 0, 100, 50}, TSpriteBoundary{1, 10, 20, 70, 90}};
}

TBytes TScenarioFixture::LevelBytes() const { return WriteLevelData(Level); }
TBytes TScenarioFixture::SceneryBytes() const { return WriteScenarioData(Scenery); }
TBytes TScenarioFixture::BoundariesBytes() const { return WriteSpriteBoundaries(0, Boundaries); }

std::int32_t TScenarioFixture::ExpectedMovement() const {
    return static_cast<std::int32_t>(ScenarioChecksum(LevelBytes(), SceneryBytes(), Number));
}

std::string TScenarioFixture::EnvironmentText() const {
    std::string text = "Number=" + std::to_string(Number) + "\r\n";
    text += "Title=" + Title + "\r\n";
    text += "Movement=" + std::to_string(Movement ? *Movement : ExpectedMovement()) + "\r\n";
    for (const std::string& line : EnvironmentLines) text += line + "\r\n";
    return text;
}

std::vector<std::pair<std::string, TBytes>> TScenarioFixture::Resources() const {
    std::vector<std::pair<std::string, TBytes>> resources = {
        {"environment.txt", Bytes(EnvironmentText())},
        {"1.lvl", LevelOverride ? *LevelOverride : LevelBytes()},
        {"1.scn", SceneryBytes()},
        {"decor.bnd", BoundariesBytes()},
    };
    if (!Thumbnail.empty()) resources.emplace_back("thumb.jpg", Thumbnail);
    for (const auto& extra : Extra) resources.push_back(extra);
    return resources;
}

void TScenarioFixture::AddTo(sys::TResourcePackWriter& pack, int slot) const {
    for (const auto& [name, bytes] : Resources()) pack.Add(ScenarioResourceType(slot), name, bytes);
}

namespace {

std::string Save(const std::string& path, const TBytes& bytes) {
    std::string error;
    if (!sys::WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &error))
        throw std::runtime_error("Unable to write " + path + ": " + error);
    return path;
}

}  // namespace

TBytes BuildPackage(int slot, const TScenarioFixture& scenario) {
    sys::TResourcePackWriter pack;
    scenario.AddTo(pack, slot);
    return pack.Build();
}

std::string WritePackage(const std::string& folder, int slot, const TScenarioFixture& scenario) {
    return Save(folder + ScenarioPackageName(slot), BuildPackage(slot, scenario));
}

TBytes TProgramPackFixture::Build() const {
    sys::TResourcePackWriter pack;
    for (const auto& [name, bytes] : Data) pack.Add(kSharedResourceType, name, bytes);
    for (const auto& [slot, scenario] : BuiltIn) scenario.AddTo(pack, slot);
    return pack.Build();
}

std::string TProgramPackFixture::Write(const std::string& path) const { return Save(path, Build()); }

}  // namespace qv::test
