#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "media/zkD3DQuadRenderer.h"
#include "media/zkD3DTextures.h"
#include "platform/render/FakeD3D8.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {

namespace {

using namespace d3d;
using test::TFakeRig;
using test::TLogCapture;

class QuadRendererTest : public ::testing::Test {
protected:
    explicit QuadRendererTest(int capacity = 3000) {
        // Textures 0..9, each a 64 x 64 picture; serial n + 1 in the fake.
        TBitmap image(64, 64, 0x00808080);
        for (int i = 0; i < 10; ++i)
            textures_.emplace_back(new TzkD3DTexture8(rig_.Device.get(), nullptr, &image, nullptr, 0, 0, 0));
        renderer_ = new TzkD3DQuadRenderer(rig_.Device.get(), capacity);
        rig_.Device->RestoreRenderers();
        World().ClearRecord();
    }
    ~QuadRendererTest() override {
        delete renderer_;
        textures_.clear();
    }

    TFakeWorld& World() { return *rig_.World; }
    TzkD3DQuadRenderer& R() { return *renderer_; }

    // A 10 x 10 quad with its top-left corner at (x, y).
    bool Quad(int texture, std::int32_t layer, float x, float y = 10) {
        const TPointF corners[4] = {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}};
        return R().AddQuad(texture, corners, nullptr, nullptr, layer, false);
    }
    // Renders one frame and clears the queue, as the device does.
    void Frame() {
        R().Render();
        R().Clear();
    }

    TLogCapture log_;
    TFakeRig rig_;
    std::vector<std::unique_ptr<TzkD3DTexture8>> textures_;
    TzkD3DQuadRenderer* renderer_ = nullptr;
};

TEST_F(QuadRendererTest, OffScreenTestLooksAtXOnly) {
    struct Case {
        float x[4];
        bool queued;
    };
    const Case cases[] = {
        {{801, 900, 801, 802}, false},   {{-1, -0.5f, -20, -1}, false}, {{800, 801, 900, 801}, true},
        {{0, -1, -2, -3}, true},         {{-5, 5, 5, -5}, true},        {{100, 110, 110, 100}, true},
    };
    for (const Case& c : cases) {
        const TPointF corners[4] = {{c.x[0], 10}, {c.x[1], 10}, {c.x[2], 20}, {c.x[3], 20}};
        EXPECT_EQ(R().AddQuad(0, corners, nullptr, nullptr, 0, false), c.queued) << c.x[0];
    }
    // Far below the screen still counts: y is not tested.
    EXPECT_TRUE(Quad(0, 0, 100, 5000));
    EXPECT_EQ(R().QuadCount, 5);
}

TEST_F(QuadRendererTest, DrawnByLayerThenTextureThenQueueOrder) {
    Quad(2, 5, 100);
    Quad(7, 1, 200);
    Quad(2, 5, 300);
    Quad(4, -3, 400);  // a negative layer sorts first
    Frame();
    ASSERT_EQ(World().Draws.size(), 3u);
    const TFakeDraw &first = World().Draws[0], &second = World().Draws[1], &third = World().Draws[2];
    EXPECT_EQ(first.Texture, 5);
    EXPECT_EQ(second.Texture, 8);
    EXPECT_EQ(third.Texture, 3);
    EXPECT_EQ(first.Vertices[0].x, 400.0f);
    EXPECT_EQ(second.Vertices[0].x, 200.0f);
    ASSERT_EQ(third.Vertices.size(), 8u);
    EXPECT_EQ(third.Vertices[0].x, 100.0f);
    EXPECT_EQ(third.Vertices[4].x, 300.0f);
}

TEST_F(QuadRendererTest, TheTopLayerSortsAfterEveryOther) {
    // 0x7FFFFF is the highest layer whose key (layer shl 8 or texture)
    // stays a positive int32: the game's top layer.
    Quad(1, 0x7FFFFF, 100);
    Quad(2, 9000, 200);
    Quad(3, 0x7FFFFE, 300);
    Frame();
    ASSERT_EQ(World().Draws.size(), 3u);
    EXPECT_EQ(World().Draws[0].Vertices[0].x, 200.0f);
    EXPECT_EQ(World().Draws[1].Vertices[0].x, 300.0f);
    EXPECT_EQ(World().Draws[2].Vertices[0].x, 100.0f);
}

