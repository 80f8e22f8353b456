#include <gtest/gtest.h>

#include "foundation/BinaryIO.h"
#include "platform/resources/ResourceContainer.h"
#include "platform/resources/ResourcePackWriter.h"
#include "platform/system/Files.h"
#include "tests/support/ScenarioFixture.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using sys::EResourceError;
using sys::TResourceContainer;
using sys::TResourcePackWriter;
using test::Bytes;

TResourcePackWriter SamplePack() {
    TResourcePackWriter pack;
    pack.Add("DATA", "langENU.txt", "hello");
    pack.Add("SCENARIO3", "1.lvl", "level bytes");
    pack.Add("SCENARIO3", "Decor2.png", std::string(100000, 'x'));
    return pack;
}

TEST(ResourceContainer, ReadsWhatTheWriterStoredWithNamesMatchedWithoutCase) {
    auto pack = TResourceContainer::OpenMemory(SamplePack().Build());
    EXPECT_EQ(pack->Read("DATA", "langENU.txt"), Bytes("hello"));
    EXPECT_EQ(pack->Read("data", "LANGenu.TXT"), Bytes("hello"));
    EXPECT_EQ(pack->Read("Scenario3", "decor2.PNG")->size(), 100000u);
    EXPECT_TRUE(pack->Has("SCENARIO3", "1.LVL"));
    EXPECT_EQ(pack->SizeOf("scenario3", "1.lvl"), 11u);

    // Types and names are kept apart: a name of another type is absent.
    EXPECT_FALSE(pack->Has("SCENARIO4", "1.lvl"));
    EXPECT_FALSE(pack->Has("DATA", "1.lvl"));
    EXPECT_FALSE(pack->Read("DATA", "missing.txt").has_value());
    EXPECT_FALSE(pack->SizeOf("DATA", "missing.txt").has_value());

    const auto entries = pack->Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].Type, "SCENARIO3");
    EXPECT_EQ(entries[2].Name, "Decor2.png");
}

TEST(ResourceContainer, OpensPackFilesAndTheEmptyPack) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(SamplePack().Save(dir / "pack.c3p", &error)) << error;
    auto pack = TResourceContainer::OpenFile(dir / "pack.c3p");
    EXPECT_EQ(pack->Read("DATA", "langENU.txt"), Bytes("hello"));
    // The pack read stays the one opened, even when the file goes away.
    ASSERT_TRUE(sys::RemoveFile(dir / "pack.c3p"));
    EXPECT_EQ(pack->Read("SCENARIO3", "1.lvl"), Bytes("level bytes"));

    auto empty = TResourceContainer::OpenMemory(TResourcePackWriter().Build());
    EXPECT_TRUE(empty->Entries().empty());
    EXPECT_THROW(TResourceContainer::OpenFile(dir / "none.c3p"), EResourceError);
}

TEST(ResourcePackWriter, SameResourcesGiveTheSameBytes) { EXPECT_EQ(SamplePack().Build(), SamplePack().Build()); }

TEST(ResourcePackWriter, RefusesBadAndDuplicateNames) {
    TResourcePackWriter pack;
    pack.Add("DATA", "a.txt", "1");
    EXPECT_THROW(pack.Add("data", "A.TXT", "2"), EResourceError);
    for (auto [type, name] : {std::pair{"", "x"}, {"DATA", ""}, {"DA/TA", "x"}, {"DATA", "sub/x"}, {"DATA", "a\\b"}})
        EXPECT_THROW(pack.Add(type, name, "3"), EResourceError) << type << " " << name;
    EXPECT_EQ(pack.Count(), 1u);
}

TEST(ResourceContainer, GarbageAndCutPacksAreRefusedWithoutACrash) {
    const auto good = SamplePack().Build();
    EXPECT_THROW(TResourceContainer::OpenMemory(Bytes("not a pack at all")), EResourceError);
    // An empty file reads as a pack without resources.
    EXPECT_TRUE(TResourceContainer::OpenMemory({})->Entries().empty());
    // Cut at every length: either refused, or every resource that is still
    // listed reads back whole or raises.
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        try {
            auto pack = TResourceContainer::OpenMemory(cut);
            for (const auto& e : pack->Entries()) {
                try {
                    const auto bytes = pack->Read(e.Type, e.Name);
                    EXPECT_EQ(bytes->size(), e.Size);
                } catch (const EResourceError&) {
                }
            }
        } catch (const EResourceError&) {
        }
    }
}

