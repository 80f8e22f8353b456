// What a level's logic takes from outside, all in one place: named
// resources, the scenario's environment, decor boundaries, language texts,
// the effect sink for the bubbles it sets off, the two random generators and
// the seed of the cosmetic one. The logic has no time of its own:
// its clock moves only with Step. A test hands in fakes and steps a level
// tick by tick without a screen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Random.h"
#include "game/data/qv3RandomSource.h"
#include "game/data/qv3ResourceSource.h"

namespace qv {

class TScenarioConfig;
class TSpriteBoundaries;

// Language texts by line number.
class ITextSource {
public:
    virtual ~ITextSource() = default;
    virtual std::string Text(int line) = 0;
};

// The program's language file (LangText).
class TLanguageTexts final : public ITextSource {
public:
    std::string Text(int line) override;
};

// Where the logic's decorative bubbles go: the scene's bubble elements,
// which never feed anything back into the rules.
class IEffectSink {
public:
    virtual ~IEffectSink() = default;
    // A bubble at screen (x, y); direction in radians (0 up, pi/2 right),
    // speed in pixels per tick scaled by `scale`; colour ARGB.
    virtual void AddBubble(float x, float y, float scale, float wobble, float direction, float speed,
                           std::uint32_t colour) = 0;
};

// Everything here must outlive the logic it is given to.
struct TLogicServices {
    // "<level>.lvl", "<scenery>.scn" and, without Boundaries, "decor.bnd".
    const IResourceSource* Resources = nullptr;
    // LevelLength, ScoreBonusColor, BubblesRotationSpeed, BubblesWobble;
    // null: the environment's defaults.
    const TScenarioConfig* Config = nullptr;
    // Decor sizes for the scenery; null: read from "decor.bnd".
    const TSpriteBoundaries* Boundaries = nullptr;
    // Null: the program's language file.
    ITextSource* Texts = nullptr;
    // Null: bubbles are dropped.
    IEffectSink* Effects = nullptr;
    // Draws the generation words of a new level (a recorded level reads
    // them instead). Decides the game: seed it for a repeatable level.
    IRandomSource* LevelRandom = nullptr;
    // Flag heights, bubbles and the torpedo trail; decides nothing. Null:
    // the logic's own generator.
    TRandom* EffectRandom = nullptr;
    // Reseeds the cosmetic generator once the level is read; empty keeps its
    // seed (tests).
    std::optional<std::uint64_t> EffectSeed;
};

}  // namespace qv
