// Pictures drawn by the real GL renderer on SDL's offscreen video driver,
// read back and compared with texels the test computes.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "media/zkD3D.h"
#include "media/zkD3DQuadRenderer.h"
#include "media/zkD3DTextures.h"
#include "platform/render/PixelFormats.h"
#include "platform/render/SdlD3D8.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {

namespace {

using namespace d3d;
using test::TLogCapture;

constexpr int kW = 800, kH = 600;

[[maybe_unused]] const bool kKeepGl = test::KeepGlLoaded();

class SdlRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "offscreen", 1); }

    void SetUp() override { Open(true); }
    void TearDown() override { Close(); }

    void Open(bool windowed, D3DFORMAT format = D3DFMT_X8R8G8B8, const TSdlOptions& options = TSdlOptions()) {
        Close();
        d3d_ = std::make_unique<TzkD3D8>([options] { return CreateSdlDirect3D8(options); });
        d3d_->EnumerateAdapters();
        TzkD3DDeviceInfo* info = d3d_->Adapters(0)->Devices(0);
        TzkD3DMode mode;
        bool found = false;
        for (int i = 0; i < info->ModeCount() && !found; ++i) {
            info->GetMode(i, mode);
            found = mode.Width == 800 && mode.Height == 600 && mode.Format == format;
        }
        ASSERT_TRUE(found) << "no 800 x 600 mode";
        device_ = std::make_unique<TzkD3Device8>(info, nullptr, nullptr, windowed, mode);
        const std::string renderer = SdlRendererName(device_->Device.get());
        // The pixel tests need the GL renderer; anything else is a failure.
        ASSERT_TRUE(renderer == "opengl" || renderer == "opengles2") << "renderer: '" << renderer << "'";
        quads_ = new TzkD3DQuadRenderer(device_.get(), 3000);
    }
    void Close() {
        delete quads_;
        quads_ = nullptr;
        textures_.clear();
        device_.reset();
        d3d_.reset();
    }

    TzkD3DTexture8* Texture(const TBitmap& image, std::vector<D3DFORMAT> formats = {D3DFMT_A8R8G8B8},
                            const TBitmap* mask = nullptr) {
        textures_.emplace_back(new TzkD3DTexture8(device_.get(), nullptr, &image, mask, 0, 0, 0, formats));
        return textures_.back().get();
    }

    // One frame: clear to `background`, queue through `draw`, render, read
    // the back buffer, present.
    std::vector<std::uint32_t> Frame(const std::function<void()>& draw, D3DCOLOR background = 0xFF000000) {
        EXPECT_TRUE(device_->CheckDevice());
        device_->BeginScene();
        device_->Device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        draw();
        device_->RenderScene();
        std::vector<std::uint32_t> pixels = ReadBack();
        device_->EndScene();
        device_->Present();
        return pixels;
    }

    std::vector<std::uint32_t> ReadBack() {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kW) * kH, 0);
        auto surface = device_->GetBackBuffer();
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        D3DLOCKED_RECT locked;
        const HRESULT hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        EXPECT_EQ(hr, D3D_OK);
        if (Failed(hr)) return pixels;
        const auto* bytes = static_cast<const std::uint8_t*>(locked.pBits);
        const UINT bpp = FormatBytesPerPixel(desc.Format);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                pixels[static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x)] =
                    ExpandPixel(desc.Format, bytes + y * locked.Pitch + x * static_cast<int>(bpp));
        surface->UnlockRect();
        return pixels;
    }

    static std::uint32_t At(const std::vector<std::uint32_t>& pixels, int x, int y) {
        return pixels[static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x)];
    }

    // A 4 x 4 picture of distinct colours.
    static TBitmap Pattern() {
        TBitmap image(4, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                image.At(x, y) = (static_cast<std::uint32_t>(40 + x * 60) << 16) |
                                 (static_cast<std::uint32_t>(30 + y * 70) << 8) | static_cast<std::uint32_t>(17 * (x + y));
        return image;
    }

    TLogCapture log_;
    std::unique_ptr<TzkD3D8> d3d_;
    std::unique_ptr<TzkD3Device8> device_;
    std::vector<std::unique_ptr<TzkD3DTexture8>> textures_;
    TzkD3DQuadRenderer* quads_ = nullptr;
};

TEST_F(SdlRenderTest, TheMachineOffersAnAdapterWithTheGameModes) {
    TzkD3DDeviceInfo* info = d3d_->Adapters(0)->Devices(0);
    int found = 0;
    for (const TzkD3DMode& m : info->Modes)
        if (m.Width == 800 && m.Height == 600) {
            ++found;
            EXPECT_EQ(m.BehaviorFlags, D3DCREATE_SOFTWARE_VERTEXPROCESSING);
        }
    EXPECT_EQ(found, 2);
    EXPECT_TRUE(info->CanDoWindowed);
    EXPECT_GE(info->Caps.MaxTextureWidth, 2048u);
    EXPECT_EQ(log_.Count("Texture Formats: A8R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, "), 2);
}

