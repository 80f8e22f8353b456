#include <gtest/gtest.h>

#include <SDL.h>

#include "game/assets/qv3Graphics.h"
#include "game/assets/qv3Resources.h"
#include "platform/render/FakeD3D8.h"
#include "platform/render/SdlD3D8.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/ScenarioFixture.h"
#include "tests/support/TempDir.h"
#include "platform/resources/ResourcePackWriter.h"

#include <cstring>
#include <map>

namespace qv {

namespace {

using namespace d3d;
using test::EncodeJpeg;
using test::EncodeRgbPng;
using test::TBytes;
using test::TFakeRig;
using test::TLogCapture;

[[maybe_unused]] const bool kKeepGl = test::KeepGlLoaded();

constexpr int kSlot = 5;

TBytes Png(std::uint32_t w, std::uint32_t h, std::uint32_t colour) {
    return EncodeRgbPng(w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, colour));
}

TBytes Jpeg(std::uint32_t w, std::uint32_t h, std::uint8_t grey) {
    return EncodeJpeg(w, h, 1, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, grey), 90);
}

// Every picture of the image set as small PNGs in the shared resources,
// plus a built-in scenario in slot 5; tests change the lists before Open.
class GraphicsTest : public ::testing::Test {
protected:
    GraphicsTest() {
        for (const TGameTextureEntry& e : GameTextureTable) {
            const bool font = std::string(e.Name).find("Font") != std::string::npos;
            const std::uint32_t side = font || std::string(e.Name) == "Misc2" ? 256 : 16;
            Data(std::string(e.Name) + ".png", Png(side, side, 0x00804020));
            if (e.Mask) Data(std::string(e.Mask) + ".png", Png(side, side, 0x00FFFFFF));
        }
        pack_.BuiltIn.push_back({kSlot, scenario_});
    }

    void Data(const std::string& name, TBytes bytes) {
        for (auto& [n, b] : pack_.Data)
            if (n == name) {
                b = std::move(bytes);
                return;
            }
        pack_.Data.emplace_back(name, std::move(bytes));
    }
    void RemoveData(const std::string& name) {
        std::erase_if(pack_.Data, [&](const auto& entry) { return entry.first == name; });
    }
    test::TScenarioFixture& Scenario() { return pack_.BuiltIn[0].second; }

    TGameGraphics& Open(TzkD3Device8* device = nullptr) {
        graphics_.reset();
        resources_.reset();
        sys::TResourcePackWriter pack;
        for (const auto& [name, bytes] : pack_.Data) pack.Add(kSharedResourceType, name, bytes);
        for (const auto& [name, bytes] : Scenario().Resources()) {
            auto replaced = replaceInScenario_.find(name);
            pack.Add(ScenarioResourceType(kSlot), name, replaced == replaceInScenario_.end() ? bytes : replaced->second);
        }
        EXPECT_TRUE(pack.Save(dir_ / "quorvex.dat"));
        resources_ = std::make_unique<TQVX3Resources>(dir_.Path(), dir_ / "quorvex.dat");
        resources_->SelectScenario(kSlot);
        graphics_ = std::make_unique<TGameGraphics>(device ? device : rig_.Device.get(), 3000, resources_.get());
        return *graphics_;
    }
    // The fake texture behind game texture `index` (textures are made in
    // index order when all load at once).
    const TFakeTextureData& FakeTexture(int index) {
        return *rig_.World->Textures.at(static_cast<std::size_t>(index));
    }
    // Renders the queued quads on the fake and returns the draws.
    const std::vector<TFakeDraw>& Frame() {
        rig_.World->ClearRecord();
        rig_.Device->RenderScene();
        return rig_.World->Draws;
    }

    TLogCapture log_;
    test::TempDir dir_;
    test::TScenarioFixture scenario_;
    test::TProgramPackFixture pack_;
    std::map<std::string, TBytes> replaceInScenario_;
    TFakeRig rig_;
    std::unique_ptr<TQVX3Resources> resources_;
    std::unique_ptr<TGameGraphics> graphics_;
};

