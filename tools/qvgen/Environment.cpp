#include "tools/qvgen/Environment.h"

#include <array>

#include "foundation/Exceptions.h"
#include "foundation/qv3Sum32.h"
#include "tools/qvgen/Content.h"

namespace qv::gen {

namespace {

// What sets one scenario apart: its title and its ambient particles.
struct TTheme {
    const char* Title;
    const char* CreationsPerMin;
    const char* DistanceBase;
    const char* DistanceRange;
    const char* Zoom;
    const char* AlphaDecrease;
    const char* LayersInterval;
    const char* DirectionBase;
    const char* DirectionRange;
    const char* SpeedBase;
    const char* SpeedRange;
    const char* RotationBase;
    const char* RotationRange;
    const char* BubblesRotationSpeed;
    const char* Colors;  // ARGB, the effect particles pick one at random
};

const TTheme& ThemeOf(int slot) {
    static const std::array<TTheme, 3> themes = {{
        // The duel arena: warm sparks drifting up through the current.
        {"Duel Arena", "180", "1.0", "2.5", "0.45", "0.6", "2.2", "75", "30", "0.9", "1.2", "0", "0.04", "0.02",
         "$C0FF8040,$A0FFB060,$90FF6030,$B0FFD080,$80E05020,$A0FFA040,$70FFE0A0,$90F07040"},
        // The deep: plankton and pale motes streaming past.
        {"Quorvex Depths", "240", "1.0", "3.0", "0.5", "0.7", "2.5", "355", "20", "1.2", "1.5", "0", "0.05", "0.015",
         "$C080C0FF,$A060A0FF,$9040E0FF,$B0B0E0FF,$8030A0E0,$A090FFFF,$70E0F0FF,$9050B0F0"},
        // The lagoon: green flecks and sunlit specks drifting down.
        {"Coral Lagoon", "200", "1.0", "2.8", "0.5", "0.65", "2.4", "285", "40", "0.8", "1.0", "0", "0.06", "0.025",
         "$C080FF90,$A060E070,$90B0FF60,$B0E0FFA0,$8040C060,$A0FFF080,$70D0FFD0,$9070F0B0"},
    }};
    if (slot < 0 || slot >= static_cast<int>(themes.size())) throw Exception("no theme for slot " + std::to_string(slot));
    return themes[static_cast<std::size_t>(slot)];
}

}  // namespace

std::int32_t MovementOf(std::span<const std::uint8_t> level, std::span<const std::uint8_t> scenery, std::int32_t number) {
    TSum32 sum;
    sum.AddBuffer(level.data(), level.size());
    sum.AddBuffer(scenery.data(), scenery.size());
    const auto n = static_cast<std::uint32_t>(number);
    const std::array<std::uint8_t, 4> bytes = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                               static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    sum.AddBuffer(bytes.data(), bytes.size());
    return static_cast<std::int32_t>(sum.Value());
}

std::string MakeEnvironment(int slot, const std::vector<int>& fontWidths, std::span<const std::uint8_t> level,
                            std::span<const std::uint8_t> scenery,
                            const std::vector<std::pair<std::string, std::int64_t>>& musicSizes) {
    if (fontWidths.size() != 67) throw Exception("the font needs 67 widths, the pictures gave " + std::to_string(fontWidths.size()));
    const TTheme& t = ThemeOf(slot);
    std::string out;
    auto line = [&](const std::string& key, const std::string& value) { out += key + "=" + value + "\r\n"; };
    line("Number", std::to_string(slot));
    line("Movement", std::to_string(MovementOf(level, scenery, slot)));
    line("Title", t.Title);
    line("CreationsPerMin", t.CreationsPerMin);
    line("DistanceBase", t.DistanceBase);
    line("DistanceRange", t.DistanceRange);
    line("Zoom", t.Zoom);
    line("AlphaDecrease", t.AlphaDecrease);
    line("LayersInterval", t.LayersInterval);
    line("DirectionBase", t.DirectionBase);
    line("DirectionRange", t.DirectionRange);
    line("SpeedBase", t.SpeedBase);
    line("SpeedRange", t.SpeedRange);
    line("RotationBase", t.RotationBase);
    line("RotationRange", t.RotationRange);
    line("BubblesRotationSpeed", t.BubblesRotationSpeed);
    line("BubblesWobble", "true");
    line("ScoreBonusColor", "$FFFFFF00");
    line("LevelLength", "90000");
    line("Colors", t.Colors);
    std::string widths;
    for (std::size_t i = 0; i < fontWidths.size(); ++i) widths += (i ? "," : "") + std::to_string(fontWidths[i]);
    line("FontWidths", widths);
    for (const auto& [name, size] : musicSizes) line("Snd" + name, std::to_string(size));
    return out;
}

}  // namespace qv::gen