TEST_F(SdlRenderTest, ClearedColourReadsBack) {
    const auto pixels = Frame([] {}, 0xFF336699);
    EXPECT_EQ(At(pixels, 0, 0), 0xFF336699u);
    EXPECT_EQ(At(pixels, 799, 599), 0xFF336699u);
    // The next frame starts black whatever was drawn before.
    const auto next = Frame([this] {
        D3DLOCKED_RECT locked;
        auto surface = device_->GetBackBuffer();
        EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(ExpandPixel(D3DFMT_X8R8G8B8, static_cast<std::uint8_t*>(locked.pBits)), 0xFF000000u);
        surface->UnlockRect();
    }, 0xFF000000);
    EXPECT_EQ(At(next, 400, 300), 0xFF000000u);
}

TEST_F(SdlRenderTest, AnUnscaledSpriteShowsItsTexelsExactly) {
    const TBitmap image = Pattern();
    TzkD3DTexture8* t = Texture(image);
    TzkD3DSprite sprite(quads_, t->Index, nullptr, nullptr, 0, 0, 0);
    const auto pixels = Frame([&] { sprite.Draw(nullptr, {100, 200}, 0, nullptr); });
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(At(pixels, 100 + x, 200 + y), 0xFF000000u | image.At(x, y)) << x << "," << y;
    for (const auto& [x, y] : {std::pair{99, 200}, {104, 200}, {100, 199}, {100, 204}})
        EXPECT_EQ(At(pixels, x, y), 0xFF000000u) << x << "," << y;
}

TEST_F(SdlRenderTest, AMirroredSpriteIsDrawnReversed) {
    const TBitmap image = Pattern();
    TzkD3DTexture8* t = Texture(image);
    TzkD3DSprite sprite(quads_, t->Index, nullptr, nullptr, 0, 0, 0);
    const TPointF mirror{-1, 1};
    const auto pixels = Frame([&] { sprite.Draw(&mirror, {300, 100}, 0, nullptr); });
    // The mirrored sprite reaches left from its position.
    for (int y = 0; y < 4; ++y)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(At(pixels, 296 + k, 100 + y), 0xFF000000u | image.At(3 - k, y)) << k << "," << y;
    EXPECT_EQ(At(pixels, 300, 100), 0xFF000000u);
}

TEST_F(SdlRenderTest, CounterClockwiseQuadsAreCulled) {
    TBitmap white(4, 4, 0x00FFFFFF);
    TzkD3DTexture8* t = Texture(white);
    const TPointF corners[4] = {{10, 10}, {50, 10}, {50, 50}, {10, 50}};
    const TPointF shifted[4] = {{110, 10}, {150, 10}, {150, 50}, {110, 50}};
    const TPointF reversed[4] = {{210, 10}, {210, 50}, {250, 50}, {250, 10}};  // TL, BL, BR, TR
    const auto pixels = Frame([&] {
        quads_->AddQuad(t->Index, corners, nullptr, nullptr, 0, false);
        // Flip reverses the winding of an unmirrored quad: culled.
        quads_->AddQuad(t->Index, shifted, nullptr, nullptr, 0, true);
        quads_->AddQuad(t->Index, reversed, nullptr, nullptr, 0, false);
    });
    EXPECT_EQ(At(pixels, 30, 30), 0xFFFFFFFFu);
    EXPECT_EQ(At(pixels, 130, 30), 0xFF000000u);
    EXPECT_EQ(At(pixels, 230, 30), 0xFF000000u);
}

TEST_F(SdlRenderTest, HalfAlphaBlendsOverTheBackground) {
    TBitmap white(4, 4, 0x00FFFFFF);
    TzkD3DTexture8* t = Texture(white);
    TzkD3DSprite sprite(quads_, t->Index, nullptr, nullptr, 0, 0, 0);
    const std::uint32_t red[4] = {0x80FF0000, 0x80FF0000, 0x80FF0000, 0x80FF0000};
    const TPointF big{10, 10};
    const auto overBlack = Frame([&] { sprite.Draw(&big, {100, 100}, 0, red); });
    const auto overWhite = Frame([&] { sprite.Draw(&big, {100, 100}, 0, red); }, 0xFFFFFFFF);
    auto near = [](std::uint32_t a, std::uint32_t b) {
        for (int s = 0; s < 24; s += 8)
            if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > 1) return false;
        return true;
    };
    EXPECT_PRED2(near, At(overBlack, 120, 120), 0xFF800000u);
    EXPECT_PRED2(near, At(overWhite, 120, 120), 0xFFFF7F7Fu);
}

TEST_F(SdlRenderTest, A4444TextureShowsDirect3DsQuantisation) {
    TBitmap image(4, 4, 0x00123456);
    image.At(1, 0) = 0x00F8F8F8;
    TBitmap mask(4, 4, 0x00FFFFFF);
    TzkD3DTexture8* t = Texture(image, {D3DFMT_A4R4G4B4}, &mask);
    ASSERT_EQ(t->Format, D3DFMT_A4R4G4B4);
    TzkD3DSprite sprite(quads_, t->Index, nullptr, nullptr, 0, 0, 0);
    const auto pixels = Frame([&] { sprite.Draw(nullptr, {400, 300}, 0, nullptr); });
    EXPECT_EQ(At(pixels, 400, 300), 0xFF113355u);
    EXPECT_EQ(At(pixels, 401, 300), 0xFFFFFFFFu);
}

