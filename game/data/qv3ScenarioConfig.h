// The scenario environment ("environment.txt"): Name=Value lines that tune a
// scenario's effects, bubbles, bonus colour, level length, title, package
// checksum, font widths and the expected sizes of its music.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "game/data/qv3RandomSource.h"

namespace qv {

inline constexpr int kFontGlyphCount = 67;

// Widths of the glyphs of font 0, the program's own font.
inline constexpr std::array<std::int32_t, kFontGlyphCount> kBuiltInFontWidths = {
    18, 17, 17, 17, 16, 14, 18, 18, 7,  13, 19, 14, 20, 18, 18, 16, 19, 18, 16, 16, 18, 18, 23,
    18, 18, 16, 12, 14, 14, 15, 14, 14, 14, 14, 14, 13, 7,  12, 6,  13, 6,  6,  6,  17, 14, 14,
    22, 14, 20, 6,  11, 8,  8,  12, 8,  8,  13, 17, 8,  14, 7,  6,  6,  14, 6,  14, 14};

// Widths of the glyphs of font 1 when a scenario gives none.
inline constexpr std::array<std::int32_t, kFontGlyphCount> kDefaultScenarioFontWidths = {
    35, 33, 33, 33, 30, 29, 35, 34, 13, 26, 33, 27, 33, 33, 35, 32, 35, 33, 34, 32, 34, 35, 35,
    34, 34, 30, 28, 34, 33, 34, 34, 35, 32, 33, 33, 34, 24, 24, 28, 33, 16, 19, 16, 36, 36, 36,
    36, 35, 36, 16, 20, 24, 24, 34, 24, 24, 33, 27, 27, 34, 36, 36, 36, 36, 18, 33, 38};

// Start values of one decorative effect particle.
struct TEffectStart {
    float X = 0;
    float Y = 0;
    float VelocityX = 0;  // pixels per tick
    float VelocityY = 0;
    float ScaleX = 1;
    float ScaleY = 1;
    float AngularSpeed = 0;
    std::int32_t RenderLayer = 0;
    std::int32_t Life = 0;  // ticks; 0 for a particle that cannot move
    std::array<std::uint32_t, 4> Colors{};
};

class TScenarioConfig {
public:
    TScenarioConfig() { Reset(); }

    // Every value back to its default (the built-in font widths, no colours,
    // no sound sizes).
    void Reset();
    // Resets, then sets every value the file gives. Names are matched
    // without regard to case; the first line of a name counts. A value that
    // cannot be read keeps its default, except a "Colors" entry that is not
    // a whole number, which throws EDataError. Numbers use "." as decimal
    // separator whatever the locale; whole numbers may be written "$" + hex.
    void Load(std::string_view text);

    // Font 0: the built-in width + 1; font 1: the scenario's FontWidths
    // entry. Any other font throws EDataError "invalid font index"; a glyph
    // outside 0..66 throws EListError.
    std::int32_t FontWidth(int font, int index) const;
    // The expected decoded size of the music `name` (key "Snd" + name).
    bool SoundSize(std::string_view name, std::int32_t& size) const;
    // Draws the start values of one effect particle.
    TEffectStart NewEffect(IRandomSource& random) const;

    std::int32_t Number;
    std::int32_t CreationsPerMin;
    float DistanceBase;
    float DistanceRange;
    float Zoom;
    float AlphaDecrease;
    float LayersInterval;
    float DirectionBase;  // degrees
    float DirectionRange;
    float SpeedBase;
    float SpeedRange;
    float RotationBase;
    float RotationRange;
    float BubblesRotationSpeed;  // radians per tick
    bool BubblesWobble;
    std::string Title;
    std::int32_t ScoreBonusColor;  // ARGB
    std::int32_t LevelLength;      // ms
    std::int32_t Movement;         // the package checksum
    std::vector<std::int32_t> Colors;
    std::array<std::int32_t, kFontGlyphCount> FontWidths;
    // (music name, expected size) of every "Snd" line, in file order.
    std::vector<std::pair<std::string, std::int32_t>> SoundSizes;
};

// Whole number as the environment file writes it: optional sign and decimal
// digits, or "$" and up to 8 hex digits (the 32-bit pattern). False when the
// text is not such a number or does not fit 32 bits.
bool ParseEnvironmentInt(std::string_view text, std::int32_t& value);
// Decimal number with "." as separator; false unless finite.
bool ParseEnvironmentFloat(std::string_view text, float& value);

}  // namespace qv
