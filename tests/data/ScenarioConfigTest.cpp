#include <gtest/gtest.h>

#include <numbers>

#include "foundation/Exceptions.h"
#include "foundation/qv3Global.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3ScenarioConfig.h"
#include "tests/support/ScriptedRandom.h"

namespace qv {
namespace {

using test::TScriptedRandom;

TScenarioConfig Loaded(std::string_view text) {
    TScenarioConfig c;
    c.Load(text);
    return c;
}

TEST(ScenarioConfig, AFileWithOnlyTheNumberGivesEveryDefault) {
    const TScenarioConfig c = Loaded("Number=5\r\n");
    EXPECT_EQ(c.Number, 5);
    EXPECT_EQ(c.CreationsPerMin, 40);
    EXPECT_EQ(c.DistanceBase, 1.0f);
    EXPECT_EQ(c.DistanceRange, 0.0f);
    EXPECT_EQ(c.Zoom, 1.0f);
    EXPECT_EQ(c.AlphaDecrease, 0.0f);
    EXPECT_EQ(c.LayersInterval, 0.0f);
    EXPECT_EQ(c.DirectionBase, 260.0f);
    EXPECT_EQ(c.DirectionRange, 20.0f);
    EXPECT_EQ(c.SpeedBase, 40.0f);
    EXPECT_EQ(c.SpeedRange, 20.0f);
    EXPECT_EQ(c.RotationBase, 0.0f);
    EXPECT_EQ(c.RotationRange, 0.0f);
    EXPECT_EQ(c.BubblesRotationSpeed, 0.0f);
    EXPECT_TRUE(c.BubblesWobble);
    EXPECT_EQ(c.Title, "");
    EXPECT_EQ(c.ScoreBonusColor, -256);
    EXPECT_EQ(c.LevelLength, 90000);
    EXPECT_EQ(c.Movement, 0);
    EXPECT_TRUE(c.Colors.empty());
    EXPECT_EQ(c.FontWidths, kDefaultScenarioFontWidths);
    EXPECT_TRUE(c.SoundSizes.empty());
    EXPECT_EQ(TScenarioConfig().Number, -1);
}

TEST(ScenarioConfig, ReadsEveryKey) {
    const TScenarioConfig c = Loaded(
        "Number=3\nCreationsPerMin=240\nDistanceBase=0.5\nDistanceRange=2\nZoom=1.5\nAlphaDecrease=0.25\n"
        "LayersInterval=1.75\nDirectionBase=180.000000611189\nDirectionRange=-10\nSpeedBase=12.5\nSpeedRange=3\n"
        "RotationBase=-0.5\nRotationRange=0.125\nBubblesRotationSpeed=0.01\nBubblesWobble=False\n"
        "Title=Deep Sea\nScoreBonusColor=$FFFFFF00\nLevelLength=60000\nMovement=-123456\n"
        "Colors=-1, $FF00FF00,16777215\n");
    EXPECT_EQ(c.Number, 3);
    EXPECT_EQ(c.CreationsPerMin, 240);
    EXPECT_EQ(c.DistanceBase, 0.5f);
    EXPECT_EQ(c.DistanceRange, 2.0f);
    EXPECT_EQ(c.Zoom, 1.5f);
    EXPECT_EQ(c.AlphaDecrease, 0.25f);
    EXPECT_EQ(c.LayersInterval, 1.75f);
    EXPECT_FLOAT_EQ(c.DirectionBase, 180.0f);
    EXPECT_EQ(c.DirectionRange, -10.0f);
    EXPECT_EQ(c.SpeedBase, 12.5f);
    EXPECT_EQ(c.SpeedRange, 3.0f);
    EXPECT_EQ(c.RotationBase, -0.5f);
    EXPECT_EQ(c.RotationRange, 0.125f);
    EXPECT_FLOAT_EQ(c.BubblesRotationSpeed, 0.01f);
    EXPECT_FALSE(c.BubblesWobble);
    EXPECT_EQ(c.Title, "Deep Sea");
    EXPECT_EQ(static_cast<std::uint32_t>(c.ScoreBonusColor), 0xFFFFFF00u);  // opaque yellow
    EXPECT_EQ(c.LevelLength, 60000);
    EXPECT_EQ(c.Movement, -123456);
    EXPECT_EQ(c.Colors, (std::vector<std::int32_t>{-1, static_cast<std::int32_t>(0xFF00FF00u), 16777215}));
}

TEST(ScenarioConfig, NamesMatchWithoutCaseAndTheFirstLineCounts) {
    const TScenarioConfig c = Loaded("levellength=5000\r\n  LEVELLENGTH = 6000 \r\nno equals sign\r\n=7\r\nZoom=2");
    EXPECT_EQ(c.LevelLength, 5000);
    EXPECT_EQ(c.Zoom, 2.0f);
}

TEST(ScenarioConfig, UnreadableValuesKeepTheirDefaults) {
    const TScenarioConfig c = Loaded(
        "LevelLength=12x\nNumber=99999999999\nZoom=abc\nSpeedBase=nan\nSpeedRange=inf\nDistanceBase=1,5\n"
        "ScoreBonusColor=$GG\nMovement=$123456789\nBubblesWobble=maybe\nCreationsPerMin=\n");
    EXPECT_EQ(c.LevelLength, 90000);
    EXPECT_EQ(c.Number, -1);
    EXPECT_EQ(c.Zoom, 1.0f);
    EXPECT_EQ(c.SpeedBase, 40.0f);
    EXPECT_EQ(c.SpeedRange, 20.0f);
    EXPECT_EQ(c.DistanceBase, 1.0f);  // "," is no decimal separator, whatever the locale
    EXPECT_EQ(c.ScoreBonusColor, -256);
    EXPECT_EQ(c.Movement, 0);
    EXPECT_TRUE(c.BubblesWobble);
    EXPECT_EQ(c.CreationsPerMin, 40);
    for (auto [text, value] : {std::pair{"0", false}, {"1", true}, {"TRUE", true}, {"false", false}})
        EXPECT_EQ(Loaded(std::string("BubblesWobble=") + text).BubblesWobble, value) << text;
}

TEST(ScenarioConfig, AColourThatIsNoNumberRaises) {
    EXPECT_THROW(Loaded("Colors=1,abc,3"), EDataError);
    EXPECT_THROW(Loaded("Colors=1,,3"), EDataError);
    EXPECT_TRUE(Loaded("Colors=").Colors.empty());
    EXPECT_TRUE(Loaded("Colors=   ").Colors.empty());
}

TEST(ScenarioConfig, SoundSizesByNameInAnyCaseOfSnd) {
    const TScenarioConfig c =
        Loaded("SndQVX3GameMusic=11510830\nSNDQVX3MenuMusic=42\nsNdQVX3HighScoreMusic=$10\nSndBroken=x\n");
    std::int32_t size = -1;
    EXPECT_TRUE(c.SoundSize("QVX3GameMusic", size));
    EXPECT_EQ(size, 11510830);
    EXPECT_TRUE(c.SoundSize("qvx3menumusic", size));
    EXPECT_EQ(size, 42);
    EXPECT_TRUE(c.SoundSize("QVX3HighScoreMusic", size));
    EXPECT_EQ(size, 16);
    EXPECT_FALSE(c.SoundSize("Broken", size));
    EXPECT_FALSE(c.SoundSize("Other", size));
    EXPECT_EQ(size, 0);
}

TEST(ScenarioConfig, FontWidths) {
    std::string seventy = "FontWidths=";
    for (int i = 0; i < 70; ++i) seventy += std::to_string(100 + i) + (i < 69 ? "," : "");
    const TScenarioConfig many = Loaded(seventy);
    for (int i = 0; i < 67; ++i) EXPECT_EQ(many.FontWidth(1, i), 100 + i);

    // A short list keeps the built-in widths after it, and so does an
    // entry that cannot be read.
    TScenarioConfig c;
    c.Load(seventy);
    c.Load("FontWidths=1, 2, x, 4");
    EXPECT_EQ(c.FontWidth(1, 0), 1);
    EXPECT_EQ(c.FontWidth(1, 1), 2);
    EXPECT_EQ(c.FontWidth(1, 2), kDefaultScenarioFontWidths[2]);
    EXPECT_EQ(c.FontWidth(1, 3), 4);
    EXPECT_EQ(c.FontWidth(1, 4), kDefaultScenarioFontWidths[4]);
    // Nothing carries over from the scenario loaded before.
    c.Load("Number=1");
    EXPECT_EQ(c.FontWidths, kDefaultScenarioFontWidths);

    for (int i = 0; i < 67; ++i) EXPECT_EQ(c.FontWidth(0, i), kBuiltInFontWidths[static_cast<std::size_t>(i)] + 1);
    try {
        c.FontWidth(2, 0);
        ADD_FAILURE();
    } catch (const EDataError& e) {
        EXPECT_STREQ(e.what(), "invalid font index");
    }
    EXPECT_THROW(c.FontWidth(1, 67), EListError);
    EXPECT_THROW(c.FontWidth(0, -1), EListError);
}

// The start values of an effect for each direction sector: distance 1, so
// scale 1 and margin 128; speed 40.
TEST(ScenarioConfig, NewEffectStartsOffScreenOnTheSideItMovesFrom) {
    struct Case {
        float direction;
        float x, y;
        std::uint32_t range;  // of the position draw
        std::int32_t life;
    };
    const Case cases[] = {
        {0, -128, 123, 600, 26},     // right: (256 + 800) / 40
        {90, 123, 728, 800, 21},     // up: (256 + 600) / 40
        {180, 928, 123, 600, 26},    // left
        {270, 123, -128, 800, 21},   // down
    };
    for (const Case& k : cases) {
        TScenarioConfig c;
        c.DirectionBase = k.direction;
        c.DirectionRange = 0;
        c.SpeedRange = 0;
        TScriptedRandom random;
        random.Uniforms = {0.5, 0.5, 0.5, 0.5};
        random.Integers = {123};
        const TEffectStart e = c.NewEffect(random);
        EXPECT_EQ(random.UniformCalls, 4) << k.direction;
        ASSERT_EQ(random.Ranges.size(), 1u) << k.direction;
        EXPECT_EQ(random.Ranges[0], k.range) << k.direction;
        EXPECT_FLOAT_EQ(e.X, k.x) << k.direction;
        EXPECT_FLOAT_EQ(e.Y, k.y) << k.direction;
        EXPECT_EQ(e.Life, k.life) << k.direction;
        EXPECT_FLOAT_EQ(e.ScaleX, 1.0f);
        EXPECT_EQ(e.Colors[0], 0xFFFFFFFFu) << "no colours: white";
        const float rad = k.direction * std::numbers::pi_v<float> / 180;
        EXPECT_NEAR(e.VelocityX, DegCos(rad) * 40, 1e-4) << k.direction;
        EXPECT_NEAR(e.VelocityY, -DegSin(rad) * 40, 1e-4) << k.direction;
    }
}

TEST(ScenarioConfig, NewEffectWidensThePositionRangeTowardsItsDrift) {
    for (float direction : {30.0f, 330.0f}) {
        TScenarioConfig c;
        c.DirectionBase = direction;
        c.DirectionRange = 0;
        TScriptedRandom random;
        random.Integers = {0};
        const TEffectStart e = c.NewEffect(random);
        const auto rad = static_cast<float>(direction * std::numbers::pi / 180);
        const auto w = static_cast<std::int32_t>(DegSin(rad) * (2 * 128.0 + 800));
        ASSERT_EQ(random.Ranges.size(), 1u);
        if (w >= 0) {
            EXPECT_EQ(random.Ranges[0], static_cast<std::uint32_t>(w + 600));
            EXPECT_EQ(e.Y, 0.0f);
        } else {
            EXPECT_EQ(random.Ranges[0], static_cast<std::uint32_t>(600 - w));
            EXPECT_EQ(e.Y, static_cast<float>(w));
        }
    }
}

TEST(ScenarioConfig, NewEffectDepthColourAndSpin) {
    TScenarioConfig c;
    c.DistanceBase = 1;
    c.DistanceRange = 2;  // r2 = 0.5: distance 2
    c.LayersInterval = 1.5f;
    c.AlphaDecrease = 0.5f;
    c.RotationBase = 1;
    c.RotationRange = 4;
    c.Colors = {0x11111111, static_cast<std::int32_t>(0xFF804020u)};
    TScriptedRandom random;
    random.Uniforms = {0.0, 0.5, 0.0, 0.25};
    random.Integers = {1, 0};
    const TEffectStart e = c.NewEffect(random);
    EXPECT_EQ(random.Ranges[0], 2u) << "the colour is drawn before the position";
    EXPECT_EQ(e.RenderLayer, 220 - 10);
    EXPECT_FLOAT_EQ(e.ScaleX, 0.5f);
    EXPECT_FLOAT_EQ(e.ScaleY, 0.5f);
    // Darkened by 256 - trunc(0.5 x 0.5 x 256) = 192 in every byte.
    for (std::uint32_t corner : e.Colors) EXPECT_EQ(corner, 0xBF603018u);
    EXPECT_FLOAT_EQ(e.AngularSpeed, 2.0f);
    c.LayersInterval = 2.0f;  // not farther than the interval: the near layer
    random.Uniforms = {0.0, 0.5};
    EXPECT_EQ(c.NewEffect(random).RenderLayer, 1620 - 10);
}

TEST(ScenarioConfig, NewEffectSurvivesDegenerateScenarios) {
    struct Case {
        const char* what;
        float distanceBase, speedBase, speedRange, zoom, alphaDecrease;
    };
    for (const Case& k : {Case{"distance 0", 0, 40, 20, 1, 1e9f}, Case{"speed 0", 1, 0, 0, 1, -1e9f},
                          Case{"huge zoom", 1, 40, 20, 1e30f, 1e30f}, Case{"negative speed", 1, -40, 0, 1, -3e38f}}) {
        TScenarioConfig c;
        c.DistanceBase = k.distanceBase;
        c.DistanceRange = 0;
        c.SpeedBase = k.speedBase;
        c.SpeedRange = k.speedRange;
        c.Zoom = k.zoom;
        c.AlphaDecrease = k.alphaDecrease;
        c.Colors = {-1};
        TScriptedRandom random;
        random.FallbackUniform = 0.5;
        const TEffectStart e = c.NewEffect(random);
        EXPECT_GE(e.Life, 0) << k.what;
        EXPECT_LE(e.Life, 100000) << k.what;
    }
}

}  // namespace
}  // namespace qv