TEST_F(QuadRendererTest, AdjacentKeysOfOneTextureShareADraw) {
    Quad(3, 1, 10);
    Quad(3, 2, 20);
    Quad(3, 2, 30);
    Quad(4, 3, 40);
    Quad(3, 4, 50);
    Frame();
    const std::vector<std::string> expected = {
        "VB.Lock(0,560,4096)",  "VB.Unlock()",
        "SetStreamSource(0,VB,28)", "SetIndices(IB,0)", "SetVertexShader(324)",
        "SetTexture(0,tex4)",   "DrawIndexedPrimitive(4,0,12,0,6)",
        "SetTexture(0,tex5)",   "DrawIndexedPrimitive(4,12,4,18,2)",
        "SetTexture(0,tex4)",   "DrawIndexedPrimitive(4,16,4,24,2)",
    };
    EXPECT_EQ(World().Calls, expected);
    EXPECT_EQ(World().Draws[0].Indices, (std::vector<std::uint32_t>{3, 0, 2, 1, 2, 0, 7, 4, 6, 5, 6, 4, 11, 8, 10,
                                                                   9, 10, 8}));
}

TEST_F(QuadRendererTest, AnEmptyFrameMakesNoCall) {
    Frame();
    EXPECT_TRUE(World().Calls.empty());
}

TEST_F(QuadRendererTest, VertexBufferIsAppendedUntilFullThenDiscarded) {
    R().VBOffset = 1500;
    for (int i = 0; i < 2000; ++i) Quad(i % 2, 0, 10);
    Frame();
    EXPECT_EQ(World().CallsStartingWith("VB.Lock"), std::vector<std::string>{"VB.Lock(0,224000,8192)"});
    EXPECT_EQ(World().Draws.at(0).MinIndex, 0u);
    EXPECT_EQ(R().VBOffset, 2000);
    World().ClearRecord();
    for (int i = 0; i < 500; ++i) Quad(1, 0, 10);
    Frame();
    EXPECT_EQ(World().CallsStartingWith("VB.Lock"), std::vector<std::string>{"VB.Lock(224000,56000,4096)"});
    EXPECT_EQ(World().CallsStartingWith("Draw"), std::vector<std::string>{"DrawIndexedPrimitive(4,8000,2000,12000,1000)"});
    EXPECT_EQ(R().VBOffset, 2500);
}

TEST_F(QuadRendererTest, QuadVerticesCarryTheDefaultsAndWhatIsGiven) {
    const TPointF corners[4] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    const TPointF uv[4] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}, {0.7f, 0.8f}};
    const std::uint32_t colors[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    R().AddQuad(0, corners, nullptr, nullptr, 0, false);
    R().AddQuad(0, corners, uv, colors, 0, true);
    Frame();
    const auto& v = World().Draws.at(0).Vertices;
    ASSERT_EQ(v.size(), 8u);
    const float defaultUv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].x, corners[i].X);
        EXPECT_EQ(v[i].y, corners[i].Y);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(v[i].z), 0x3F7FFF58u);
        EXPECT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].diffuse, 0xFFFFFFFFu);
        EXPECT_EQ(v[i].u, defaultUv[i][0]);
        EXPECT_EQ(v[i].v, defaultUv[i][1]);
    }
    // Flipped: corners 0, 1, 2, 3 in slots 1, 0, 3, 2, each with its own data.
    const int slot[4] = {1, 0, 3, 2};
    for (int i = 0; i < 4; ++i) {
        const TTLVertex& f = v[4 + slot[i]];
        EXPECT_EQ(f.x, corners[i].X);
        EXPECT_EQ(f.u, uv[i].X);
        EXPECT_EQ(f.v, uv[i].Y);
        EXPECT_EQ(f.diffuse, colors[i]);
    }
}

TEST_F(QuadRendererTest, SpritesMirrorWithOneNegativeScaleOnly) {
    TzkD3DSprite sprite(&R(), 0, nullptr, nullptr, 0, 0, 10);
    const TPointF mirrored{-1, 1}, turned{-1, -1}, none{0, 1};
    EXPECT_TRUE(sprite.Draw(&mirrored, {100, 100}, 0, nullptr));
    EXPECT_TRUE(sprite.Draw(&turned, {300, 300}, 0, nullptr));
    EXPECT_FALSE(sprite.Draw(&none, {100, 100}, 0, nullptr));
    EXPECT_EQ(R().QuadCount, 2);
    Frame();
    const auto& v = World().Draws.at(0).Vertices;
    // Mirrored: corner 0 (at the right, x 100 - 0.5) sits in slot 1.
    EXPECT_EQ(v[1].x, 99.5f);
    EXPECT_EQ(v[0].x, 99.5f - 64.0f);
    EXPECT_EQ(v[1].u, 0.0f);
    // Turned by scale (-1, -1): no flip, corner 0 in slot 0.
    EXPECT_EQ(v[4].x, 299.5f);
    EXPECT_EQ(v[4].y, 299.5f);
    EXPECT_EQ(v[6].x, 299.5f - 64.0f);
}

