#include <gtest/gtest.h>

#include <cstring>

#include "foundation/BinaryIO.h"
#include "game/core/qv3Snapshot.h"
#include "platform/system/Files.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

TEST(SnapshotTest, BitmapIsBottomUp24BitWithPaddedRows) {
    // 3 x 2: rows of 9 bytes padded to 12.
    const std::vector<std::uint32_t> pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
    const auto bmp = EncodeBitmap24(3, 2, pixels);
    ASSERT_EQ(bmp.size(), 54u + 24u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    TBinaryReader r(bmp);
    r.Skip(2);
    EXPECT_EQ(r.ReadU32(), 78u);  // file size
    r.Skip(4);
    EXPECT_EQ(r.ReadU32(), 54u);  // pixel data offset
    EXPECT_EQ(r.ReadU32(), 40u);
    EXPECT_EQ(r.ReadI32(), 3);
    EXPECT_EQ(r.ReadI32(), 2);
    EXPECT_EQ(r.ReadU16(), 1);
    EXPECT_EQ(r.ReadU16(), 24);
    // First stored row is the bottom one, blue first.
    const std::uint8_t bottom[12] = {0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bmp.data() + 54, bottom, 12), 0);
    const std::uint8_t top[3] = {0x33, 0x22, 0x11};
    EXPECT_EQ(std::memcmp(bmp.data() + 66, top, 3), 0);
}

TEST(SnapshotTest, BackBufferOfTheDeviceIsRead) {
    test::TFakeRig rig;
    auto surface = rig.Device->GetBackBuffer();
    ASSERT_TRUE(surface);
    std::uint32_t w = 0, h = 0;
    const auto pixels = ReadSurfacePixels(*surface, w, h);
    EXPECT_EQ(w, 800u);
    EXPECT_EQ(h, 600u);
    EXPECT_EQ(pixels.size(), 800u * 600u);
}

TEST(SnapshotTest, NamesNeverOverwriteAnEarlierShot) {
    test::TempDir dir;
    std::int32_t count = 0;
    EXPECT_EQ(NextSnapshotName(dir.Path(), count), dir / "snapshoot0.bmp");
    EXPECT_EQ(count, 0);
    dir.Write("snapshoot0.bmp", "x");
    dir.Write("snapshoot1.bmp", "x");
    dir.Write("snapshoot3.bmp", "x");
    EXPECT_EQ(NextSnapshotName(dir.Path(), count), dir / "snapshoot2.bmp");
    EXPECT_EQ(count, 2);
    ++count;
    EXPECT_EQ(NextSnapshotName(dir.Path(), count), dir / "snapshoot4.bmp");
}

}  // namespace
}  // namespace qv
