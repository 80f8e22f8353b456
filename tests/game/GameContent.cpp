#include "tests/game/GameContent.h"

#include <cstdint>
#include <vector>

#include "game/assets/qv3Graphics.h"
#include "tests/support/LogicTestSupport.h"
#include "tests/render/RenderTestSupport.h"

namespace qv::test {

namespace {
TBytes Png(std::uint32_t side, std::uint32_t colour) {
    // A picture with some structure, so a screenshot shows where it went.
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side) * side);
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x)
            pixels[static_cast<std::size_t>(y) * side + x] = ((x / 16 + y / 16) % 2) ? colour : (colour >> 1) & 0x7F7F7F;
    return EncodeRgbPng(side, side, pixels);
}
TBytes Grey(std::uint32_t w, std::uint32_t h, std::uint8_t grey) {
    return EncodeJpeg(w, h, 1, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, grey), 90);
}
}  // namespace

TScenarioFixture GameScenario(const TLevelFile& level, int levelLength) {
    TScenarioFixture s;
    s.Number = kContentSlot;
    s.Level = level;
    s.EnvironmentLines = {"LevelLength=" + std::to_string(levelLength), "CreationsPerMin=600"};
    TScenarioFixture empty = s;
    empty.Level = EmptyLevel();
    s.Extra = {{"1001.lvl", empty.LevelBytes()}, {"1002.lvl", empty.LevelBytes()}};
    return s;
}

void WriteGameContent(const std::string& path, const TLevelFile& level, bool pictures, int levelLength) {
    TProgramPackFixture pack;
    pack.BuiltIn = {{kContentSlot, GameScenario(level, levelLength)}};
    if (pictures) {
        std::uint32_t colour = 0x00C08040;
        for (const TGameTextureEntry& e : GameTextureTable) {
            pack.Data.emplace_back(std::string(e.Name) + ".png", Png(512, colour));
            if (e.Mask) pack.Data.emplace_back(std::string(e.Mask) + ".png", Png(512, 0x00FFFFFF));
            colour = (colour * 7 + 0x00305010) & 0x00FFFFFF;
        }
        for (int i = 1; i <= 3; ++i) pack.Data.emplace_back("loading" + std::to_string(i) + ".jpg", Grey(800, 600, 90));
        pack.Data.emplace_back("credits.jpg", Grey(800, 600, 160));
    }
    pack.Write(path);
}

}  // namespace qv::test
