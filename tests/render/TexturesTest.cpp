#include <gtest/gtest.h>

#include <cstring>

#include "media/zkD3DTextures.h"
#include "platform/render/FakeD3D8.h"
#include "platform/render/PixelFormats.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {

namespace {

using namespace d3d;
using test::TFakeRig;
using test::TLogCapture;

// The own text a refusal carries.
template <typename F>
std::string RefusalOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<none>";
}

// Copies into a 32-bit buffer and returns its texels.
std::vector<std::uint32_t> Copy(const TBitmap& image, const TBitmap* mask, std::uint32_t w, std::uint32_t h,
                                std::uint32_t key, const RECT* rect = nullptr) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * h, 0xDEADBEEF);
    CopyBitmapToTexture(rect, image, mask, w, h, key, D3DFMT_A8R8G8B8, static_cast<std::int32_t>(w * 4),
                        reinterpret_cast<std::uint8_t*>(out.data()));
    return out;
}

TEST(CopyBitmapToTextureTest, PacksEveryFormatOfTheTable) {
    // Opaque pixels (alpha 0xFF) unless a colour key hits; the fourth byte of
    // the source is 0 as the loader writes it.
    TBitmap image(2, 1);
    image.At(0, 0) = 0x00FF8040;
    image.At(1, 0) = 0x0012C3F7;
    TBitmap mask(2, 1);
    mask.At(0, 0) = 0x00808080;  // grey 128
    mask.At(1, 0) = 0x00000000;
    struct Case {
        D3DFORMAT format;
        std::vector<std::uint8_t> bytes;  // both texels, little-endian
    };
    // Texel 0: A=0x80 R=0xFF G=0x80 B=0x40; texel 1: A=0x00 R=0x12 G=0xC3 B=0xF7.
    const Case cases[] = {
        {D3DFMT_R8G8B8, {0x40, 0x80, 0xFF, 0xF7, 0xC3, 0x12}},
        {D3DFMT_A8R8G8B8, {0x40, 0x80, 0xFF, 0x80, 0xF7, 0xC3, 0x12, 0x00}},
        {D3DFMT_X8R8G8B8, {0x40, 0x80, 0xFF, 0x80, 0xF7, 0xC3, 0x12, 0x00}},
        // (R>>3)<<11 | (G>>2)<<5 | B>>3: 0xFC08, 0x161E
        {D3DFMT_R5G6B5, {0x08, 0xFC, 0x1E, 0x16}},
        // (A>>7)<<15 | (R>>3)<<10 | (G>>3)<<5 | B>>3: 0xFE08, 0x0B1E
        {D3DFMT_X1R5G5B5, {0x08, 0xFE, 0x1E, 0x0B}},
        {D3DFMT_A1R5G5B5, {0x08, 0xFE, 0x1E, 0x0B}},
        // (A>>4)<<12 | (R>>4)<<8 | (G>>4)<<4 | B>>4: 0x8F84, 0x01CF
        {D3DFMT_A4R4G4B4, {0x84, 0x8F, 0xCF, 0x01}},
        {D3DFMT_X4R4G4B4, {0x84, 0x8F, 0xCF, 0x01}},
        // (R>>5)<<5 | (G>>5)<<2 | B>>6: 0xF1, 0x1B
        {D3DFMT_R3G3B2, {0xF1, 0x1B}},
        {D3DFMT_A8R3G3B2, {0xF1, 0x80, 0x1B, 0x00}},
        {D3DFMT_A8, {0x80, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<std::uint8_t> out(8, 0xEE);
        CopyBitmapToTexture(nullptr, image, &mask, 2, 1, 0, c.format, 8, out.data());
        out.resize(c.bytes.size());
        EXPECT_EQ(out, c.bytes);
    }
    // A format outside the table is left as it was.
    std::vector<std::uint8_t> untouched(8, 0xEE);
    CopyBitmapToTexture(nullptr, image, &mask, 2, 1, 0, 50, 8, untouched.data());
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(8, 0xEE));
}

TEST(CopyBitmapToTextureTest, ColourKeyComparesTheColourOnly) {
    TBitmap image(4, 1);
    image.At(0, 0) = 0x0000FF00;  // pure green
    image.At(1, 0) = 0x0000FE00;
    image.At(2, 0) = 0xAB00FF00;  // green with a stray fourth byte: still the key colour
    image.At(3, 0) = 0x00123456;
    EXPECT_EQ(Copy(image, nullptr, 4, 1, 0xFF00FF00),
              (std::vector<std::uint32_t>{0x0000FF00, 0xFF00FE00, 0x0000FF00, 0xFF123456}));
    // A key whose top byte is not 0xFF is not in force.
    EXPECT_EQ(Copy(image, nullptr, 4, 1, 0x0000FF00),
              (std::vector<std::uint32_t>{0xFF00FF00, 0xFF00FE00, 0xFF00FF00, 0xFF123456}));
}

TEST(CopyBitmapToTextureTest, MaskGivesAlphaAndOverridesTheKey) {
    TBitmap image(3, 1, 0x0000FF00);
    TBitmap mask(3, 1);
    mask.At(0, 0) = 0x00FFFFFF;
    mask.At(1, 0) = 0x00030609;  // (3 + 6 + 9) / 3 = 6
    mask.At(2, 0) = 0x00FF0000;  // 255 / 3 = 85
    EXPECT_EQ(Copy(image, &mask, 3, 1, 0xFF00FF00),
              (std::vector<std::uint32_t>{0xFF00FF00, 0x0600FF00, 0x5500FF00}));
}

TEST(CopyBitmapToTextureTest, BlocksAreAveragedOverTheirArea) {
    // 2 x 2 blocks (area 4) and 3 x 1 blocks (area 3, a true average too).
    TBitmap image(6, 2);
    const std::uint32_t row0[6] = {0x00FF0000, 0x00010203, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00000000};
    const std::uint32_t row1[6] = {0x00000000, 0x00030201, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00000000};
    for (int x = 0; x < 6; ++x) {
        image.At(x, 0) = row0[x];
        image.At(x, 1) = row1[x];
    }
    TBitmap mask(6, 2, 0x00FFFFFF);
    mask.At(0, 0) = 0;
    EXPECT_EQ(Copy(image, &mask, 3, 1, 0),
              (std::vector<std::uint32_t>{0xBF400101, 0xFFFFFFFF, 0xFF7F7F7F}));
    EXPECT_EQ(Copy(image, nullptr, 2, 2, 0),
              (std::vector<std::uint32_t>{0xFFAA5556, 0xFFAAAAAA, 0xFF565555, 0xFFAAAAAA}));
    // A keyed average: the block of two key pixels averages to the key.
    TBitmap keyed(2, 1, 0x0000FF00);
    EXPECT_EQ(Copy(keyed, nullptr, 1, 1, 0xFF00FF00), std::vector<std::uint32_t>{0x0000FF00});
}

TEST(CopyBitmapToTextureTest, SourceRectangleAndWholeMultiples) {
    TBitmap image(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) image.At(x, y) = static_cast<std::uint32_t>(x * 2);
    const RECT accepted{0, 0, 64, 32};
    const auto texels = Copy(image, nullptr, 32, 32, 0, &accepted);
    EXPECT_EQ(texels[0], 0xFF000001u);   // (0 + 2) / 2
    EXPECT_EQ(texels[31], 0xFF00007Du);  // (124 + 126) / 2
    const RECT refused{0, 0, 48, 32};
    TLogCapture log;
    EXPECT_EQ(RefusalOf([&] { Copy(image, nullptr, 32, 32, 0, &refused); }),
              "Image stretching relation is not an integer value");
    EXPECT_EQ(log.Count("* Msg 81000004: Image stretching relation is not an integer value"), 1);
    const RECT smaller{0, 0, 16, 16};
    EXPECT_EQ(RefusalOf([&] { Copy(image, nullptr, 32, 32, 0, &smaller); }),
              "Image stretching relation is not an integer value");
}

class TextureTest : public ::testing::Test {
protected:
    explicit TextureTest(const std::function<void(TFakeAdapter&)>& setup = {}) : rig_(setup) {}

    TzkD3DTexture8* Make(const TBitmap* image, const TBitmap* mask, std::uint32_t w, std::uint32_t h,
                         std::uint32_t key = 0, const std::vector<D3DFORMAT>& formats = {},
                         const RECT* rect = nullptr) {
        return new TzkD3DTexture8(rig_.Device.get(), rect, image, mask, w, h, key, formats);
    }
    const TFakeTextureData& Data(const TzkD3DTexture8* t) {
        for (const auto& d : rig_.World->Textures)
            if (d->Width == t->TextureWidth && d->Height == t->TextureHeight && !d->Released) return *d;
        throw std::runtime_error("no texture data");
    }

    TLogCapture log_;
    TFakeRig rig_;
};

TEST_F(TextureTest, MadeInTheFirstAcceptedFormatAndRegisteredLast) {
    TBitmap image(64, 32, 0x00102030);
    std::unique_ptr<TzkD3DTexture8> t(Make(&image, nullptr, 0, 0, 0, {D3DFMT_R3G3B2, D3DFMT_A1R5G5B5}));
    EXPECT_EQ(t->Format, D3DFMT_A1R5G5B5);
    EXPECT_EQ(t->TextureWidth, 64u);
    EXPECT_EQ(t->TextureHeight, 32u);
    EXPECT_EQ(t->ImageWidth, 64);
    EXPECT_EQ(t->ImageHeight, 32);
    EXPECT_EQ(t->Index, 0);
    EXPECT_EQ(rig_.Device->GetTexture(0), t.get());
    const auto calls = rig_.World->Calls;
    const std::vector<std::string> expected = {
        "CheckDeviceFormat(0,1,22,0,3,27)", "CheckDeviceFormat(0,1,22,0,3,25)", "CreateTexture(64,32,1,0,25,1)",
        "tex1.GetLevelDesc(0)",            "tex1.LockRect(0,all,0)",          "tex1.UnlockRect(0)"};
    EXPECT_EQ(calls, expected);
    t.reset();
    EXPECT_EQ(rig_.World->CallsStartingWith("SetTexture"), std::vector<std::string>{"SetTexture(0,null)"});
    EXPECT_TRUE(rig_.World->Textures[0]->Released);
    EXPECT_EQ(rig_.Device->GetTexture(0), nullptr);
}

TEST_F(TextureTest, PicturesAreAveragedDownToTheDeviceLimit) {
    rig_.D3D->Adapters(0)->Devices(0)->Caps.MaxTextureWidth = 128;
    rig_.D3D->Adapters(0)->Devices(0)->Caps.MaxTextureHeight = 128;
    TBitmap image(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) image.At(x, y) = (x % 2 == 0 && y % 2 == 0) ? 0x00FCFCFC : 0;
    std::unique_ptr<TzkD3DTexture8> t(Make(&image, nullptr, 0, 0, 0, {D3DFMT_A8R8G8B8}));
    EXPECT_EQ(t->TextureWidth, 128u);
    EXPECT_EQ(t->TextureHeight, 128u);
    EXPECT_EQ(t->ImageWidth, 256);
    EXPECT_EQ(Data(t.get()).Texel(0, 0), 0xFF3F3F3Fu);
    EXPECT_EQ(Data(t.get()).Texel(127, 127), 0xFF3F3F3Fu);
}

TEST_F(TextureTest, RefusalsComeBeforeAnyTextureIsMade) {
    TBitmap image(100, 64);
    TBitmap square(64, 64);
    TBitmap otherMask(32, 64);
    TBitmap empty;
    const RECT outside{0, 0, 65, 64};
    const RECT inverted{10, 0, 10, 64};
    const RECT negative{-1, 0, 32, 64};
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* text;
    };
    const Case cases[] = {
        {"no image", [&] { Make(nullptr, nullptr, 0, 0); }, "Image file has an invalid format"},
        {"empty image", [&] { Make(&empty, nullptr, 0, 0); }, "Image file has an invalid size"},
        {"rect outside", [&] { Make(&square, nullptr, 64, 64, 0, {}, &outside); }, "Image file has an invalid size"},
        {"rect empty", [&] { Make(&square, nullptr, 64, 64, 0, {}, &inverted); }, "Image file has an invalid size"},
        {"rect negative", [&] { Make(&square, nullptr, 64, 64, 0, {}, &negative); },
         "Image file has an invalid size"},
        {"100 wide", [&] { Make(&image, nullptr, 0, 0); }, "Invalid function parameters"},
        {"48 asked", [&] { Make(&square, nullptr, 48, 64); }, "Invalid function parameters"},
        {"mask size", [&] { Make(&square, &otherMask, 0, 0); }, "Different image and mask images"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RefusalOf(c.make), c.text) << c.name;
    }
    EXPECT_TRUE(rig_.World->CallsStartingWith("CreateTexture").empty());
    EXPECT_EQ(rig_.Device->TextureSlotCount(), 0);
}

