#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "game/data/qv3CreatureTypes.h"
#include "game/core/qv3GameElements.h"
#include "game/data/qv3ScenarioConfig.h"
#include "game/core/qv3Scene.h"
#include "tests/support/ScriptedRandom.h"

namespace qv {
namespace {

struct TDrawCall {
    bool Creature = false;
    int Index = 0;  // fixed sprite index, or creature type
    int Frame = 0;
    TPointF Position;
    TPointF Scale;
    float Angle = 0;
    std::uint32_t Colour = 0;
    std::int32_t Layer = 0;
};

class TFakeCore final : public IElementCore {
public:
    TCustomScene& Scene() override { return scene; }
    IRandomSource& ElementRandom() override { return random; }
    const TScenarioConfig& ScenarioConfig() const override { return config; }
    float Brightness() const override { return brightness; }
    const std::array<std::uint32_t, 4>& CornerColours() const override { return corners; }
    void DrawFixedSprite(int index, TPointF position, TPointF scale, float angle, const std::uint32_t* colours,
                         std::int32_t layer) override {
        draws.push_back({false, index, 0, position, scale, angle, colours[0], layer});
    }
    void DrawCreatureFrame(int type, int frame, TPointF position, TPointF scale, float angle,
                           const std::uint32_t* colours, std::int32_t layer) override {
        draws.push_back({true, type, frame, position, scale, angle, colours[0], layer});
    }