TEST(GlyphOfCharTest, LettersDigitsSignsAndAccents) {
    struct Case {
        unsigned char c;
        int glyph, accent;
    };
    const Case cases[] = {
        {'A', 0, -1},   {'a', 0, -1},   {'Z', 25, -1},  {'z', 25, -1},  {'0', 14, -1},  {'O', 14, -1},
        {'1', 26, -1},  {'9', 34, -1},  {'+', 35, -1},  {'>', 66, -1},  {'@', 43, -1},  {'"', 50, -1},
        {'?', 56, -1},  {'}', 58, -1},  {'~', 59, -1},  {'`', 61, -1},  {'\'', 62, -1}, {';', 64, -1},
        {0xC7, 57, -1}, {0xE7, 57, -1}, {0xDF, 63, -1}, {0xC0, 0, 0},   {0xE1, 0, 1},   {0xC2, 0, 2},
        {0xE3, 0, 3},   {0xC4, 0, 4},   {0xC8, 4, 0},   {0xE9, 4, 1},   {0xCA, 4, 2},   {0xEB, 4, 4},
        {0xCC, 8, 0},   {0xEF, 8, 4},   {0xD2, 14, 0},  {0xF5, 14, 3},  {0xD6, 14, 4},  {0xD9, 20, 0},
        {0xFA, 20, 1},  {0xDC, 20, 4},  {' ', -1, -1},  {0xC5, -1, -1}, {0xD7, -1, -1}, {0xFD, -1, -1},
        {0xA8, -1, -1}, {'{', -1, -1},  {'\\', -1, -1}, {0x80, -1, -1},
    };
    for (const Case& c : cases) {
        int accent = 99;
        EXPECT_EQ(GlyphOfChar(c.c, &accent), c.glyph) << std::hex << int{c.c};
        EXPECT_EQ(accent, c.accent) << std::hex << int{c.c};
    }
}

TEST(FadeColoursTest, ScalesTheColourOrMakesGrey) {
    EXPECT_EQ(FadeColours(nullptr, 0.5f), (std::array<std::uint32_t, 4>{0x7F7F7F7F, 0x7F7F7F7F, 0x7F7F7F7F,
                                                                       0x7F7F7F7F}));
    const std::uint32_t colour = 0x80FF8040;
    EXPECT_EQ(FadeColours(&colour, 0.5f)[2], 0x807F4020u);
    EXPECT_EQ(FadeColours(&colour, 1.0f)[0], colour);
    EXPECT_EQ(FadeColours(nullptr, 0.0f)[3], 0u);
    EXPECT_EQ(FadeColours(nullptr, 1.0f)[1], 0xFFFFFFFFu);
}

TEST_F(GraphicsTest, LoadingAllTexturesReportsProgressAndBuildsTheSprites) {
    TGameGraphics& g = Open();
    std::vector<int> progress;
    g.OnProgress = [&](TGameGraphics& sender, int percent) {
        EXPECT_EQ(&sender, &g);
        progress.push_back(percent);
    };
    g.LoadTextures(0, 1, 100);
    ASSERT_EQ(progress.size(), 32u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.front(), 1 + 99 / 32);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(g.TexturesLoaded, 32);
    for (int i = 0; i < kFixedSpriteCount; ++i) EXPECT_TRUE(g.FixedSprite(i)) << i;
    for (int f = 0; f < 2; ++f)
        for (int j = 0; j < kGlyphCount; ++j) EXPECT_TRUE(g.Glyph(f, j)) << f << "/" << j;
    EXPECT_FALSE(g.FixedSprite(33));

    // Backgrounds: the fixed rectangle drawn over the whole screen.
    const TzkD3DSprite* back = g.FixedSprite(1);
    EXPECT_EQ(back->TextureIndex, g.Texture(23)->Index);
    EXPECT_EQ(back->Width, 800.0f);
    EXPECT_EQ(back->U0, 1.0f / 16);
    // The plain region: u and v from 1/256 to 254/256.
    const TzkD3DSprite* plain = g.FixedSprite(31);
    EXPECT_EQ(plain->U0, 1.0f / 256);
    EXPECT_EQ(plain->V1, 254.0f / 256);
    // The particle: the whole texture, centred.
    EXPECT_EQ(g.FixedSprite(32)->U1, 1.0f);
    EXPECT_EQ(g.FixedSprite(32)->HotspotX, 0.5f);

    // Creature frames: column f mod columns, row f div columns.
    const TzkD3DSprite* virus = g.CreatureFrame(0, 5);
    ASSERT_TRUE(virus);
    EXPECT_EQ(virus->U0, 170.0f / 16);
    EXPECT_EQ(virus->V0, 64.0f / 16);
    EXPECT_EQ(virus->Width, 84.0f);
    EXPECT_EQ(virus->Layer, 800);
    EXPECT_FALSE(g.CreatureFrame(0, 12));
    const TzkD3DSprite* nivlet = g.CreatureFrame(6, 2);
    ASSERT_TRUE(nivlet);
    EXPECT_EQ(nivlet->V0, 170.0f / 16);
    EXPECT_EQ(nivlet->Width, 307.0f);
    EXPECT_EQ(nivlet->Height, 54.0f);
    EXPECT_EQ(nivlet->Layer, 806);
    EXPECT_FALSE(g.CreatureFrame(16, 0));
    // Animated sheets.
    const TzkD3DSprite* flag = g.AnimatedFrame(0, 4);
    ASSERT_TRUE(flag);
    EXPECT_EQ(flag->U0, 85.0f / 16);
    EXPECT_EQ(flag->V0, 64.0f / 16);
    EXPECT_EQ(flag->Layer, 501);
    EXPECT_EQ(g.AnimatedFrame(2, 11)->V0, (134.0f + 3 * 29) / 256);
    EXPECT_FALSE(g.AnimatedFrame(2, 12));
}