TEST(ResourceContainer, ACorruptedResourceRaisesOnRead) {
    TResourcePackWriter writer;
    const std::string text(2000, 'q');
    writer.Add("DATA", "text.txt", text);
    auto bytes = writer.Build();
    // Flip a byte of the compressed data (after the 30-byte local header and
    // the 13-byte name "DATA/text.txt").
    bytes[30 + 13 + 2] ^= 0x55;
    auto pack = TResourceContainer::OpenMemory(bytes);
    EXPECT_THROW(pack->Read("DATA", "text.txt"), EResourceError);
}

// A ZIP archive written byte by byte, for entries our writer never makes.
struct RawEntry {
    std::string name;
    std::vector<std::uint8_t> stored;  // the entry's data as stored
    std::uint16_t method = 0;          // 0 stored, 8 deflated
    std::uint32_t size = 0;            // uncompressed size the headers claim
    std::uint32_t crc = 0;
};

std::uint32_t Crc32(const std::vector<std::uint8_t>& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

RawEntry Stored(std::string name, std::string_view text) {
    RawEntry e{std::move(name), Bytes(text)};
    e.size = static_cast<std::uint32_t>(e.stored.size());
    e.crc = Crc32(e.stored);
    return e;
}

std::vector<std::uint8_t> RawZip(const std::vector<RawEntry>& entries) {
    TBinaryWriter out;
    std::vector<std::uint32_t> offsets;
    auto common = [&out](const RawEntry& e) {
        out.WriteU16(20);  // version needed
        out.WriteU16(0);   // flags
        out.WriteU16(e.method);
        out.WriteU16(0);     // time
        out.WriteU16(0x21);  // date: 1 January 1980
        out.WriteU32(e.crc);
        out.WriteU32(static_cast<std::uint32_t>(e.stored.size()));
        out.WriteU32(e.size);
        out.WriteU16(static_cast<std::uint16_t>(e.name.size()));
        out.WriteU16(0);  // extra field length
    };
    for (const RawEntry& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(out.Size()));
        out.WriteU32(0x04034b50u);
        common(e);
        out.WriteString(e.name);
        out.WriteBytes(e.stored);
    }
    const auto directory = static_cast<std::uint32_t>(out.Size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out.WriteU32(0x02014b50u);
        out.WriteU16(20);  // version made by
        common(entries[i]);
        out.WriteU16(0);  // comment length
        out.WriteU16(0);  // disk
        out.WriteU16(0);  // internal attributes
        out.WriteU32(0);  // external attributes
        out.WriteU32(offsets[i]);
        out.WriteString(entries[i].name);
    }
    const auto directorySize = static_cast<std::uint32_t>(out.Size()) - directory;
    out.WriteU32(0x06054b50u);
    out.WriteU16(0);
    out.WriteU16(0);
    out.WriteU16(static_cast<std::uint16_t>(entries.size()));
    out.WriteU16(static_cast<std::uint16_t>(entries.size()));
    out.WriteU32(directorySize);
    out.WriteU32(directory);
    out.WriteU16(0);
    return out.Take();
}

TEST(ResourceContainer, OnlyTypeSlashNameEntriesAreResourcesAndTheFirstSpellingWins) {
    auto pack = TResourceContainer::OpenMemory(RawZip({
        Stored("DATA/", ""),
        Stored("DATA/sub/deep.txt", "deep"),
        Stored("/rooted.txt", "rooted"),
        Stored("loose.txt", "loose"),
        Stored("Data/Twice.txt", "first"),
        Stored("DATA/twice.TXT", "second"),
    }));
    const auto entries = pack->Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, "Twice.txt");
    EXPECT_EQ(pack->Read("DATA", "twice.txt"), Bytes("first"));
    EXPECT_FALSE(pack->Has("DATA", "sub/deep.txt"));
    EXPECT_FALSE(pack->Has("", "rooted.txt"));
}

TEST(ResourceContainer, SizesThatLieAreCaught) {
    // Stored data whose CRC does not match.
    RawEntry badCrc = Stored("DATA/a.txt", "abcdef");
    badCrc.crc ^= 1;
    // A tiny deflated stream that claims to unpack to 300 MiB.
    RawEntry bomb{"DATA/bomb.bin", {0x03, 0x00}, 8, 300u * 1024u * 1024u, 0};
    // A deflated stream that claims more than it holds.
    RawEntry shortData{"DATA/short.bin", {0x03, 0x00}, 8, 10, 0};
    auto pack = TResourceContainer::OpenMemory(RawZip({badCrc, bomb, shortData}));
    EXPECT_THROW(pack->Read("DATA", "a.txt"), EResourceError);
    EXPECT_THROW(pack->Read("DATA", "bomb.bin"), EResourceError);
    EXPECT_THROW(pack->Read("DATA", "short.bin"), EResourceError);
}

}  // namespace
}  // namespace qv
