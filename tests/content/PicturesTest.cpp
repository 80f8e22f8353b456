// The generated pictures and scenery, read back the way the game reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

#include "game/data/qv3CreatureTypes.h"
#include "game/assets/qv3Graphics.h"
#include "game/data/qv3ScenarioConfig.h"
#include "game/data/qv3ScenarioData.h"
#include "game/data/qv3SpriteBoundaries.h"
#include "media/zkImageLoader.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"
#include "tools/qvgen/Content.h"
#include "tools/qvgen/pictures/Art.h"
#include "tools/qvgen/pictures/ContactSheet.h"

namespace qv::gen {
namespace {

using TFiles = std::map<std::string, std::vector<std::uint8_t>>;

TFiles ToMap(const std::vector<TGeneratedFile>& files) {
    TFiles map;
    for (const TGeneratedFile& f : files) {
        EXPECT_TRUE(map.emplace(f.Name, f.Bytes).second) << "twice: " << f.Name;
    }
    return map;
}

std::unique_ptr<TBitmap> Decode(const TFiles& files, const std::string& name) {
    auto it = files.find(name);
    if (it == files.end()) return nullptr;
    TMemoryStream stream(it->second);
    return LoadBitmapFromImageStream(&stream);
}

// The texture's file as the image set resolves it: ".jpg" before ".png".
std::string Resolve(const TFiles& files, const std::string& name) {
    return files.count(name + ".jpg") ? name + ".jpg" : name + ".png";
}

int Grey(std::uint32_t p) { return static_cast<int>((((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3); }

// Generating takes a moment: at most once per test program, and only what
// a test looks at.
class PicturesTest : public ::testing::Test {
protected:
    static const TPictureSet& Set() {
        static const TPictureSet set = GenerateSharedPictures();
        return set;
    }
    static const TFiles& Shared() {
        static const TFiles files = ToMap(Set().Shared);
        return files;
    }
    static const TFiles& Slot(int slot) {
        static std::array<std::unique_ptr<TFiles>, 3> slots;
        auto& files = slots[static_cast<std::size_t>(slot)];
        if (!files) files = std::make_unique<TFiles>(ToMap(GenerateScenarioPictures(slot).Files));
        return *files;
    }
};

// Sizes the image set's tables were laid out for.
int TextureSide(int index) {
    if (index >= 7 && index <= 15) return 512;   // nivlets: 509 x 84 frames
    if (index >= 22 && index <= 24) return 512;  // backgrounds: columns 1..510
    if (index == 31) return 64;                  // the particle, used whole
    return 256;
}

TEST_F(PicturesTest, EveryTextureIsThereAtItsSizeWithTheMaskTheTableNames) {
    for (int i = 0; i < kGameTextureCount; ++i) {
        const TGameTextureEntry& entry = GameTextureTable[static_cast<std::size_t>(i)];
        const bool scenery = i >= 22 && i <= 28;
        for (int slot = 0; slot < (scenery ? 3 : 1); ++slot) {
            const TFiles& files = scenery ? Slot(slot) : Shared();
            SCOPED_TRACE(std::string(entry.Name) + " slot " + std::to_string(slot));
            const auto picture = Decode(files, Resolve(files, entry.Name));
            ASSERT_TRUE(picture);
            EXPECT_EQ(picture->Width, TextureSide(i));
            EXPECT_EQ(picture->Height, TextureSide(i));
            const std::string maskName = std::string(entry.Name) + "Mask";
            if (entry.Mask) {
                const auto mask = Decode(files, Resolve(files, entry.Mask));
                ASSERT_TRUE(mask);
                EXPECT_EQ(mask->Width, picture->Width);
                EXPECT_EQ(mask->Height, picture->Height);
            } else {
                EXPECT_FALSE(files.count(maskName + ".png") || files.count(maskName + ".jpg"));
            }
            // Scenario pictures live with their scenario, not in DATA.
            if (scenery) {
                EXPECT_FALSE(Shared().count(Resolve(Shared(), entry.Name)));
            }
        }
    }
}

TEST_F(PicturesTest, FullScreenAndFrontEndPicturesHaveTheirSizes) {
    struct TCase {
        const char* name;
        int width, height;
    };
    const TCase cases[] = {
        {"loading1.jpg", 800, 600},   {"loading2.jpg", 800, 600},           {"loading3.jpg", 800, 600},
        {"credits.jpg", 800, 600},    {"LoadingSida.png", 160, 70},         {"thumbmore.jpg", pic::kThumbWidth, pic::kThumbHeight},
        {"menu_base.png", 500, 522},  {"menu_logo1.jpg", 304, 221},         {"menu_logo2.jpg", 304, 221},
        {"menu_leftbutton_p.png", 67, 129}, {"menu_leftbutton_r.png", 67, 129}, {"menu_rightbutton_p.png", 67, 129},
        {"menu_rightbutton_r.png", 67, 129}, {"menu_scenario_p.png", 190, 172}, {"menu_scenario_r.png", 190, 172},
        {"about.jpg", 400, 350},      {"newbest.jpg", 400, 130},            {"wbstate1.png", 16, 16},
        {"wbstate2.png", 16, 16},     {"wbstate3.png", 16, 16},             {"lobbyplayer0.png", 16, 16},
        {"lobbyplayer1.png", 16, 16},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto picture = Decode(Shared(), c.name);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->Width, c.width);
        EXPECT_EQ(picture->Height, c.height);
    }
    for (int slot = 0; slot < 3; ++slot) {
        const auto thumb = Decode(Slot(slot), "thumb.jpg");
        ASSERT_TRUE(thumb) << slot;
        EXPECT_EQ(thumb->Width, pic::kThumbWidth);
    }
}


// Every glyph has ink, all of it inside its rectangle's width (the last
// column is the gap), and no glyph's rectangle shows a neighbour's ink.
TEST_F(PicturesTest, GlyphInkLiesWithinEachGlyphsWidth) {
    ASSERT_EQ(Set().FontWidths.size(), static_cast<std::size_t>(kGlyphCount));
    for (int font = 0; font < 2; ++font) {
        const TGameFontLayout& f = GameFontLayouts[static_cast<std::size_t>(font)];
        const int columns = kFontTextureSize / f.CellWidth, rows = kFontTextureSize / f.CellHeight;
        const int per = columns * rows;
        std::vector<std::unique_ptr<TBitmap>> masks;
        for (int t = 0; t < (font == 0 ? 1 : 2); ++t)
            masks.push_back(Decode(Shared(), std::string(GameTextureTable[static_cast<std::size_t>(f.FirstTexture + t)].Name) + "Mask.png"));
        for (const auto& m : masks) ASSERT_TRUE(m);
        // Which glyph's cell each pixel belongs to.
        auto owner = [&](int x, int y) {
            const int col = x / f.CellWidth, row = y / f.CellHeight;
            return col < columns && row < rows ? row * columns + col : -1;
        };
        for (int j = 0; j < kGlyphCount; ++j) {
            SCOPED_TRACE("font " + std::to_string(font) + " glyph " + std::to_string(j));
            const int width = font == 0 ? kBuiltInFontWidths[static_cast<std::size_t>(j)] + 2
                                        : Set().FontWidths[static_cast<std::size_t>(j)] + 1;
            EXPECT_LE(width, f.CellWidth + 2);
            const TBitmap& mask = *masks[static_cast<std::size_t>(j / per)];
            const int local = j % per;
            const int x0 = (local % columns) * f.CellWidth, y0 = (local / columns) * f.CellHeight;
            int ink = 0;
            // Inside its rectangle: ink only in its own cell, never in the gap column.
            for (int y = y0; y < y0 + f.GlyphHeight; ++y)
                for (int x = x0; x < std::min(x0 + width, kFontTextureSize); ++x) {
                    if (Grey(mask.At(x, y)) == 0) continue;
                    EXPECT_EQ(owner(x, y), local) << x << "," << y;
                    EXPECT_LT(x, x0 + width - 1) << x << "," << y;
                    ++ink;
                }
            EXPECT_GT(ink, 10);
            // Its own cell: no ink right of its width or below its height
            // (the progress bar's column aside).
            for (int y = y0; y < y0 + f.CellHeight; ++y)
                for (int x = x0; x < x0 + f.CellWidth; ++x) {
                    const bool inRect = x < x0 + width && y < y0 + f.GlyphHeight;
                    const bool bar = font == 0 && x >= kProgressBarRegion.left && x < kProgressBarRegion.right &&
                                     y >= kProgressBarRegion.top && y < kProgressBarRegion.bottom;
                    // The glyph to the left may reach into this cell.
                    const int prevReach = (local % columns) > 0
                        ? (font == 0 ? kBuiltInFontWidths[static_cast<std::size_t>(j - 1)] + 2
                                     : Set().FontWidths[static_cast<std::size_t>(j - 1)] + 1) - f.CellWidth
                        : 0;
                    const bool neighbour = x < x0 + prevReach && y < y0 + f.GlyphHeight;
                    if (!inRect && !bar && !neighbour) {
                        EXPECT_EQ(Grey(mask.At(x, y)), 0) << x << "," << y;
                    }
                }
        }
    }
}

// The score digits, the plain region and the progress bar's column.
TEST_F(PicturesTest, PlainRegionAndProgressColumnAreOpaque) {
    const auto misc2 = Decode(Shared(), "Misc2.png"), misc2Mask = Decode(Shared(), "Misc2Mask.png");
    ASSERT_TRUE(misc2 && misc2Mask);
    for (int y = kPlainRegion.top; y < kPlainRegion.bottom; ++y)
        for (int x = kPlainRegion.left; x < kPlainRegion.right; ++x) {
            EXPECT_EQ(misc2->At(x, y) & 0xFFFFFFu, 0xFFFFFFu);
            EXPECT_EQ(Grey(misc2Mask->At(x, y)), 255);
        }
    const d3d::RECT plain = FixedSpriteTable[31].Rect;
    EXPECT_TRUE(plain.left >= kPlainRegion.left + 1 && plain.right <= kPlainRegion.right - 1 &&
                plain.top >= kPlainRegion.top + 1 && plain.bottom <= kPlainRegion.bottom - 1);
    const auto font = Decode(Shared(), "LoadFontMask.png");
    ASSERT_TRUE(font);
    const int column = static_cast<int>(kProgressBarU * 256.0f);
    for (int y = static_cast<int>(kProgressBarV0 * 256.0f); y < static_cast<int>(kProgressBarV1 * 256.0f); ++y)
        EXPECT_EQ(Grey(font->At(column, y)), 255) << y;
}

// Every sprite the image set cuts shows something: fixed sprites, sheets
// and creature frames have ink inside their rectangles.
TEST_F(PicturesTest, EverySpriteRectangleHoldsAPicture) {
    auto inkIn = [&](int texture, int left, int top, int right, int bottom) {
        const TGameTextureEntry& e = GameTextureTable[static_cast<std::size_t>(texture)];
        const auto mask = Decode(Shared(), std::string(e.Mask) + ".png");
        EXPECT_TRUE(mask) << e.Name;
        if (!mask) return 0;
        EXPECT_LE(right, mask->Width) << e.Name;
        EXPECT_LE(bottom, mask->Height) << e.Name;
        int ink = 0;
        for (int y = top; y < std::min(bottom, mask->Height); ++y)
            for (int x = left; x < std::min(right, mask->Width); ++x) ink += Grey(mask->At(x, y)) > 128;
        return ink;
    };
    for (int i = 3; i < kFixedSpriteCount; ++i) {
        const TFixedSpriteEntry& s = FixedSpriteTable[static_cast<std::size_t>(i)];
        if (i == 31) continue;  // the plain region, checked above
        const bool whole = s.Rect.left < 0;
        EXPECT_GT(inkIn(s.Texture, whole ? 0 : s.Rect.left, whole ? 0 : s.Rect.top, whole ? 64 : s.Rect.right,
                        whole ? 64 : s.Rect.bottom), 20) << "sprite " << i;
    }
    for (const TAnimatedSheetEntry& s : AnimatedSheetTable)
        for (int r = 0; r < s.Rows; ++r)
            for (int c = 0; c < s.Columns; ++c) {
                const int w = s.First.right - s.First.left, h = s.First.bottom - s.First.top;
                const int x = s.First.left + c * (w + s.GapX), y = s.First.top + r * (h + s.GapY);
                EXPECT_GT(inkIn(s.Texture, x, y, x + w, y + h), 20) << s.Texture << " frame " << c << "," << r;
            }
    for (int type = 0; type < kCreatureTypeCount; ++type) {
        const TCreatureTypeInfo& info = CreatureTypes[static_cast<std::size_t>(type)];
        const int w = info.SourceRect.Right - info.SourceRect.Left, h = info.SourceRect.Bottom - info.SourceRect.Top;
        for (int f = 0; f < info.FrameColumns * info.FrameRows; ++f) {
            const int x = info.SourceRect.Left + (f % info.FrameColumns) * (w + info.FrameGapX);
            const int y = info.SourceRect.Top + (f / info.FrameColumns) * (h + info.FrameGapY);
            EXPECT_GT(inkIn(info.Image, x, y, x + w, y + h), 100) << "type " << type << " frame " << f;
        }
    }
}

// The cannons stand at the right and shoot left: as drawn (the opponent's
// turned by pi about its left end), the muzzle is at the picture's left end
// on its middle line and the heavy dome at its right.
TEST_F(PicturesTest, TheCannonsPointLeftAsDrawn) {
    struct Case {
        int sprite;
        bool turned;  // drawn turned by pi
        int muzzleX;  // where the muzzle's middle lies, from the left end as drawn
    };
    for (const Case c : {Case{4, false, 10}, Case{8, true, 18}}) {
        SCOPED_TRACE(c.sprite);
        const TFixedSpriteEntry& s = FixedSpriteTable[static_cast<std::size_t>(c.sprite)];
        const auto mask = Decode(Shared(), std::string(GameTextureTable[static_cast<std::size_t>(s.Texture)].Mask) + ".png");
        ASSERT_TRUE(mask);
        const int w = s.Rect.right - s.Rect.left, h = s.Rect.bottom - s.Rect.top;
        // Ink at (x, y) of the picture as drawn.
        auto ink = [&](int x, int y) {
            if (c.turned) {
                x = w - 1 - x;
                y = h - 1 - y;
            }
            return Grey(mask->At(s.Rect.left + x, s.Rect.top + y)) > 128;
        };
        EXPECT_TRUE(ink(c.muzzleX, h / 2));
        int left = 0, right = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w / 3; ++x) {
                left += ink(x, y);
                right += ink(w - 1 - x, y);
            }
        EXPECT_GT(right, left * 2) << left << " " << right;
        // Upright: the barrel is lit from above.
        const auto colour = Decode(Shared(), Resolve(Shared(), GameTextureTable[static_cast<std::size_t>(s.Texture)].Name));
        ASSERT_TRUE(colour);
        auto grey = [&](int x, int y) {
            if (c.turned) {
                x = w - 1 - x;
                y = h - 1 - y;
            }
            return Grey(colour->At(s.Rect.left + x, s.Rect.top + y));
        };
        const int x = c.muzzleX + 12;
        EXPECT_GT(grey(x, h / 2 - 4), grey(x, h / 2 + 4) + 20);
    }
}

// The frames of an animation differ from each other.
TEST_F(PicturesTest, CreatureFramesAnimate) {
    for (int type : {0, 1, 4, 6, 12}) {
        const TCreatureTypeInfo& info = CreatureTypes[static_cast<std::size_t>(type)];
        const auto sheet = Decode(Shared(), std::string(GameTextureTable[info.Image].Name) + ".png");
        ASSERT_TRUE(sheet);
        const int w = info.SourceRect.Right - info.SourceRect.Left, h = info.SourceRect.Bottom - info.SourceRect.Top;
        std::set<std::vector<std::uint32_t>> frames;
        const int count = info.FrameColumns * info.FrameRows;
        for (int f = 0; f < count; ++f) {
            std::vector<std::uint32_t> pixels;
            const int x0 = info.SourceRect.Left + (f % info.FrameColumns) * (w + info.FrameGapX);
            const int y0 = info.SourceRect.Top + (f / info.FrameColumns) * (h + info.FrameGapY);
            for (int y = y0; y < y0 + h; ++y)
                for (int x = x0; x < x0 + w; ++x) pixels.push_back(sheet->At(x, y));
            frames.insert(pixels);
        }
        EXPECT_EQ(frames.size(), static_cast<std::size_t>(count)) << "type " << type;
    }
}

// "decor.bnd" and "1.scn" of every slot read back through the game's
// readers, with every sprite on a decor picture and inside it.
TEST_F(PicturesTest, SceneryReadsBackThroughTheGamesReaders) {
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        const TFiles& files = Slot(slot);
        ASSERT_TRUE(files.count("decor.bnd") && files.count("1.scn"));
        TSpriteBoundaries boundaries;
        ASSERT_NO_THROW(boundaries.Load(files.at("decor.bnd")));
        ASSERT_GT(boundaries.Count(), 0);
        for (int id = 0; id < boundaries.Count(); ++id) {
            TSpriteBoundary b;
            EXPECT_TRUE(boundaries.Lookup(id, b));
            ASSERT_TRUE(b.ImageValue >= 0 && b.ImageValue < 4);
            const auto decor = Decode(files, "Decor" + std::to_string(b.ImageValue + 1) + ".png");
            ASSERT_TRUE(decor);
            EXPECT_TRUE(b.Left >= 0 && b.Top >= 0 && b.Right <= decor->Width && b.Bottom <= decor->Height) << id;
            EXPECT_TRUE(b.Right > b.Left && b.Bottom > b.Top) << id;
        }
        std::unique_ptr<TScenarioDataReader> reader;
        ASSERT_NO_THROW(reader = std::make_unique<TScenarioDataReader>(files.at("1.scn"), boundaries));
        ASSERT_GE(reader->Backgrounds().size(), 2u);
        for (const TBackgroundEntry& b : reader->Backgrounds()) EXPECT_TRUE(b.Image >= 0 && b.Image < kBackgroundImageCount);
        for (int layer = 0; layer < kSceneryLayerCount; ++layer) {
            EXPECT_GT(reader->Layer(layer).Items.size(), 5u);
            reader->SetPosition(1000);
            EXPECT_FALSE(reader->ActiveItems(layer).empty()) << layer;
        }
    }
}

// Backgrounds join without a seam: each one's left column continues the
// next one's right column, the last wrapping to the first; the floor strip
// repeats across its width.
TEST_F(PicturesTest, BackgroundsAndFloorStripJoinWithoutASeam) {
    auto columnDiff = [](const TBitmap& a, int ax, const TBitmap& b, int bx) {
        double sum = 0;
        for (int y = 0; y < a.Height; ++y)
            for (int s = 0; s < 24; s += 8)
                sum += std::abs(static_cast<int>((a.At(ax, y) >> s) & 0xFF) - static_cast<int>((b.At(bx, y) >> s) & 0xFF));
        return sum / (a.Height * 3);
    };
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        std::array<std::unique_ptr<TBitmap>, 3> back;
        for (int i = 0; i < 3; ++i) back[static_cast<std::size_t>(i)] = Decode(Slot(slot), "Back" + std::to_string(i + 1) + ".jpg");
        for (const auto& b : back) ASSERT_TRUE(b);
        const d3d::RECT r = FixedSpriteTable[0].Rect;  // columns r.left .. r.right - 1 are shown
        for (int i = 0; i < 3; ++i) {
            const TBitmap& here = *back[static_cast<std::size_t>(i)];
            const TBitmap& next = *back[static_cast<std::size_t>((i + 1) % 3)];
            // Across the seam the picture changes no more than between two
            // neighbouring columns of one picture (JPEG noise aside).
            const double seam = columnDiff(here, r.left, next, r.right - 1);
            const double neighbours = columnDiff(here, r.left, here, r.left + 1);
            EXPECT_LT(seam, 2 * neighbours + 2.0) << i;
        }
        const auto decor = Decode(Slot(slot), "Decor1.png");
        const auto mask = Decode(Slot(slot), "Decor1Mask.png");
        ASSERT_TRUE(decor && mask);
        TSpriteBoundaries boundaries;
        boundaries.Load(Slot(slot).at("decor.bnd"));
        TSpriteBoundary floor;
        boundaries.Lookup(0, floor);
        EXPECT_LT(columnDiff(*mask, floor.Left, *mask, floor.Right - 1), 8.0);
        EXPECT_LT(columnDiff(*decor, floor.Left, *decor, floor.Right - 1), 8.0);
    }
}

// The scenery just before it wraps is the scenery at its start, one pixel
// further on: both decor layers and the backgrounds continue across the loop.
TEST(SceneryWrapTest, TheViewBeforeTheLoopPointContinuesIntoTheStart) {
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        const pic::TSceneryArt art = pic::DrawScenery(slot);
        TSpriteBoundaries boundaries;
        boundaries.Load(WriteSpriteBoundaries(0, art.Sprites));
        TScenarioDataReader reader(WriteScenarioData(art.Scenery), boundaries);
        const float loop = static_cast<float>(reader.LoopLength());
        const pic::TCanvas before = pic::ComposeScenery(art, loop - 1);
        const pic::TCanvas start = pic::ComposeScenery(art, 0);
        int different = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 1; x < 800; ++x) {
                const float* a = start.At(x, y);
                const float* b = before.At(x - 1, y);
                for (int c = 0; c < 3; ++c) different += std::abs(a[c] - b[c]) > 1.0f / 255;
            }
        EXPECT_EQ(different, 0);
    }
}