TEST_F(GraphicsTest, GroupsLoadAndUnloadOnTheirOwn) {
    TGameGraphics& g = Open();
    g.LoadTextures(1 << 1, 0, 0);
    EXPECT_EQ(g.TexturesLoaded, 3);
    EXPECT_TRUE(g.Glyph(1, 40));
    EXPECT_FALSE(g.FixedSprite(0));
    EXPECT_FALSE(g.CreatureFrame(0, 0));
    g.LoadTextures(0, 0, 100);
    EXPECT_EQ(g.TexturesLoaded, 32);
    g.UnloadTextures(1 << 2);
    EXPECT_FALSE(g.Texture(31));
    EXPECT_FALSE(g.FixedSprite(32));
    EXPECT_TRUE(g.FixedSprite(31));
    EXPECT_EQ(rig_.Device->GetTexture(g.Texture(30)->Index), g.Texture(30));
    g.UnloadTextures(0);
    for (int i = 0; i < kGameTextureCount; ++i) EXPECT_FALSE(g.Texture(i));
    EXPECT_TRUE(g.Renderer()->Sprites.empty());
}

TEST_F(GraphicsTest, JpegBeatsPngAndPngServesAlone) {
    Scenario().Extra = {{"Decor2.png", Png(16, 16, 0x00FF0000)}, {"Decor2Mask.png", Png(16, 16, 0x00FFFFFF)},
                        {"Decor3.png", Png(16, 16, 0x00FF0000)}, {"Decor3.jpg", Jpeg(16, 16, 0x40)}};
    RemoveData("Decor2.png");
    TGameGraphics& g = Open();
    g.LoadTextures(0, 0, 100);
    EXPECT_EQ(FakeTexture(26).Texel(3, 3), 0xFFFF0000u);  // the scenario's PNG
    const std::uint32_t fromJpeg = FakeTexture(27).Texel(3, 3);
    EXPECT_NEAR(static_cast<int>(fromJpeg & 0xFF), 0x40, 2);
    EXPECT_NEAR(static_cast<int>((fromJpeg >> 16) & 0xFF), 0x40, 2);
}

TEST_F(GraphicsTest, LowDetailCapsTexturesButKeepsPictureCoordinates) {
    Data("Back1.png", Png(512, 512, 0x00101010));
    TGameGraphics& g = Open();
    g.LowDetail = true;
    g.LoadTextures(0, 0, 100);
    EXPECT_EQ(g.Texture(22)->TextureWidth, 256u);
    EXPECT_EQ(g.Texture(22)->ImageWidth, 512);
    EXPECT_EQ(g.FixedSprite(0)->U1, 511.0f / 512);
    EXPECT_EQ(g.Texture(3)->TextureWidth, 256u);
}