TEST_F(TextureTest, FailuresAfterCreationNeverRegister) {
    TBitmap image(64, 64);
    rig_.World->Failures["CreateTexture"] = D3DERR_OUTOFVIDEOMEMORY;
    EXPECT_EQ(RefusalOf([&] { Make(&image, nullptr, 0, 0, 0, {D3DFMT_A8R8G8B8}); }), "Failed to create texture");
    EXPECT_EQ(log_.Count("* Msg 81000003: D3D $8876017C: Direct3D does not have enough display memory to perform "
                         "the operation. - Failed to create texture 64;64;A8R8G8B8"),
              1);
    rig_.World->Failures.clear();
    // A copy that fails still unlocks, and releases the texture.
    const RECT wide{0, 0, 48, 64};
    EXPECT_EQ(RefusalOf([&] { Make(&image, nullptr, 32, 32, 0, {}, &wide); }),
              "Image stretching relation is not an integer value");
    EXPECT_EQ(rig_.World->CallsStartingWith("tex1.UnlockRect").size(), 1u);
    EXPECT_TRUE(rig_.World->Textures.at(0)->Released);
    rig_.World->Failures["LockRect"] = D3DERR_INVALIDCALL;
    EXPECT_EQ(RefusalOf([&] { Make(&image, nullptr, 0, 0); }),
              "The method call is invalid. For example, a method's parameter may have an invalid value.");
    EXPECT_EQ(log_.Count("invalid value. lockrect"), 1);
    EXPECT_EQ(rig_.Device->TextureSlotCount(), 0);
}

