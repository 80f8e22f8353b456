#include "game/core/qv3GameElements.h"

#include <cmath>

#include "game/data/qv3CreatureTypes.h"
#include "game/assets/qv3Graphics.h"
#include "game/data/qv3ScenarioConfig.h"

namespace qv {

std::int32_t RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double diff = value - lower;
    double result = lower;
    if (diff > 0.5) {
        result = lower + 1;
    } else if (diff == 0.5) {
        result = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1;
    }
    return static_cast<std::int32_t>(result);
}

TGameElement::TGameElement(IElementCore* core, int layer) : Core(core) { core->Scene().Add(layer, this); }

// --- effect ---

TGEEffect::TGEEffect(IElementCore* core) : TGameElement(core, 0) {}

bool TGEEffect::Animate() {
    if (!Active) return true;
    IRandomSource& random = Core->ElementRandom();
    const int trials = Core->ScenarioConfig().CreationsPerMin;
    int hits = 0;
    for (int i = 0; i < trials; ++i) {
        if (random.Uniform() < static_cast<double>(kEffectCreationChance)) ++hits;
    }
    for (int i = 0; i < hits; ++i) new TGEEffectParticle(Core);
    return true;
}

TGEEffectParticle::TGEEffectParticle(IElementCore* core) : TGameElement(core, 0) {
    const TEffectStart start = core->ScenarioConfig().NewEffect(core->ElementRandom());
    Position = {start.X, start.Y};
    Velocity = {start.VelocityX, start.VelocityY};
    Scale = {start.ScaleX, start.ScaleY};
    AngularSpeed = start.AngularSpeed;
    RenderLayer = start.RenderLayer;
    Life = start.Life;
    Colours = start.Colors;
}

bool TGEEffectParticle::Animate() {
    Position.X += Velocity.X;
    Position.Y += Velocity.Y;
    Angle += AngularSpeed;
    --Life;
    return Life > 0;
}

void TGEEffectParticle::Draw() {
    Core->DrawFixedSprite(32, Position, Scale, Angle, Colours.data(), RenderLayer);
}

// --- bubble ---

TGEBubble::TGEBubble(IElementCore* core, float x, float y, float scale, float wobble, float direction, float speed,
                     std::uint32_t colour)
    : TGameElement(core, 1), Scale{scale, scale}, X(x), Y(y), Wobble(wobble) {
    Velocity = {std::sin(direction) * speed, -speed * std::cos(direction)};
    Colours.fill(colour);
}

bool TGEBubble::Animate() {
    ++Counter;
    X += Velocity.X * Scale.X;
    Y += Velocity.Y * Scale.X;
    // Truncated toward zero, as the position is taken as a whole pixel.
    const double tx = std::trunc(static_cast<double>(X));
    const double ty = std::trunc(static_cast<double>(Y));
    return tx >= -200 && tx < 1000 && ty >= -200 && ty < 800;
}

void TGEBubble::Draw() {
    const float w = std::cos(static_cast<float>(Counter) * 0.0031415927f) * Wobble;
    const TPointF at{X + w * Velocity.Y, Y + w * Velocity.X};
    const float brightness = Core->Brightness();
    if (brightness != 1.0f) {
        const auto faded = FadeColours(&Colours[0], brightness);
        Core->DrawFixedSprite(5, at, Scale, 0, faded.data(), kBubbleLayer);
    } else {
        Core->DrawFixedSprite(5, at, Scale, 0, Colours.data(), kBubbleLayer);
    }
}

// --- menu creature ---

TGEMenuBot::TGEMenuBot(IElementCore* core) : TGameElement(core, 2) {
    IRandomSource& random = core->ElementRandom();
    CreatureType = static_cast<std::uint8_t>(random.Below(kCreatureTypeCount));
    const double r = random.Uniform();
    const double e = r * r;
    RenderLayer = RoundHalfEven(e * 14000 + 800);
    const float scale = static_cast<float>(e + 0.7);
    Scale = {scale, scale};
    Width = RoundHalfEven(static_cast<double>(scale) * CreatureDrawWidth(CreatureTypes[CreatureType]));
    Position = {static_cast<float>(-Width), static_cast<float>(random.Below(600))};
    Speed = static_cast<float>(e * 2.2 + 1);
    if (CreatureType == 1) {
        AngularSpeed = 0.0314159f;
    } else if (CreatureType == kBubbleType) {
        AngularSpeed = core->ScenarioConfig().BubblesRotationSpeed;
    }
}

bool TGEMenuBot::Animate() {
    ++Counter;
    Position.X += Speed;
    Angle += AngularSpeed;
    return Position.X < static_cast<float>(Width + 800);
}

void TGEMenuBot::Draw() {
    const TCreatureTypeInfo& info = CreatureTypes[CreatureType];
    const std::int32_t frames = info.FrameColumns * info.FrameRows;
    const std::int32_t frame = frames > 0 ? RoundHalfEven(Counter * 0.2) % frames : 0;
    Core->DrawCreatureFrame(CreatureType, frame, Position, Scale, Angle, Core->CornerColours().data(), RenderLayer);
}

}  // namespace qv