TEST_F(GraphicsTest, DecorSpritesFollowTheBoundariesAndRefuseUnknownImages) {
    Scenario().Boundaries = {{0, 0, 0, 100, 50}, {3, 10, 20, 70, 90}, {7, 0, 0, 8, 8}, {1, 9, 9, 3, 3}, {-1, 0, 0, 4, 4}};
    TGameGraphics& g = Open();
    g.LoadTextures(0, 0, 100);
    ASSERT_EQ(g.DecorSpriteCount(), 5);
    ASSERT_TRUE(g.DecorSprite(0));
    EXPECT_EQ(g.DecorSprite(0)->Layer, 2000);
    EXPECT_EQ(g.DecorSprite(0)->TextureIndex, g.Texture(25)->Index);
    EXPECT_EQ(g.DecorSprite(0)->Width, 100.0f);
    ASSERT_TRUE(g.DecorSprite(1));
    EXPECT_EQ(g.DecorSprite(1)->Layer, 1997);
    EXPECT_EQ(g.DecorSprite(1)->TextureIndex, g.Texture(28)->Index);
    EXPECT_FALSE(g.DecorSprite(2));  // image 7 names no decor picture
    EXPECT_FALSE(g.DecorSprite(3));  // a rectangle that is not well formed
    EXPECT_FALSE(g.DecorSprite(4));
    EXPECT_FALSE(g.DecorSprite(5));
    EXPECT_EQ(log_.Count("* Warning: Decor sprite 2 names no decor image (7)"), 1);
}

TEST_F(GraphicsTest, FailuresNameTheTexture) {
    struct Case {
        std::function<void()> change;
        const char* message;
        const char* logged;
    };
    const Case cases[] = {
        {[this] { RemoveData("Virus3Mask.png"); }, "Failed to load texture Virus3:Resource Virus3Mask.png not found",
         "* Info: Error loading texture files"},
        {[this] { Data("Misc1.png", test::Bytes("not a picture")); },
         "Failed to load texture Misc1:not a PNG or JPEG picture", "* Info: Error loading texture files"},
        {[this] {
             Data("Title.png", Png(100, 64, 0));
             Data("TitleMask.png", Png(100, 64, 0));
         },
         "Failed to load texture Title:Invalid function parameters", "* Info: Error creating texture"},
        {[this] { replaceInScenario_["decor.bnd"] = test::Bytes("zkrSB_HD"); }, "Failed to create decor sprites:",
         nullptr},
    };
    const test::TProgramPackFixture initial = pack_;
    for (const Case& c : cases) {
        pack_ = initial;
        replaceInScenario_.clear();
        c.change();
        log_.Clear();
        TGameGraphics& g = Open();
        try {
            g.LoadTextures(0, 0, 100);
            ADD_FAILURE() << c.message;
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
        if (c.logged) {
            EXPECT_EQ(log_.Count(c.logged), 1) << c.logged;
        }
    }
}

TEST_F(GraphicsTest, APathCutsThePictureIntoStripsAlongASineFromItsHead) {
    TGameGraphics& g = Open();
    g.LoadTextures(0, 0, 0);
    const TzkD3DSprite* nivlet = g.CreatureFrame(6, 0);  // 307 x 54, reference point at its right end
    const TzkD3DSprite* virus = g.CreatureFrame(0, 0);   // 84 x 63, reference point in its middle
    ASSERT_TRUE(nivlet && virus);
    TGameGraphics::TPathShape shape;
    shape.Amplitude = 20;
    shape.Phase = 1.5707964f;  // the head 20 below the middle line
    shape.PhaseLength = 2;
    const std::uint32_t colours[4] = {0xFF102030, 0xFF102030, 0xFF102030, 0xFF102030};
    g.DrawPath(nivlet, nullptr, 10, shape, {600, 300}, colours);
    const TPointF half{0.5f, 2};
    g.DrawPath(virus, &half, 1, TGameGraphics::TPathShape{}, {100, 100}, colours);
    const auto& draws = Frame();
    ASSERT_EQ(draws.size(), 2u);
    // The virus first (layer 800): one strip, the picture as one quad from
    // its head end at 100 + 42 x 0.5, 63 high on either side of y 100.
    const auto& v = draws[0].Vertices;
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[1].x, 121 - 0.5f, 1e-3);
    EXPECT_NEAR(v[0].x, 121 - 42 - 0.5f, 1e-3);
    EXPECT_NEAR(v[0].y, 100 - 63 - 0.5f, 1e-3);
    EXPECT_NEAR(v[3].y, 100 + 63 - 0.5f, 1e-3);
    EXPECT_EQ(v[1].u, virus->U1);
    EXPECT_EQ(v[0].u, virus->U0);

    // The nivlet: 10 strips of 11 points; the head at (600, 320).
    const auto& n = draws[1].Vertices;
    ASSERT_EQ(n.size(), 40u);
    const float headY = (n[1].y + n[2].y) / 2 + 0.5f;
    EXPECT_NEAR(n[1].x + 0.5f, 600, 1e-3);
    EXPECT_NEAR(headY, 320, 1e-3);
    EXPECT_NEAR(n[2].y - n[1].y, 54, 1e-3);  // across the path: straight down at the head
    EXPECT_EQ(n[1].u, nivlet->U1);
    EXPECT_EQ(n[36].u, nivlet->U0);  // the tail end of the last strip
    for (int k = 0; k < 10; ++k) {
        const std::size_t q = static_cast<std::size_t>(k) * 4;
        const float x = 600 - 307.0f * static_cast<float>(k) / 10;
        const float y = 300 + 20 * std::sin(-2.0f * static_cast<float>(k) / 10 + 1.5707964f);
        EXPECT_NEAR((n[q + 1].x + n[q + 2].x) / 2 + 0.5f, x, 1e-2) << k;
        EXPECT_NEAR((n[q + 1].y + n[q + 2].y) / 2 + 0.5f, y, 1e-2) << k;
        if (k > 0) {  // strips meet
            EXPECT_EQ(n[q + 1].x, n[q - 4].x) << k;
            EXPECT_EQ(n[q + 1].u, n[q - 4].u) << k;
        }
        EXPECT_EQ(n[q].diffuse, 0xFF102030u);
    }
}