class OnlyA4R4G4B4Test : public TextureTest {
protected:
    OnlyA4R4G4B4Test() : TextureTest([](TFakeAdapter& a) { a.TextureFormats = {D3DFMT_A4R4G4B4}; }) {}
};

TEST_F(OnlyA4R4G4B4Test, EmptyPreferenceFallsBackToTheOneFormatAccepted) {
    TBitmap image(2, 2);
    image.At(0, 0) = 0x00FF8040;
    image.At(1, 0) = 0x0000FF00;
    image.At(0, 1) = 0x00FFFFFF;
    image.At(1, 1) = 0x00123456;
    std::unique_ptr<TzkD3DTexture8> t(Make(&image, nullptr, 0, 0, 0xFF00FF00));
    EXPECT_EQ(t->Format, D3DFMT_A4R4G4B4);
    const TFakeTextureData& d = Data(t.get());
    std::uint16_t texels[4];
    std::memcpy(&texels[0], d.Bits.data(), 4);
    std::memcpy(&texels[2], d.Bits.data() + d.Pitch, 4);
    EXPECT_EQ(texels[0], 0xFF84);
    EXPECT_EQ(texels[1], 0x00F0);  // the key: alpha 0
    EXPECT_EQ(texels[2], 0xFFFF);
    EXPECT_EQ(texels[3], 0xF135);
    // The fallbacks were tried in their order up to the one accepted.
    const auto tried = rig_.World->CallsStartingWith("CheckDeviceFormat");
    ASSERT_EQ(tried.size(), 7u);
    EXPECT_EQ(tried.front(), "CheckDeviceFormat(0,1,22,0,3,20)");
    EXPECT_EQ(tried.back(), "CheckDeviceFormat(0,1,22,0,3,26)");
}

