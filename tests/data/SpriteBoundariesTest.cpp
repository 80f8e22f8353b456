#include <gtest/gtest.h>

#include <cstring>

#include "foundation/BinaryIO.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3SpriteBoundaries.h"

namespace qv {
namespace {

std::string ErrorOf(const std::vector<std::uint8_t>& bytes) {
    TSpriteBoundaries b;
    try {
        b.Load(bytes);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(SpriteBoundaries, RoundTripAndLayout) {
    const std::vector<TSpriteBoundary> records = {{0, 1, 2, 30, 40}, {3, 50, 60, 40, 70}, {2, 5, 9, 5, 8}};
    const auto bytes = WriteSpriteBoundaries(512, records);
    ASSERT_EQ(bytes.size(), 27u + 20u * 3);
    TBinaryReader raw(bytes);
    EXPECT_EQ(raw.ReadString(11), "zkrSB_HD1.0");
    EXPECT_EQ(raw.ReadI32(), 512);
    EXPECT_EQ(raw.ReadI32(), 3);
    EXPECT_EQ(raw.ReadI32(), 0);
    EXPECT_EQ(raw.ReadI32(), 1);
    raw.Seek(19 + 60);
    EXPECT_EQ(raw.ReadString(8), "zkrSB_FT");

    TSpriteBoundaries b;
    b.Load(bytes);
    EXPECT_EQ(b.Count(), 3);
    EXPECT_EQ(b.Extent(), 512);
    TSpriteBoundary r;
    EXPECT_TRUE(b.Lookup(0, r));
    EXPECT_EQ(r.Right, 30);
    EXPECT_EQ(r.Bottom, 40);
    // right < left, and bottom < top, are returned but not well formed.
    EXPECT_FALSE(b.Lookup(1, r));
    EXPECT_EQ(r.ImageValue, 3);
    EXPECT_EQ(r.Left, 50);
    EXPECT_FALSE(b.Lookup(2, r));
}

TEST(SpriteBoundaries, EmptyFileLoadsAndEveryLookupIsOutOfBounds) {
    TSpriteBoundaries b;
    b.Load(WriteSpriteBoundaries(0, {}));
    EXPECT_EQ(b.Count(), 0);
    TSpriteBoundary r;
    for (std::int32_t id : {0, -1, 1}) {
        try {
            b.Lookup(id, r);
            ADD_FAILURE() << id;
        } catch (const EDataError& e) {
            EXPECT_STREQ(e.what(), "out of bounds");
        }
    }
}

TEST(SpriteBoundaries, BadFilesAreRejectedAndTheLoadedOnesKept) {
    const std::vector<TSpriteBoundary> records = {{0, 0, 0, 10, 10}};
    const auto good = WriteSpriteBoundaries(0, records);
    auto set = [&good](std::size_t at, const char* text) {
        auto bytes = good;
        std::memcpy(bytes.data() + at, text, std::strlen(text));
        return bytes;
    };
    EXPECT_EQ(ErrorOf(set(0, "zkrSB_HX")), "Invalid header");
    EXPECT_EQ(ErrorOf(set(8, "1.1")), "Invalid header");
    EXPECT_EQ(ErrorOf(set(19 + 20, "zkrSB_FX")), "Invalid footer");
    auto negative = good;
    negative[15 + 3] = 0x80;
    EXPECT_FALSE(ErrorOf(negative).empty());
    auto huge = good;
    huge[15 + 2] = 0x10;  // about a million records in a 47-byte file
    EXPECT_FALSE(ErrorOf(huge).empty());
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(ErrorOf({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)}).empty()) << n;

    TSpriteBoundaries b;
    b.Load(good);
    EXPECT_ANY_THROW(b.Load(set(8, "2.0")));
    EXPECT_EQ(b.Count(), 1);
}

}  // namespace
}  // namespace qv