TEST_F(QuadRendererTest, SpriteRectanglesAndTheHalfPixelHotspot) {
    const RECT rect{0, 0, 32, 16};
    const TPointF centre{0.5f, 0.5f};
    TzkD3DSprite sprite(&R(), 1, &rect, nullptr, 0, 0, 7);
    EXPECT_EQ(sprite.U0, 0.0f);
    EXPECT_EQ(sprite.U1, 0.5f);
    EXPECT_EQ(sprite.V1, 0.25f);
    EXPECT_EQ(sprite.Width, 32.0f);
    EXPECT_EQ(sprite.Height, 16.0f);
    TzkD3DSprite sized(&R(), 1, &rect, &centre, 100, 50, 8);
    EXPECT_EQ(sized.Width, 100.0f);
    EXPECT_EQ(sized.HotspotX, 0.5f);
    sprite.Draw(nullptr, {100, 50}, 0, nullptr);
    sized.Draw(nullptr, {400, 300}, 0, nullptr, 2);  // layer 2 before the sprite's own 7
    Frame();
    ASSERT_EQ(World().Draws.size(), 1u);
    const auto& v = World().Draws[0].Vertices;
    EXPECT_FLOAT_EQ(v[0].x, 349.5f);
    EXPECT_FLOAT_EQ(v[0].y, 274.5f);
    EXPECT_EQ(v[4].x, 99.5f);
    EXPECT_EQ(v[4].y, 49.5f);
    EXPECT_EQ(v[6].x, 131.5f);
    EXPECT_EQ(v[6].y, 65.5f);
    EXPECT_EQ(v[6].u, 0.5f);
    EXPECT_EQ(v[6].v, 0.25f);
    EXPECT_EQ(R().Sprites.size(), 2u);
}

TEST_F(QuadRendererTest, ASpriteNeedsARegisteredTexture) {
    EXPECT_THROW(TzkD3DSprite(&R(), 42, nullptr, nullptr, 0, 0, 0), Exception);
    EXPECT_TRUE(R().Sprites.empty());
}

TEST_F(QuadRendererTest, QuadsOfAFreedTextureDrawNothing) {
    Quad(1, 0, 10);
    Quad(2, 0, 20);
    textures_[1].reset();
    Frame();
    ASSERT_EQ(World().Draws.size(), 1u);
    EXPECT_EQ(World().Draws[0].Texture, 3);
    EXPECT_EQ(World().Draws[0].MinIndex, 4u);
}

TEST_F(QuadRendererTest, TextureIndicesOutsideAByteAreRefusedOnce) {
    EXPECT_FALSE(Quad(256, 0, 10));
    EXPECT_FALSE(Quad(-1, 0, 10));
    EXPECT_TRUE(Quad(255, 0, 10));
    EXPECT_EQ(R().QuadCount, 1);
    EXPECT_EQ(log_.Count("* Msg 8100000F: Invalid function parameters (texture index 256)"), 1);
    EXPECT_EQ(log_.Count("8100000F"), 1);
}

TEST_F(QuadRendererTest, ResourcesAndStatesOfCreateResources) {
    rig_.Device->RestoreRenderers();
    const std::vector<std::string> expected = {
        "VB.Release()",
        "IB.Release()",
        "SetRenderState(22,3)",
        "SetRenderState(8,3)",
        "SetRenderState(7,0)",
        "SetRenderState(14,0)",
        "SetRenderState(137,0)",
        "SetRenderState(27,1)",
        "SetRenderState(19,5)",
        "SetRenderState(20,6)",
        "CreateVertexBuffer(336000,536,324,0)",
        "CreateIndexBuffer(36000,24,101,0)",
        "IB.Lock(0,36000,0)",
        "IB.Unlock()",
        "SetTextureStageState(0,16,2)",
        "SetTextureStageState(0,17,2)",
        "SetTextureStageState(0,1,4)",
        "SetTextureStageState(0,2,2)",
        "SetTextureStageState(0,3,0)",
        "SetTextureStageState(0,4,4)",
        "SetTextureStageState(0,5,2)",
        "SetTextureStageState(0,6,0)",
    };
    EXPECT_EQ(World().Calls, expected);
}