TEST_F(GraphicsTest, TheProgressBarIsTheGradientColumnOfTheLoadingFont) {
    TGameGraphics& g = Open();
    g.LoadTextures(1 << 1, 0, 0);
    g.DrawProgressBar({300, 567}, {100, 26}, 1000);
    g.DrawProgressBar({300, 567}, {0, 26}, 1000);  // nothing yet
    const auto& draws = Frame();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].Texture, FakeTexture(0).Serial);
    const auto& v = draws[0].Vertices;
    ASSERT_EQ(v.size(), 4u);
    EXPECT_FLOAT_EQ(v[0].x, 299.5f);
    EXPECT_FLOAT_EQ(v[2].x, 399.5f);
    EXPECT_FLOAT_EQ(v[2].y, 592.5f);
    for (const auto& corner : v) EXPECT_EQ(corner.u, kProgressBarU);
    EXPECT_EQ(v[0].v, kProgressBarV0);
    EXPECT_EQ(v[3].v, kProgressBarV1);
}

TEST_F(GraphicsTest, TextWidthSumsGlyphsAndSpacing) {
    TGameGraphics& g = Open();
    // Font 1: the scenario's widths + 1 (A 35, B 33); no glyph: 30.
    EXPECT_EQ(g.GlyphWidth(1, 0), 36);
    EXPECT_EQ(g.GlyphWidth(1, -1), 30);
    EXPECT_EQ(g.TextWidth("AB", 2, 1), 72);
    EXPECT_EQ(g.TextWidth("A B", 0, 0.5f), 50);
    EXPECT_EQ(g.TextWidth("AB", 1.5f, 0.5f), 36);  // 35 + 1.5 truncated
    EXPECT_EQ(g.TextWidth("", 4, 1), 0);
    g.CurrentFont = 0;
    // Font 0: the built-in widths + 1, + 1 (A 18); no glyph: 14.
    EXPECT_EQ(g.GlyphWidth(0, 0), 20);
    EXPECT_EQ(g.TextWidth("A A", 0, 1), 54);
}