class NoFormatTest : public TextureTest {
protected:
    NoFormatTest() : TextureTest([](TFakeAdapter& a) { a.TextureFormats.clear(); }) {}
};

TEST_F(NoFormatTest, NothingAcceptedIsRefused) {
    TBitmap image(8, 8);
    EXPECT_EQ(RefusalOf([&] { Make(&image, nullptr, 0, 0); }), "There's no valid texture format available");
    EXPECT_EQ(log_.Count("* Msg 81000002: There's no valid texture format available"), 1);
}

TEST(PixelFormatsTest, ExpansionReplicatesBits) {
    struct Case {
        D3DFORMAT format;
        std::vector<std::uint8_t> bytes;
        std::uint32_t argb;
    };
    const Case cases[] = {
        {D3DFMT_A4R4G4B4, {0x84, 0x8F}, 0x88FF8844},  {D3DFMT_X4R4G4B4, {0x84, 0x0F}, 0xFFFF8844},
        {D3DFMT_R5G6B5, {0x08, 0xFC}, 0xFFFF8242},    {D3DFMT_A1R5G5B5, {0x08, 0x7E}, 0x00FF8442},
        {D3DFMT_X1R5G5B5, {0x08, 0x7E}, 0xFFFF8442},  {D3DFMT_R3G3B2, {0xF1}, 0xFFFF9255},
        {D3DFMT_A8R3G3B2, {0xF1, 0x80}, 0x80FF9255},  {D3DFMT_A8, {0x80}, 0x80000000},
        {D3DFMT_R8G8B8, {1, 2, 3}, 0xFF030201},       {D3DFMT_X8R8G8B8, {1, 2, 3, 4}, 0xFF030201},
        {D3DFMT_A8R8G8B8, {1, 2, 3, 4}, 0x04030201},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandPixel(c.format, c.bytes.data()), c.argb) << c.format;
    // Full and empty channels survive packing and expansion in every format.
    for (D3DFORMAT f = D3DFMT_R8G8B8; f <= D3DFMT_X4R4G4B4; ++f) {
        std::uint8_t bytes[4];
        PackPixel(f, 0xFFFFFFFF, bytes);
        const std::uint32_t white = ExpandPixel(f, bytes);
        EXPECT_EQ(white & 0xFF000000u, 0xFF000000u) << f;
        if (f != D3DFMT_A8) {
            EXPECT_EQ(white & 0xFFFFFFu, 0xFFFFFFu) << f;
        }
        EXPECT_EQ(RowPitch(f, 3) % 4, 0u);
    }
}

}  // namespace

}  // namespace qv