    TCustomScene scene;
    test::TScriptedRandom random;
    TScenarioConfig config;
    float brightness = 1.0f;
    std::array<std::uint32_t, 4> corners{0xFF808080u, 0xFF808080u, 0xFF808080u, 0xFF808080u};
    std::vector<TDrawCall> draws;
};

// An element that counts its calls and ends after a given number of ticks.
class TCountingElement final : public TCustomSceneElement {
public:
    TCountingElement(int lifeTicks, int* freed, std::vector<int>* order, int id)
        : life_(lifeTicks), freed_(freed), order_(order), id_(id) {}
    ~TCountingElement() override {
        if (freed_) ++*freed_;
    }
    void Draw() override {
        if (order_) order_->push_back(id_);
    }
    bool Animate() override {
        if (order_) order_->push_back(id_);
        return --life_ > 0;
    }

private:
    int life_;
    int* freed_;
    std::vector<int>* order_;
    int id_;
};

TEST(SceneTest, AnimatesAndDrawsEachLayerLastToFirstAndFreesFinishedAtOnce) {
    TCustomScene scene;
    int freed = 0;
    std::vector<int> order;
    scene.Add(0, new TCountingElement(5, &freed, &order, 1));
    scene.Add(0, new TCountingElement(1, &freed, &order, 2));  // ends on its first tick
    scene.Add(1, new TCountingElement(5, &freed, &order, 3));
    scene.Add(2, new TCountingElement(5, &freed, &order, 4));
    scene.Add(2, new TCountingElement(5, &freed, &order, 5));

    scene.Animate();
    EXPECT_EQ(order, (std::vector<int>{2, 1, 3, 5, 4}));
    EXPECT_EQ(freed, 1);  // freed in the same tick
    EXPECT_EQ(scene.Count(0), 1);

    order.clear();
    scene.Draw();
    EXPECT_EQ(order, (std::vector<int>{1, 3, 5, 4}));  // element 2 never drawn again

    scene.Clear();
    EXPECT_EQ(freed, 5);
    for (int layer = 0; layer < 3; ++layer) EXPECT_EQ(scene.Count(layer), 0);

    scene.Add(7, new TCountingElement(1, &freed, nullptr, 9));  // no such layer: freed
    EXPECT_EQ(freed, 6);
    scene.Remove(0, 3);  // nothing there
}

TEST(SceneTest, EffectAddsParticlesToItsOwnLayerWithoutAnimatingThemInThatPass) {
    TFakeCore core;
    core.config.CreationsPerMin = 3;
    core.config.Colors.clear();
    // Three trials per tick: hit, miss, hit -> two particles; then NewEffect
    // draws, then misses.
    core.random.Uniforms = {0.0, 0.5, 0.0001};
    core.random.FallbackUniform = 0.5;
    auto* effect = new TGEEffect(&core);
    ASSERT_EQ(core.scene.Count(0), 1);
    ASSERT_EQ(core.scene.Element(0, 0), effect);

    core.scene.AnimateLayer(0);
    ASSERT_EQ(core.scene.Count(0), 3);
    for (int i = 1; i < 3; ++i) {
        auto* p = dynamic_cast<TGEEffectParticle*>(core.scene.Element(0, i));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Angle, 0.0f);  // not animated in the pass that made it
    }
    core.scene.Draw();
    ASSERT_EQ(core.draws.size(), 2u);  // the effect itself draws nothing
    EXPECT_EQ(core.draws[0].Index, 32);
}

TEST(SceneTest, NoCreationsPerMinuteGivesNoParticles) {
    TFakeCore core;
    core.config.CreationsPerMin = 0;
    new TGEEffect(&core);
    for (int i = 0; i < 200; ++i) core.scene.AnimateLayer(0);
    EXPECT_EQ(core.scene.Count(0), 1);
    EXPECT_EQ(core.random.UniformCalls, 0);
}

TEST(SceneTest, ParticleMovesSpinsAndDiesWhenItsLifeRunsOut) {
    TFakeCore core;
    new TGEEffect(&core);
    core.random.FallbackUniform = 0.5;
    auto* p = new TGEEffectParticle(&core);
    p->Position = {10, 20};
    p->Velocity = {1.5f, -2};
    p->AngularSpeed = 0.25f;
    p->Life = 2;
    p->RenderLayer = 777;
    EXPECT_TRUE(p->Animate());
    EXPECT_FLOAT_EQ(p->Position.X, 11.5f);
    EXPECT_FLOAT_EQ(p->Position.Y, 18);
    EXPECT_FLOAT_EQ(p->Angle, 0.25f);
    p->Draw();
    ASSERT_EQ(core.draws.size(), 1u);
    EXPECT_EQ(core.draws[0].Layer, 777);
    EXPECT_FLOAT_EQ(core.draws[0].Angle, 0.25f);
    EXPECT_FALSE(p->Animate());
}

TEST(SceneTest, BubbleLivesInsideItsRectangle) {
    struct TCase {
        float x, y;
        bool alive;
    };
    // Speed 0: the first tick leaves the bubble where it was made.
    const TCase cases[] = {
        {-200, -200, true}, {999.9f, 799.9f, true}, {1000, 0, false}, {0, 800, false},
        {-200.5f, 0, true},  // truncated toward zero: -200
        {-201, 0, false},   {0, -201, false},       {400, 300, true},
    };
    for (const TCase& c : cases) {
        TFakeCore core;
        auto* b = new TGEBubble(&core, c.x, c.y, 0.2f, 0, 0, 0, 0xA0808080u);
        EXPECT_EQ(b->Animate(), c.alive) << c.x << "," << c.y;
        core.scene.AnimateLayer(1);
        EXPECT_EQ(core.scene.Count(1), c.alive ? 1 : 0) << c.x << "," << c.y;
    }
}

TEST(SceneTest, BubbleMovesAlongItsDirectionScaledAndWobbles) {
    TFakeCore core;
    const float pi = 3.14159265f;
    auto* b = new TGEBubble(&core, 100, 100, 0.5f, 10, pi / 2, 20, 0xA0FF0000u);  // to the right
    EXPECT_NEAR(b->Velocity.X, 20, 1e-4);
    EXPECT_NEAR(b->Velocity.Y, 0, 1e-4);
    b->Animate();
    EXPECT_NEAR(b->X, 110, 1e-3);
    EXPECT_NEAR(b->Y, 100, 1e-3);

    auto* up = new TGEBubble(&core, 100, 100, 1, 0, 0, 10, 0xA0FF0000u);  // direction 0 is up
    up->Animate();
    EXPECT_NEAR(up->Y, 90, 1e-4);

    core.brightness = 1.0f;
    b->Draw();
    ASSERT_EQ(core.draws.size(), 1u);
    // w = cos(1 x 0.0031415927) x 10; drawn at (x + w vy, y + w vx).
    const float w = std::cos(0.0031415927f) * 10;
    EXPECT_NEAR(core.draws[0].Position.X, 110, 1e-3);
    EXPECT_NEAR(core.draws[0].Position.Y, 100 + w * 20, 1e-2);
    EXPECT_EQ(core.draws[0].Index, 5);
    EXPECT_EQ(core.draws[0].Layer, kBubbleLayer);
    EXPECT_GT(kBubbleLayer, 9000);  // above the texts
    EXPECT_EQ(core.draws[0].Colour, 0xA0FF0000u);

    core.brightness = 0.5f;
    b->Draw();
    EXPECT_EQ(core.draws[1].Colour, 0xA07F0000u);  // alpha kept, channels faded
}

TEST(SceneTest, MenuBotTakesItsSizeSpeedAndSpinFromItsDraws) {
    struct TCase {
        std::uint32_t type;
        double r;
        std::int32_t layer;
        float speed;
        float spin;
    };
    const TCase cases[] = {
        {0, 0.5, 4300, 1.55f, 0},              // e = 0.25: 0.25 x 14000 + 800
        {1, 0.0, 800, 1.0f, 0.0314159f},       // the spinning virus
        {15, 1.0 - 1e-9, 14800, 3.2f, 0.07f},  // the bubble spins at the scenario's rate
        {7, 0.5, 4300, 1.55f, 0},
    };
    for (const TCase& c : cases) {
        TFakeCore core;
        core.config.BubblesRotationSpeed = 0.07f;
        core.random.Integers = {c.type, 123};
        core.random.Uniforms = {c.r};
        auto* bot = new TGEMenuBot(&core);
        EXPECT_EQ(bot->CreatureType, c.type);
        EXPECT_EQ(bot->RenderLayer, c.layer);
        EXPECT_NEAR(bot->Speed, c.speed, 1e-5);
        EXPECT_FLOAT_EQ(bot->AngularSpeed, c.spin);
        const double e = c.r * c.r;
        const float scale = static_cast<float>(e + 0.7);
        EXPECT_FLOAT_EQ(bot->Scale.X, scale);
        EXPECT_EQ(bot->Width, RoundHalfEven(scale * CreatureDrawWidth(CreatureTypes[c.type])));
        EXPECT_FLOAT_EQ(bot->Position.X, static_cast<float>(-bot->Width));
        EXPECT_FLOAT_EQ(bot->Position.Y, 123);
        EXPECT_EQ(core.random.Ranges, (std::deque<std::uint32_t>{16, 600}));
    }
}

TEST(SceneTest, MenuBotIsRemovedWhenItReachesWidthPlus800AndCyclesItsFrames) {
    TFakeCore core;
    core.random.Integers = {0, 0};
    core.random.Uniforms = {0.0};  // e = 0: speed 1, scale 0.7
    auto* bot = new TGEMenuBot(&core);
    bot->Speed = 1;
    bot->Position.X = static_cast<float>(bot->Width + 800 - 2);
    EXPECT_TRUE(bot->Animate());
    EXPECT_FALSE(bot->Animate());

    // Frame = round(counter x 0.2) mod 12 for a virus (3 x 4 frames).
    struct TFrame {
        int counter, frame;
    };
    for (const TFrame f : {TFrame{0, 0}, TFrame{2, 0}, TFrame{3, 1}, TFrame{7, 1}, TFrame{8, 2}, TFrame{12, 2},
                           TFrame{13, 3}, TFrame{60, 0}, TFrame{62, 0}, TFrame{63, 1}}) {
        core.draws.clear();
        bot->Counter = f.counter;
        bot->Draw();
        ASSERT_EQ(core.draws.size(), 1u);
        EXPECT_EQ(core.draws[0].Frame, f.frame) << f.counter;
        EXPECT_TRUE(core.draws[0].Creature);
        EXPECT_EQ(core.draws[0].Colour, 0xFF808080u);
    }
}

TEST(SceneTest, RoundingTakesHalvesToTheEvenNeighbour) {
    const std::pair<double, int> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2},
                                            {2.4999, 2}, {2.5001, 3}, {-2.6, -3}, {7, 7}};
    for (const auto& [v, r] : cases) EXPECT_EQ(RoundHalfEven(v), r) << v;
}

}  // namespace
}  // namespace qv
