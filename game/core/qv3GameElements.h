// The decorative elements of the scene: the scenario's ambient effect and
// its particles, the firework bubbles of the high-score screen and the
// creatures that swim across the menu. Each element reaches the game core
// through IElementCore, which the core implements (tests give their own).
#pragma once

#include <array>
#include <cstdint>

#include "game/data/qv3RandomSource.h"
#include "game/core/qv3Scene.h"
#include "foundation/zkGeometry.h"

namespace qv {

class TScenarioConfig;

// The layer the bubbles (fireworks, torpedo trails, bursts) are drawn on:
// the top one, above the texts too (the high-score table). The renderer
// sorts by layer shl 8 or texture as an int32, so this is the highest layer
// whose key stays positive.
inline constexpr std::int32_t kBubbleLayer = 0x7FFFFF;
// The chance of one particle per tick and creation per minute.
inline constexpr float kEffectCreationChance = 0.00016666666f;

// What the elements need of the game core.
class IElementCore {
public:
    virtual ~IElementCore() = default;
    virtual TCustomScene& Scene() = 0;
    virtual IRandomSource& ElementRandom() = 0;
    virtual const TScenarioConfig& ScenarioConfig() const = 0;
    virtual float Brightness() const = 0;
    virtual const std::array<std::uint32_t, 4>& CornerColours() const = 0;
    // Draws fixed sprite `index` of the image set.
    virtual void DrawFixedSprite(int index, TPointF position, TPointF scale, float angle,
                                 const std::uint32_t* colours, std::int32_t layer) = 0;
    // Draws frame `frame` of creature type `type`.
    virtual void DrawCreatureFrame(int type, int frame, TPointF position, TPointF scale, float angle,
                                   const std::uint32_t* colours, std::int32_t layer) = 0;
};

// Half-way values go to the even neighbour.
std::int32_t RoundHalfEven(double value);

class TGameElement : public TCustomSceneElement {
public:
    IElementCore* Core;

protected:
    // Adds the element to `layer` of the core's scene, which owns it from
    // then on: make elements with new and do not free them.
    TGameElement(IElementCore* core, int layer);
};

// Makes the scenario's particles: about CreationsPerMin a minute.
class TGEEffect final : public TGameElement {
public:
    explicit TGEEffect(IElementCore* core);
    void Draw() override {}
    bool Animate() override;

    bool Active = true;
};

class TGEEffectParticle final : public TGameElement {
public:
    explicit TGEEffectParticle(IElementCore* core);
    void Draw() override;
    bool Animate() override;

    TPointF Position;
    TPointF Velocity;
    TPointF Scale;
    float Angle = 0;
    float AngularSpeed = 0;
    std::int32_t RenderLayer = 0;
    std::int32_t Life = 0;
    std::array<std::uint32_t, 4> Colours{};
};

class TGEBubble final : public TGameElement {
public:
    // Direction in radians, speed in pixels per tick (times the scale).
    TGEBubble(IElementCore* core, float x, float y, float scale, float wobble, float direction, float speed,
              std::uint32_t colour);
    void Draw() override;
    bool Animate() override;

    TPointF Scale;
    float X = 0;
    float Y = 0;
    TPointF Velocity;
    float Wobble = 0;
    std::array<std::uint32_t, 4> Colours{};
    std::int32_t Counter = 0;
};

class TGEMenuBot final : public TGameElement {
public:
    explicit TGEMenuBot(IElementCore* core);
    void Draw() override;
    bool Animate() override;

    std::uint8_t CreatureType = 0;
    std::int32_t Counter = 0;
    std::int32_t RenderLayer = 0;
    std::int32_t Width = 0;
    TPointF Scale;
    TPointF Position;
    float Angle = 0;
    float AngularSpeed = 0;
    float Speed = 0;
};

}  // namespace qv