// Same code, same bytes.
TEST_F(PicturesTest, GeneratingAgainGivesTheSameBytes) {
    const TPictureSet again = GenerateSharedPictures();
    ASSERT_EQ(again.Shared.size(), Set().Shared.size());
    for (std::size_t i = 0; i < again.Shared.size(); ++i) {
        EXPECT_EQ(again.Shared[i].Name, Set().Shared[i].Name);
        EXPECT_TRUE(again.Shared[i].Bytes == Set().Shared[i].Bytes) << again.Shared[i].Name;
    }
    EXPECT_EQ(again.FontWidths, Set().FontWidths);
    EXPECT_TRUE(ToMap(GenerateScenarioPictures(kPackageSlot).Files) == Slot(kPackageSlot));
    // Each slot has its own look.
    EXPECT_FALSE(Slot(0).at("Back1.jpg") == Slot(1).at("Back1.jpg"));
    EXPECT_FALSE(Slot(1).at("Decor2.png") == Slot(2).at("Decor2.png"));
}

// The widths handed to the scenarios' "FontWidths=" line read back as the
// environment reader's font 1 widths.
TEST_F(PicturesTest, FontWidthsLineReadsBackAsFontOneWidths) {
    std::string line = "FontWidths=";
    for (std::size_t i = 0; i < Set().FontWidths.size(); ++i) line += (i ? "," : "") + std::to_string(Set().FontWidths[i]);
    TScenarioConfig config;
    config.Load("Number=1\r\n" + line + "\r\n");
    for (int j = 0; j < kGlyphCount; ++j) EXPECT_EQ(config.FontWidth(1, j), Set().FontWidths[static_cast<std::size_t>(j)]) << j;
}

// The contact sheet goes under the build folder, for a person to look at.
TEST(ContactSheetTest, WritesEveryTextureFontAndAMockFrame) {
    const std::string folder = test::BinaryDir() + "/contact/";
    WriteContactSheet(folder);
    for (const char* name : {"texture_Misc1.png", "texture_Back1_slot0.png", "texture_Decor4_slot2.png",
                             "font0_glyphs.png", "font1_glyphs.png", "mock_frame.png", "picture_menu_base.png"}) {
        SCOPED_TRACE(name);
        const auto bytes = sys::ReadFileBytes(folder + name);
        ASSERT_TRUE(bytes);
        TMemoryStream stream(*bytes);
        EXPECT_TRUE(LoadBitmapFromImageStream(&stream));
    }
}

}  // namespace
}  // namespace qv::gen