TEST_F(QuadRendererTest, MissingCapabilitiesSkipBlendingAndModulation) {
    D3DCAPS8& caps = rig_.D3D->Adapters(0)->Devices(0)->Caps;
    caps.DestBlendCaps = 0;
    caps.TextureOpCaps = 0;
    R().SrcBlend = D3DBLEND_ONE;
    rig_.Device->RestoreRenderers();
    EXPECT_TRUE(World().CallsStartingWith("SetRenderState(27").empty());
    EXPECT_EQ(World().CallsStartingWith("SetTextureStageState").size(), 2u);
    EXPECT_EQ(log_.Count("* Warning: No support for texture operation modulate"), 1);
    caps.DestBlendCaps = D3DPBLENDCAPS_INVSRCALPHA;
    World().ClearRecord();
    rig_.Device->RestoreRenderers();
    EXPECT_EQ(World().CallsStartingWith("SetRenderState(19"), std::vector<std::string>{"SetRenderState(19,2)"});
}

TEST_F(QuadRendererTest, FailedBuffersAreWarnedAndRaised) {
    struct Case {
        const char* call;
        const char* warning;
    };
    const Case cases[] = {
        {"CreateVertexBuffer", "* Warning: Error initializing state: Failed to create vertex buffer"},
        {"CreateIndexBuffer", "* Warning: Error initializing state: Failed to create index buffer"},
        {"SetRenderState", "* Warning: Error initializing state: The method call is invalid."},
    };
    for (const Case& c : cases) {
        log_.Clear();
        World().Failures = {{c.call, D3DERR_INVALIDCALL}};
        EXPECT_THROW(rig_.Device->RestoreRenderers(), EDirect3DError) << c.call;
        EXPECT_EQ(log_.Count(c.warning), 1) << c.call;
    }
    EXPECT_EQ(log_.Count("D3DRS_CULLMODE"), 1);
}

TEST_F(QuadRendererTest, RenderOnALostDeviceOnlyClears) {
    Quad(0, 0, 10);
    World().PresentResults.push_back(D3DERR_DEVICELOST);
    World().CooperativeResults.push_back(D3DERR_DEVICELOST);
    rig_.Device->Present();
    World().ClearRecord();
    World().CooperativeResults.push_back(D3DERR_DEVICELOST);
    rig_.Device->RenderScene();
    EXPECT_TRUE(World().Draws.empty());
    EXPECT_EQ(R().QuadCount, 0);
    EXPECT_FALSE(R().VertexBuffer);
}

TEST(QuadRendererCapacityTest, CapacityIsBoundedByTheIndexWidth) {
    TLogCapture log;
    TFakeRig rig;
    for (int capacity : {0, -5, 16385})
        EXPECT_THROW(TzkD3DQuadRenderer(rig.Device.get(), capacity), Exception) << capacity;
    EXPECT_NO_THROW(TzkD3DQuadRenderer(rig.Device.get(), 16384));
}

class SmallQuadRendererTest : public QuadRendererTest {
protected:
    SmallQuadRendererTest() : QuadRendererTest(2) {}
};

TEST_F(SmallQuadRendererTest, QuadsPastTheCapacityAreRefusedAndLoggedOnce) {
    EXPECT_TRUE(Quad(0, 0, 10));
    EXPECT_TRUE(Quad(0, 0, 20));
    EXPECT_FALSE(Quad(0, 0, 30));
    EXPECT_FALSE(Quad(1, 0, 40));
    Frame();
    EXPECT_EQ(World().Draws.at(0).NumVertices, 8u);
    EXPECT_TRUE(Quad(0, 0, 10));
    EXPECT_TRUE(Quad(0, 0, 20));
    EXPECT_FALSE(Quad(0, 0, 30));
    EXPECT_EQ(log_.Count("* Msg 8100000B: Too many simultaneous quads on end scene"), 1);
}

class LargeQuadRendererTest : public QuadRendererTest {
protected:
    LargeQuadRendererTest() : QuadRendererTest(16384) {}
};

TEST_F(LargeQuadRendererTest, KeysPastTheBucketTableAreRefused) {
    for (int layer = 0; layer < TzkD3DQuadRenderer::kBucketLimit; ++layer) ASSERT_TRUE(Quad(0, layer, 10));
    EXPECT_FALSE(Quad(0, 20000, 10));  // a new key
    EXPECT_TRUE(Quad(0, 5, 10));       // a known key still takes quads
    EXPECT_EQ(R().BucketCount, TzkD3DQuadRenderer::kBucketLimit);
    EXPECT_EQ(log_.Count("* Msg 8100000B: Too many simultaneous quads on end scene"), 1);
    Frame();
    // One texture throughout: all keys merge into one run.
    ASSERT_EQ(World().Draws.size(), 1u);
    EXPECT_EQ(World().Draws[0].PrimitiveCount, 2u * 10001u);
}

}  // namespace

}  // namespace qv
