#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>

#include "media/zkImageLoader.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {

namespace {

using test::EncodeJpeg;
using test::EncodePng;
using test::TPngPicture;

std::unique_ptr<TBitmap> Load(const std::vector<std::uint8_t>& bytes, std::size_t position = 0) {
    TMemoryStream stream(bytes, position);
    return LoadBitmapFromImageStream(&stream);
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int x = static_cast<int>((a >> shift) & 0xFF), y = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(x - y) > tolerance) return false;
    }
    return true;
}

TEST(ImageLoaderTest, PngLayoutsDecodeToColourWithAZeroFourthByte) {
    struct Case {
        const char* name;
        TPngPicture picture;
        std::vector<std::uint32_t> pixels;
    };
    std::vector<Case> cases;
    {
        TPngPicture p{3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2}, {10, 20, 30, 40, 50, 60, 255, 0, 128}, {0, 128}};
        cases.push_back({"palette with tRNS", p, {0x000A141E, 0x0028323C, 0x00FF0080}});
    }
    {
        TPngPicture p{4, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x1B}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}};
        // The row 0x1B holds the indices 0, 1, 2, 3.
        cases.push_back({"2-bit palette", p, {0x00010203, 0x00040506, 0x00070809, 0x000A0B0C}});
    }
    {
        TPngPicture p{2, 1, PNG_COLOR_TYPE_GRAY, 8, {0x00, 0x9C}, {}, {}};
        cases.push_back({"grey", p, {0x00000000, 0x009C9C9C}});
    }
    {
        TPngPicture p{2, 1, PNG_COLOR_TYPE_GRAY, 4, {0xA3}, {}, {}};
        cases.push_back({"4-bit grey", p, {0x00AAAAAA, 0x00333333}});
    }
    {
        TPngPicture p{2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x80, 0xFF, 0x12, 0x34}, {}, {}};
        cases.push_back({"16-bit grey", p, {0x00808080, 0x00121212}});
    }
    {
        TPngPicture p{1, 1, PNG_COLOR_TYPE_RGB, 16, {0xAB, 0xCD, 0x01, 0x02, 0xFE, 0xFF}, {}, {}};
        cases.push_back({"16-bit RGB", p, {0x00AB01FE}});
    }
    {
        TPngPicture p{2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {10, 20, 30, 0, 40, 50, 60, 255}, {}, {}};
        cases.push_back({"RGBA keeps raw colours", p, {0x000A141E, 0x0028323C}});
    }
    {
        TPngPicture p{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {77, 0, 200, 9}, {}, {}};
        cases.push_back({"grey with alpha", p, {0x004D4D4D, 0x00C8C8C8}});
    }
    {
        TPngPicture p{5, 3, PNG_COLOR_TYPE_RGB, 8, {}, {}, {}, true};
        std::vector<std::uint32_t> expected;
        for (int i = 0; i < 15; ++i) {
            p.Rows.push_back(static_cast<std::uint8_t>(i));
            p.Rows.push_back(static_cast<std::uint8_t>(i * 10));
            p.Rows.push_back(static_cast<std::uint8_t>(255 - i));
            expected.push_back((static_cast<std::uint32_t>(i) << 16) | (static_cast<std::uint32_t>(i * 10) << 8) |
                               static_cast<std::uint32_t>(255 - i));
        }
        cases.push_back({"interlaced", p, expected});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bitmap = Load(EncodePng(c.picture));
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->Width, static_cast<std::int32_t>(c.picture.Width));
        EXPECT_EQ(bitmap->Height, static_cast<std::int32_t>(c.picture.Height));
        EXPECT_EQ(bitmap->Pixels, c.pixels);
    }
}

TEST(ImageLoaderTest, JpegIsReadFromTheSamePositionAfterThePngAttempt) {
    std::vector<std::uint8_t> samples;
    for (int i = 0; i < 16 * 16; ++i) {
        samples.push_back(200);
        samples.push_back(40);
        samples.push_back(90);
    }
    const auto jpeg = EncodeJpeg(16, 16, 3, samples, 100);
    std::vector<std::uint8_t> bytes = {'j', 'u', 'n', 'k', '!'};
    bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());
    TMemoryStream stream(bytes, 5);
    auto bitmap = LoadBitmapFromImageStream(&stream);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Width, 16);
    EXPECT_EQ(bitmap->Height, 16);
    for (std::uint32_t p : bitmap->Pixels) ASSERT_TRUE(Near(p, 0x00C8285A, 2)) << std::hex << p;
    EXPECT_EQ(bitmap->Pixels[0] >> 24, 0u);
    // The same bytes from position 0 are neither picture.
    EXPECT_FALSE(Load(bytes, 0));
}

TEST(ImageLoaderTest, GreyAndCmykJpegsBecomeColour) {
    auto grey = Load(EncodeJpeg(8, 8, 1, std::vector<std::uint8_t>(64, 100), 100));
    ASSERT_TRUE(grey);
    EXPECT_TRUE(Near(grey->Pixels[10], 0x00646464, 1)) << std::hex << grey->Pixels[10];
    // libjpeg marks CMYK files as Adobe's, whose inks are stored inverted:
    // 255 is no ink. No cyan, full magenta, no yellow, no black: magenta.
    std::vector<std::uint8_t> cmyk;
    for (int i = 0; i < 64; ++i) cmyk.insert(cmyk.end(), {255, 0, 255, 255});
    auto magenta = Load(EncodeJpeg(8, 8, 4, cmyk, 100));
    ASSERT_TRUE(magenta);
    EXPECT_TRUE(Near(magenta->Pixels[27], 0x00FF00FF, 3)) << std::hex << magenta->Pixels[27];
}

TEST(ImageLoaderTest, BadInputGivesNothingAndNeverEndsTheProgram) {
    EXPECT_FALSE(LoadBitmapFromImageStream(nullptr));
    auto png = test::EncodeRgbPng(4, 4, std::vector<std::uint32_t>(16, 0x123456));
    auto jpeg = EncodeJpeg(8, 8, 1, std::vector<std::uint8_t>(64, 1));
    std::vector<std::vector<std::uint8_t>> bad = {
        {},
        {'h', 'e', 'l', 'l', 'o'},
        std::vector<std::uint8_t>(png.begin(), png.begin() + 40),           // truncated PNG
        std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 20),         // truncated JPEG header
        {0xFF, 0xD8, 0xFF, 0x00, 0x13, 0x37, 0xFF, 0xFF, 0xFF, 0x01, 0x02},  // JPEG start, then garbage
    };
    auto corruptPng = png;
    corruptPng[40] ^= 0xFF;  // a bad CRC in the data
    bad.push_back(corruptPng);
    for (const auto& bytes : bad) EXPECT_FALSE(Load(bytes)) << bytes.size();
}

TEST(ImageLoaderTest, OversizedPicturesAreRefused) {
    TPngPicture wide{kMaxImageSide + 1, 1, PNG_COLOR_TYPE_GRAY, 8, std::vector<std::uint8_t>(kMaxImageSide + 1, 7),
                     {}, {}};
    EXPECT_FALSE(Load(EncodePng(wide)));
    TPngPicture edge{kMaxImageSide, 1, PNG_COLOR_TYPE_GRAY, 8, std::vector<std::uint8_t>(kMaxImageSide, 7), {}, {}};
    auto fits = Load(EncodePng(edge));
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->Pixels.back(), 0x00070707u);
    EXPECT_FALSE(Load(EncodeJpeg(1, kMaxImageSide + 8, 1, std::vector<std::uint8_t>(kMaxImageSide + 8, 3))));
}

}  // namespace

}  // namespace qv
