#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <numbers>

#include "foundation/BinaryIO.h"
#include "foundation/Exceptions.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3ScenarioData.h"
#include "tests/support/ScenarioFixture.h"

namespace qv {
namespace {

TSpriteBoundaries Boundaries() {
    TSpriteBoundaries b;
    // Sprite 0: 100 x 50; sprite 1: 60 x 70; sprite 2: zero width.
    b.Load(WriteSpriteBoundaries(0, std::vector<TSpriteBoundary>{{0, 0, 0, 100, 50}, {1, 10, 20, 70, 90}, {0, 5, 5, 5, 50}}));
    return b;
}

TDecorItem Item(std::int32_t sprite, std::int32_t x, std::int32_t y = 300) {
    TDecorItem item;
    item.SpriteId = sprite;
    item.X = x;
    item.Y = y;
    return item;
}

TSceneryFile Scenery(int backgrounds, std::vector<TDecorItem> layer0, std::vector<TDecorItem> layer1 = {}) {
    TSceneryFile s;
    for (int i = 0; i < backgrounds; ++i) s.Backgrounds.push_back({i % 3, {1u, 2u, 3u, static_cast<std::uint32_t>(i)}});
    s.Layers[0] = std::move(layer0);
    s.Layers[1] = std::move(layer1);
    return s;
}

TScenarioDataReader Read(const TSceneryFile& s) { return TScenarioDataReader(WriteScenarioData(s), Boundaries()); }

TEST(ScenarioData, FileLayout) {
    TSceneryFile s = Scenery(1, {Item(1, -7, 9)});
    s.Layers[0][0].ScaleX = 2.0f;
    s.Layers[0][0].ScaleY = 0.5f;
    s.Layers[0][0].Rotation = 1.25f;
    s.Layers[0][0].Colors = {0xA1, 0xB2, 0xC3, 0xD4};
    const auto bytes = WriteScenarioData(s);
    ASSERT_EQ(bytes.size(), 5u + 4 + 20 + 4 + 40 + 4);
    TBinaryReader in(bytes);
    EXPECT_EQ(in.ReadString(5), "zkq3s");
    EXPECT_EQ(in.ReadI32(), 1);
    EXPECT_EQ(in.ReadI32(), 0);  // background image
    EXPECT_EQ(in.ReadU32(), 1u);
    in.Seek(29);
    EXPECT_EQ(in.ReadI32(), 1);  // layer 0 count
    EXPECT_EQ(in.ReadI32(), 1);  // sprite id
    EXPECT_EQ(in.ReadI32(), -7);
    EXPECT_EQ(in.ReadI32(), 9);
    EXPECT_EQ(in.ReadF32(), 2.0f);
    EXPECT_EQ(in.ReadF32(), 0.5f);
    EXPECT_EQ(in.ReadF32(), 1.25f);
    EXPECT_EQ(in.ReadU32(), 0xA1u);
    in.Seek(33 + 36);
    EXPECT_EQ(in.ReadU32(), 0xD4u);
    EXPECT_EQ(in.ReadI32(), 0);  // layer 1 count
}

TEST(ScenarioData, OneBackgroundLoopsOntoItself) {
    TScenarioDataReader r = Read(Scenery(1, {}));
    ASSERT_EQ(r.Backgrounds().size(), 2u);
    EXPECT_EQ(r.LoopStart(), 0);
    EXPECT_EQ(r.LoopLength(), 3200);
    struct Case {
        float position;
        std::int32_t offset;
    };
    for (const Case c : {Case{0, 0}, Case{4, 1}, Case{3199, 799}, Case{3200, 0}, Case{6399, 799}}) {
        r.SetPosition(c.position);
        const TBackgroundView v = r.GetBackgrounds();
        EXPECT_EQ(v.Offset, c.offset) << c.position;
        EXPECT_EQ(v.Current, &r.Backgrounds()[0]) << c.position;
        EXPECT_EQ(v.Next, &r.Backgrounds()[1]) << c.position;
        EXPECT_EQ(v.Next->Image, v.Current->Image);
        EXPECT_EQ(v.Next->Colors, v.Current->Colors);
    }
}

TEST(ScenarioData, BackgroundsFollowThePosition) {
    TScenarioDataReader r = Read(Scenery(3, {}));
    EXPECT_EQ(r.LoopStart(), 6400);
    EXPECT_EQ(r.LoopLength(), 9600);
    struct Case {
        float position;
        std::size_t index;
        std::int32_t offset;
    };
    for (const Case c : {Case{3200, 1, 0}, Case{6399.9f, 1, 799}, Case{8000, 2, 400}, Case{9600 + 3300, 1, 25},
                         Case{-100, 2, 775}}) {
        r.SetPosition(c.position);
        const TBackgroundView v = r.GetBackgrounds();
        EXPECT_EQ(v.Current, &r.Backgrounds()[c.index]) << c.position;
        EXPECT_EQ(v.Next, &r.Backgrounds()[c.index + 1]) << c.position;
        EXPECT_EQ(v.Offset, c.offset) << c.position;
    }
    // The last background is followed by the copy of the first.
    EXPECT_EQ(r.Backgrounds()[3].Colors, r.Backgrounds()[0].Colors);
}

TEST(ScenarioData, ExtentsComeFromSpriteSizeScalesAndRotation) {
    const TSpriteBoundaries b = Boundaries();
    TSpriteBoundary sprite;
    b.Lookup(0, sprite);
    // Corners x 0..100 about the item's x 400: tenths 30..40.
    TDecorExtent e = ComputeDecorExtent(Item(0, 400), sprite);
    EXPECT_FALSE(e.Empty);
    EXPECT_EQ(e.Left, 300);
    EXPECT_EQ(e.Right, 400);
    TDecorItem scaled = Item(0, 400);
    scaled.ScaleX = 2.0f;
    e = ComputeDecorExtent(scaled, sprite);
    EXPECT_EQ(e.Left, 200);
    EXPECT_EQ(e.Right, 400);
    // A quarter turn: the 50-pixel side now lies along x, to the left of the item.
    TDecorItem turned = Item(0, 400);
    turned.Rotation = std::numbers::pi_v<float> / 2;
    e = ComputeDecorExtent(turned, sprite);
    EXPECT_EQ(e.Left, 400);
    EXPECT_EQ(e.Right, 450);
    // Wholly above the scenery's bounds, or without area: never in view.
    EXPECT_TRUE(ComputeDecorExtent(Item(0, 400, -1000), sprite).Empty);
    b.Lookup(2, sprite);
    EXPECT_TRUE(ComputeDecorExtent(Item(2, 400), sprite).Empty);
}

TEST(ScenarioData, ItemsComeIntoViewAndLeaveAsThePositionMoves) {
    // Left edges 300 and 1300; right edges 400 and 1400.
    TScenarioDataReader r = Read(Scenery(2, {Item(0, 400), Item(0, 1400), Item(0, 400, -1000)}));
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(r.ActiveItems(0), (V{0}));
    r.SetPosition(400);
    EXPECT_EQ(r.ActiveItems(0), (V{0}));
    r.SetPosition(501);  // 1300 < 1301
    EXPECT_EQ(r.ActiveItems(0), (V{1}));
    EXPECT_EQ(r.LayerPosition(0), 501);
    r.SetPosition(1401);
    EXPECT_EQ(r.ActiveItems(0), (V{}));
    // Backwards: the view starts afresh.
    r.SetPosition(600);
    EXPECT_EQ(r.ActiveItems(0), (V{1}));
    r.SetPosition(100);
    EXPECT_EQ(r.ActiveItems(0), (V{0}));
    // Past the loop length: wrapped.
    r.SetPosition(6400 + 100);
    EXPECT_EQ(r.Position(), 100.0f);
    EXPECT_EQ(r.ActiveItems(0), (V{0}));
    // A position that is no number changes nothing.
    r.SetPosition(std::numeric_limits<float>::quiet_NaN());
    r.SetPosition(std::numeric_limits<float>::infinity());
    EXPECT_EQ(r.Position(), 100.0f);
    EXPECT_THROW(r.ActiveItems(2), EListError);
    EXPECT_THROW(r.Layer(-1), EListError);
}

TEST(ScenarioData, ItemsNearTheStartReappearAfterTheLoopPoint) {
    // Layer 0: left edges 300 and 600 are within the first screen, 4900 is
    // not; the run 0..2 is copied whole.
    const TScenarioDataReader r0 = Read(Scenery(2, {Item(0, 400), Item(0, 5000), Item(0, 700)}, {Item(1, 400)}));
    const auto& layer0 = r0.Layer(0);
    ASSERT_EQ(layer0.Items.size(), 6u);
    EXPECT_EQ(layer0.Items[3].X, 400 + 6400);
    EXPECT_EQ(layer0.Items[4].X, 5000 + 6400);
    EXPECT_EQ(layer0.Items[5].X, 700 + 6400);
    // Layer 1 moves 1.7 times slower: shifted by trunc(6400 / 1.7).
    const auto& layer1 = r0.Layer(1);
    ASSERT_EQ(layer1.Items.size(), 2u);
    EXPECT_EQ(layer1.Items[1].X, 400 + 3764);

    TScenarioDataReader r = Read(Scenery(2, {Item(0, 400)}, {Item(1, 400)}));
    r.SetPosition(6000);
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(r.ActiveItems(0), (V{1}));
    // Layer 1 at trunc(6000 / 1.7) = 3529: the copy's left edge 4100 is below 3529 + 800.
    EXPECT_EQ(r.LayerPosition(1), 3529);
    EXPECT_EQ(r.ActiveItems(1), (V{1}));
    // No item within the first screen: nothing copied.
    EXPECT_EQ(Read(Scenery(1, {Item(0, 5000)})).Layer(0).Items.size(), 1u);
    EXPECT_EQ(Read(Scenery(1, {})).Layer(0).Items.size(), 0u);
}

std::string ErrorOf(const std::vector<std::uint8_t>& bytes) {
    try {
        TScenarioDataReader r(bytes, Boundaries());
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(ScenarioData, MalformedFilesAreRejected) {
    auto bytes = WriteScenarioData(Scenery(1, {Item(0, 0)}));
    bytes[0] = 'Z';
    EXPECT_EQ(ErrorOf(bytes), "Invalid level data file");

    EXPECT_NE(ErrorOf(WriteScenarioData(Scenery(0, {}))), "");  // would never loop
    for (std::int32_t n : {-1, 1 << 30}) {
        auto b = WriteScenarioData(Scenery(1, {}));
        std::memcpy(b.data() + 5, &n, 4);
        EXPECT_NE(ErrorOf(b), "") << n;
    }
    for (std::int32_t k : {-5, 100000}) {
        auto b = WriteScenarioData(Scenery(1, {}));
        std::memcpy(b.data() + 29, &k, 4);
        EXPECT_NE(ErrorOf(b), "") << k;
    }
    for (std::int32_t image : {-1, 3}) {
        TSceneryFile s = Scenery(1, {});
        s.Backgrounds[0].Image = image;
        EXPECT_NE(ErrorOf(WriteScenarioData(s)), "") << image;
    }
    EXPECT_EQ(ErrorOf(WriteScenarioData(Scenery(1, {Item(3, 0)}))), "out of bounds");
    EXPECT_EQ(ErrorOf(WriteScenarioData(Scenery(1, {}, {Item(-1, 0)}))), "out of bounds");
    TDecorItem nan = Item(0, 0);
    nan.ScaleY = std::numeric_limits<float>::quiet_NaN();
    EXPECT_NE(ErrorOf(WriteScenarioData(Scenery(1, {nan}))), "");
    TDecorItem far = Item(0, std::numeric_limits<std::int32_t>::max());
    EXPECT_NE(ErrorOf(WriteScenarioData(Scenery(1, {far}))), "");

    const test::TScenarioFixture scenario;
    const auto good = scenario.SceneryBytes();
    ASSERT_EQ(ErrorOf(good), "");
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(ErrorOf({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)}), "") << n;
}

}  // namespace
}  // namespace qv