TEST_F(SdlRenderTest, ImageSurfacesCopyToTheBackBufferUnchanged) {
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        SCOPED_TRACE(format);
        std::unique_ptr<IDirect3DSurface8> surface;
        ASSERT_EQ(device_->Device->CreateImageSurface(kW, kH, format, &surface), D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
        std::vector<std::uint32_t> expected(static_cast<std::size_t>(kW) * kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::uint32_t v = static_cast<std::uint32_t>((x * 7) ^ (y * 13)) * 0x010203u;
                std::uint8_t* at = static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch +
                                   x * static_cast<int>(FormatBytesPerPixel(format));
                PackPixel(format, v, at);
                expected[static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x)] = ExpandPixel(format, at);
            }
        ASSERT_EQ(surface->UnlockRect(), D3D_OK);
        const auto pixels = Frame([&] {
            auto backBuffer = device_->GetBackBuffer();
            ASSERT_EQ(device_->Device->CopyRects(surface.get(), nullptr, 0, backBuffer.get(), nullptr), D3D_OK);
        });
        int wrong = 0;
        for (std::size_t i = 0; i < pixels.size(); ++i) wrong += pixels[i] != (expected[i] | 0xFF000000u) ? 1 : 0;
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(SdlRenderTest, ARenderResetLosesTheDeviceUntilItIsResetWithItsTextures) {
    const TBitmap image = Pattern();
    TzkD3DTexture8* t = Texture(image);
    TzkD3DSprite sprite(quads_, t->Index, nullptr, nullptr, 0, 0, 0);
    Frame([&] { sprite.Draw(nullptr, {10, 10}, 0, nullptr); });

    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    ASSERT_GE(SDL_PushEvent(&reset), 0);
    device_->BeginScene();
    device_->EndScene();
    device_->Present();  // reports the loss
    EXPECT_TRUE(device_->Lost);
    EXPECT_FALSE(quads_->VertexBuffer);
    EXPECT_EQ(log_.Count("* Info: Begin device lost ("), 1);

    const auto pixels = Frame([&] { sprite.Draw(nullptr, {10, 10}, 0, nullptr); });
    EXPECT_FALSE(device_->Lost);
    EXPECT_EQ(log_.Count("* Info: End device lost ("), 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(pixels, 10 + x, 10 + y), 0xFF000000u | image.At(x, y));
    SDL_FlushEvent(SDL_RENDER_DEVICE_RESET);
}

TEST_F(SdlRenderTest, TheSecondRenderDriverServesWhenTheFirstIsMissing) {
    TSdlOptions options;
    options.RenderDrivers = {"no-such-driver", "opengles2"};
    Open(true, D3DFMT_X8R8G8B8, options);
    EXPECT_EQ(SdlRendererName(device_->Device.get()), "opengles2");
    const TBitmap image = Pattern();
    TzkD3DTexture8* t = Texture(image);
    TzkD3DSprite sprite(quads_, t->Index, nullptr, nullptr, 0, 0, 0);
    const auto pixels = Frame([&] { sprite.Draw(nullptr, {50, 60}, 0, nullptr); });
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(pixels, 50 + x, 60 + y), 0xFF000000u | image.At(x, y));
}

TEST_F(SdlRenderTest, NoUsableRenderDriverFailsTheDeviceWithSdlsReason) {
    Close();
    TSdlOptions options;
    options.RenderDrivers = {"no-such-driver"};
    TzkD3D8 d3d([options] { return CreateSdlDirect3D8(options); });
    d3d.EnumerateAdapters();
    TzkD3DMode mode;
    d3d.Adapters(0)->Devices(0)->GetMode(0, mode);
    try {
        TzkD3Device8 device(d3d.Adapters(0)->Devices(0), nullptr, nullptr, true, mode);
        FAIL();
    } catch (const EDirect3DError& e) {
        EXPECT_STREQ(e.what(), "Failed to create device");
    }
    EXPECT_EQ(log_.Count("- Failed to create device (SDL: none of the render drivers no-such-driver is available)"), 1);
}

TEST_F(SdlRenderTest, FullScreenScalesTheBackBufferToTheDisplay) {
    Open(false);
    TBitmap white(4, 4, 0x00FFFFFF);
    TzkD3DTexture8* t = Texture(white);
    TzkD3DSprite sprite(quads_, t->Index, nullptr, nullptr, 0, 0, 0);
    const TPointF big{50, 50};
    const auto pixels = Frame([&] { sprite.Draw(&big, {200, 200}, 0, nullptr); }, 0xFF203040);
    // The read back picture is the back buffer's 800 x 600, whatever the display.
    EXPECT_EQ(At(pixels, 10, 10), 0xFF203040u);
    EXPECT_EQ(At(pixels, 300, 300), 0xFFFFFFFFu);
    EXPECT_EQ(At(pixels, 790, 590), 0xFF203040u);
}

}  // namespace

}  // namespace qv