TEST_F(GraphicsTest, TextStopsAtTheRightEdgeAndSkipsWhatIsLeftOfTheScreen) {
    TGameGraphics& g = Open();
    g.LoadTextures(1 << 1, 0, 0);
    // 'W' of font 1 is 36 wide: glyphs at 8, 44, .. 764; the next would start
    // at 800 (its quad, half a pixel to the left, would still be on screen).
    g.DrawText(std::string(40, 'W'), {8, 300}, 0, nullptr, 1, 0);
    EXPECT_EQ(g.Renderer()->QuadCount, 22);
    g.Renderer()->Clear();
    // From -100: the glyphs ending at -64 and -28 are skipped.
    g.DrawText("WWWW", {-100, 300}, 0, nullptr, 1, 0);
    EXPECT_EQ(g.Renderer()->QuadCount, 2);
    g.Renderer()->Clear();
    EXPECT_EQ(Frame().size(), 0u);
}

TEST_F(GraphicsTest, GlyphsAndAccentsArePlacedByTheLayoutRules) {
    TGameGraphics& g = Open();
    g.LoadTextures(1 << 1, 0, 0);
    // E is 31 wide; the acute of font 1 sits 31 div 2 - 9 = 6 to the right,
    // 48 x 0.5 above the glyph tops (300 - 48 div 2).
    g.DrawText("\xC9", {100, 300}, 0, nullptr, 1, 0);
    // Right aligned "AB" with spacing 2 starts at 500 - 72.
    g.DrawText("AB", {500, 400}, 1, nullptr, 1, 2);
    // Centred at scale 0.5: the width is 35, so it starts 17 left of 200.
    g.DrawText("AB", {200, 500}, 2, nullptr, 0.5f, 0);
    // The acute (glyph 62) lies on the second texture of font 1: a draw of its own.
    const auto& draws = Frame();
    ASSERT_EQ(draws.size(), 2u);
    const auto& v = draws[0].Vertices;
    ASSERT_EQ(v.size(), 5u * 4);
    const float expected[5][2] = {{100, 276}, {428, 376}, {428 + 2 + 36, 376}, {183, 488}, {183 + 18, 488}};
    for (int q = 0; q < 5; ++q) {
        EXPECT_FLOAT_EQ(v[static_cast<std::size_t>(q) * 4].x, expected[q][0] - 0.5f) << q;
        EXPECT_FLOAT_EQ(v[static_cast<std::size_t>(q) * 4].y, expected[q][1] - 0.5f) << q;
    }
    EXPECT_FLOAT_EQ(draws[1].Vertices[0].x, 106 - 0.5f);
    EXPECT_FLOAT_EQ(draws[1].Vertices[0].y, 252 - 0.5f);
}

TEST_F(GraphicsTest, AnimatedTextsMoveTheirLetters) {
    TGameGraphics& g = Open();
    g.LoadTextures(1 << 1, 0, 0);
    // Letter reveal: at t 0.15 with delay 0.1 two letters show.
    g.DrawTextTyped("ABCD", {100, 300}, 0, nullptr, 0.15f, 0.1f, 1, 0);
    EXPECT_EQ(g.Renderer()->QuadCount, 2);
    g.Renderer()->Clear();
    // Slide: at 0 in place, at -1 a whole distance to the left, at 1 to the right.
    for (const auto& [p, dx] : {std::pair{0.0f, 0.0f}, {-1.0f, -300.0f}, {1.0f, 300.0f}}) {
        g.DrawTextSlide("A", {400, 300}, 0, nullptr, p, 300, 1, 0);
        const auto& draws = Frame();
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_FLOAT_EQ(draws[0].Vertices[0].x, 400 + dx - 0.5f) << p;
    }
    // Wave: at z 0.5 of two letters the first is in place, the second a drop below.
    g.DrawTextWave("AB", {100, 300}, 0, nullptr, 0.5f, 40, 1, 0);
    const auto& waved = Frame();
    ASSERT_EQ(waved.size(), 1u);
    EXPECT_FLOAT_EQ(waved[0].Vertices[0].y, 276 - 0.5f);
    EXPECT_FLOAT_EQ(waved[0].Vertices[4].y, 276 + 40 - 0.5f);
}

TEST_F(GraphicsTest, ScreensAreLoadedWithTheirPictures) {
    for (int i = 1; i <= 3; ++i) Data("loading" + std::to_string(i) + ".jpg", Jpeg(800, 600, 0x80));
    Data("credits.jpg", Jpeg(800, 600, 0x20));
    Data("LoadingSida.png", Png(8, 8, 0x00FF0000));
    TGameGraphics& g = Open();
    g.Language = 2;
    std::vector<int> progress;
    g.OnProgress = [&](TGameGraphics&, int percent) { progress.push_back(percent); };
    g.LoadScreens();
    EXPECT_GE(g.LoadingPicture, 1);
    EXPECT_LE(g.LoadingPicture, 3);
    EXPECT_EQ(g.TexturesLoaded, 32);
    EXPECT_EQ(progress.back(), 100);
    ASSERT_EQ(rig_.World->Surfaces.size(), 2u);
    const TFakeSurfaceData& loading = *rig_.World->Surfaces[0];
    EXPECT_EQ(loading.Width, 800u);
    EXPECT_EQ(loading.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(loading.Pixel(632, 56), 0xFFFF0000u);
    EXPECT_EQ(loading.Pixel(639, 63), 0xFFFF0000u);
    EXPECT_NEAR(static_cast<int>(loading.Pixel(640, 64) & 0xFF), 0x80, 2);
    EXPECT_NEAR(static_cast<int>(rig_.World->Surfaces[1]->Pixel(10, 10) & 0xFF), 0x20, 2);
    rig_.World->ClearRecord();
    g.DrawLoadingSurface();
    g.DrawCreditsSurface();
    EXPECT_EQ(rig_.World->CallsStartingWith("CopyRects"),
              (std::vector<std::string>{"CopyRects(surf1,all,BB)", "CopyRects(surf2,all,BB)"}));
}

TEST_F(GraphicsTest, MissingScreensRaiseWithTheirPrefix) {
    TGameGraphics& g = Open();
    g.Language = 0;
    try {
        g.LoadScreens();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to load info surface: Resource loading", 0), 0u) << e.what();
    }
    for (int i = 1; i <= 3; ++i) Data("loading" + std::to_string(i) + ".jpg", Jpeg(16, 16, 0x80));
    TGameGraphics& again = Open();
    again.Language = 0;
    try {
        again.LoadScreens();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Failed to load credits/title surface: Resource credits.jpg not found");
    }
}

TEST_F(GraphicsTest, TextOnTheRealRenderer) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    TzkD3D8 d3d;
    d3d.EnumerateAdapters();
    TzkD3DDeviceInfo* info = d3d.Adapters(0)->Devices(0);
    TzkD3DMode mode;
    for (int i = 0; i < info->ModeCount(); ++i) {
        info->GetMode(i, mode);
        if (mode.Width == 800 && mode.Format == D3DFMT_X8R8G8B8) break;
    }
    TzkD3Device8 device(info, nullptr, nullptr, true, mode);
    struct TDropFirst {
        std::unique_ptr<TGameGraphics>& graphics;
        ~TDropFirst() { graphics.reset(); }
    } dropFirst{graphics_};
    ASSERT_TRUE(SdlRendererName(device.Device.get()).rfind("opengl", 0) == 0);
    Data("Font1.png", Png(256, 256, 0x00FFFFFF));
    TGameGraphics& g = Open(&device);
    g.LoadTextures(1 << 1, 0, 0);
    device.BeginScene();
    g.DrawText("H", {100, 300}, 0, nullptr, 1, 0);
    device.RenderScene();
    auto surface = device.GetBackBuffer();
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto pixel = [&](int x, int y) {
        std::uint32_t v;
        std::memcpy(&v, static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        return v | 0xFF000000u;
    };
    // "H" covers its 35-pixel cell from x 100, rows 276 .. 323.
    EXPECT_EQ(pixel(100, 276), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(134, 323), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(135, 300), 0xFF000000u);
    EXPECT_EQ(pixel(100, 275), 0xFF000000u);
    surface->UnlockRect();
    device.EndScene();
    device.Present();
}

}  // namespace

}  // namespace qv
