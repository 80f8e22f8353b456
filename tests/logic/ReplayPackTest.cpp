// Replay packs: layout, reading what is stored, refusing what is damaged or
// hostile, and saving without losing the previous file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "foundation/BinaryIO.h"
#include "foundation/qv3Cryptography.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/core/qv3ReplayFiles.h"
#include "platform/system/Files.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using TBytes = std::vector<std::uint8_t>;

class ReplayPackTest : public testing::Test {
protected:
    ReplayPackTest() { SetLogFile(dir_ / "quorvex.log"); }
    ~ReplayPackTest() override { SetLogFile(""); }

    std::string Path(const std::string& name = "last5.gmp") const { return dir_ / name; }
    std::string Log() const { return ReadLogText(); }
    static void Store(const std::string& path, const TBytes& bytes) {
        ASSERT_TRUE(sys::WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    }
    static TBytes Load(const std::string& path) { return sys::ReadFileBytes(path).value_or(TBytes{}); }
    // A plain pack: magic, count, then (id, size, bytes) per level.
    static TBytes Plain(std::int32_t count, const std::vector<std::pair<std::int32_t, TBytes>>& levels,
                        std::int32_t sizeOverride = 0) {
        TBinaryWriter w;
        w.WriteString("zkq3p");
        w.WriteI32(count);
        for (const auto& [id, bytes] : levels) {
            w.WriteI32(id);
            w.WriteI32(sizeOverride ? sizeOverride : static_cast<std::int32_t>(bytes.size()));
            w.WriteBytes(bytes);
        }
        return w.Take();
    }
    static TReplayPack::TRecordWriter Record(TBytes bytes) {
        return [bytes] { return bytes; };
    }

    test::TempDir dir_;
};

TEST_F(ReplayPackTest, ALevelIsStoredInTheDocumentedLayout) {
    TReplayFile pack(Path());
    EXPECT_EQ(pack.LevelCount(), 0);
    const TBytes level = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    pack.AddLevelAndSave(1, true, true, Record(level));

    const TBytes file = Load(Path());
    ASSERT_EQ(file.size() % 8, 0u);
    EXPECT_NE(std::memcmp(file.data(), "zkq3p", 5), 0) << "enciphered";
    const TBytes plain = DecipherReplayPack(file);
    ASSERT_EQ(plain.size(), 32u);  // 5 + 4 + 4 + 4 + 11 = 28, padded to 32
    TBinaryReader in(plain);
    EXPECT_EQ(in.ReadString(5), "zkq3p");
    EXPECT_EQ(in.ReadI32(), 1);
    EXPECT_EQ(in.ReadI32(), 1);
    EXPECT_EQ(in.ReadI32(), 11);
    EXPECT_EQ(in.ReadBytes(11), level);
    for (std::size_t i = 28; i < 32; ++i) EXPECT_EQ(plain[i], 0) << i;

    TReplayFile again(Path());
    ASSERT_EQ(again.LevelCount(), 1);
    EXPECT_EQ(again.GetLevel(1), level);
    EXPECT_EQ(Log(), "") << "nothing to report";
}

TEST_F(ReplayPackTest, SavingLevelOneAgainReplacesIt) {
    TReplayFile pack(Path());
    pack.AddLevelAndSave(1, false, false, Record({1, 1, 1}));
    pack.AddLevelAndSave(1, true, true, Record({2, 2}));
    TReplayFile again(Path());
    ASSERT_EQ(again.LevelCount(), 1);
    EXPECT_EQ(again.GetLevel(1), (TBytes{2, 2}));
}

TEST_F(ReplayPackTest, EmptyAndMissingPacksReadSilently) {
    Store(Path(), EncipherReplayPack(Plain(0, {})));
    TReplayFile empty(Path());
    EXPECT_EQ(empty.LevelCount(), 0);
    EXPECT_THROW(empty.GetLevel(1), EReplayPackError);
    try {
        empty.GetLevel(0);
        ADD_FAILURE();
    } catch (const EReplayPackError& e) {
        EXPECT_STREQ(e.what(), "Level doesn't exist in file");
    }
    TReplayFile missing(Path("worldbest7.gmp"));
    EXPECT_EQ(missing.LevelCount(), 0);
    EXPECT_EQ(Log(), "");
}

TEST_F(ReplayPackTest, DamagedAndHostilePacksReadAsEmptyWithWarnings) {
    const TBytes level = {9, 8, 7, 6};
    TBlowfish other("another key entirely");
    const TBytes good = EncipherReplayPack(Plain(1, {{1, level}}));
    struct Case {
        const char* what;
        TBytes file;
        const char* warning;  // besides "Unable to open replay file."
    };
    TBytes foreign;
    {
        TMemorySink sink;
        TEncryptionStream stream(sink, other);
        const TBytes plain = Plain(1, {{1, level}});
        stream.WriteBuffer(plain.data(), plain.size());
        stream.Finish();
        foreign = sink.Take();
    }
    TBytes wrongMagic = Plain(1, {{1, level}});
    wrongMagic[4] = 'x';
    const Case cases[] = {
        {"wrong magic", EncipherReplayPack(wrongMagic), "The replay file is invalid."},
        {"another key", foreign, "The replay file is invalid."},
        {"two levels", EncipherReplayPack(Plain(2, {{1, level}, {2, level}})), "Excess levels on replay file."},
        {"negative count", EncipherReplayPack(Plain(-1, {})), "The replay file is invalid."},
        {"level id 2", EncipherReplayPack(Plain(1, {{2, level}})), "Invalid level id on replay file."},
        {"size -1", EncipherReplayPack(Plain(1, {{1, level}}, -1)), "Invalid level size on replay file."},
        {"size 0", EncipherReplayPack(Plain(1, {{1, {}}})), "Invalid level size on replay file."},
        {"size past the end", EncipherReplayPack(Plain(1, {{1, level}}, 4096)), "Invalid level size on replay file."},
        {"cut short", TBytes(good.begin(), good.begin() + 8), nullptr},
        {"no bytes", TBytes{}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLogFile("");
        sys::RemoveFile(dir_ / "quorvex.log");
        SetLogFile(dir_ / "quorvex.log");
        Store(Path(), c.file);
        TReplayFile pack(Path());
        EXPECT_EQ(pack.LevelCount(), 0);
        const std::string log = Log();
        EXPECT_NE(log.find("Warning: Unable to open replay file."), std::string::npos) << log;
        if (c.warning) {
            EXPECT_NE(log.find(std::string("Warning: ") + c.warning), std::string::npos) << log;
        }
        EXPECT_EQ(TReplayPack::FromStream(c.file).LevelCount(), 0);
    }
}

TEST_F(ReplayPackTest, AFileLargerThanAnyPackIsRefusedUnread) {
    Store(Path(), EncipherReplayPack(Plain(1, {{1, {9, 8, 7, 6}}})));
    // Grown past the limit (sparse, so nothing large is written).
    ASSERT_EQ(::truncate(Path().c_str(), static_cast<off_t>(kMaxReplayFileSize) + 1), 0);
    TReplayFile pack(Path());
    EXPECT_EQ(pack.LevelCount(), 0);
    const std::string log = Log();
    EXPECT_NE(log.find("Warning: File " + Path() + " is too large (" + std::to_string(kMaxReplayFileSize + 1) +
                       " bytes, at most " + std::to_string(kMaxReplayFileSize) + ")"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Warning: Unable to open replay file."), std::string::npos) << log;
}

TEST_F(ReplayPackTest, AnInvalidLevelNumberRewritesTheOldContentAndRaises) {
    TReplayFile pack(Path());
    pack.AddLevelAndSave(1, true, true, Record({5, 5, 5}));
    const TBytes before = DecipherReplayPack(Load(Path()));
    for (std::int32_t n : {3, 0, -1}) {
        try {
            pack.AddLevelAndSave(n, false, true, Record({6}));
            ADD_FAILURE() << n;
        } catch (const EReplayPackError& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid level id: " + std::to_string(n) + "/1/False/True");
        }
        EXPECT_EQ(pack.LevelCount(), 1);
        EXPECT_EQ(DecipherReplayPack(Load(Path())), before);
    }
}

TEST_F(ReplayPackTest, AFailedRecordEmptiesThePackAndSaysWhy) {
    TReplayFile pack(Path());
    pack.AddLevelAndSave(1, true, true, Record({5, 5, 5}));
    EXPECT_THROW(pack.AddLevelAndSave(1, true, false, [] () -> TBytes { throw Exception("boom"); }), EReplayPackError);
    EXPECT_EQ(pack.LevelCount(), 0);
    EXPECT_NE(Log().find("Warning: Error adding replay: boom"), std::string::npos);
    EXPECT_EQ(TReplayFile(Path()).LevelCount(), 0) << "the file holds what the pack holds";
}

TEST_F(ReplayPackTest, AFailedSaveKeepsThePreviousFile) {
    TReplayFile pack(Path());
    pack.AddLevelAndSave(1, true, true, Record({5, 5, 5}));
    const TBytes before = Load(Path());
    try {
        // The disk takes only the first bytes of the new file.
        test::FileSizeLimit full(4);
        pack.AddLevelAndSave(1, true, true, Record({6, 6}));
        ADD_FAILURE();
    } catch (const EReplayPackError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error saving replay file: ", 0), 0u) << e.what();
    }
    EXPECT_EQ(Load(Path()), before);
    EXPECT_EQ(TReplayFile(Path()).GetLevel(1), (TBytes{5, 5, 5}));

    TReplayPack resource = TReplayPack::FromStream(before);
    EXPECT_EQ(resource.LevelCount(), 1);
    EXPECT_EQ(resource.GetLevel(1), (TBytes{5, 5, 5}));
    TReplayFile unnamed("");
    EXPECT_THROW(unnamed.AddLevelAndSave(1, true, true, Record({1})), EReplayPackError);
}

TEST_F(ReplayPackTest, PackFilesArePerSlotInTheUserFolder) {
    const std::string saved = UserDataDir;
    UserDataDir = "/home/player/.local/share/Tollbeck/Quorvex/";
    EXPECT_EQ(LastReplayPath(3), UserDataDir + "last3.gmp");
    EXPECT_EQ(MyBestReplayPath(0), UserDataDir + "mybest0.gmp");
    EXPECT_EQ(WorldBestReplayPath(99), UserDataDir + "worldbest99.gmp");
    UserDataDir = saved;
    EXPECT_STREQ(kDemoReplayResource, "demo.gmp");
    EXPECT_EQ(std::strlen(kReplayPackKey), 46u);
}

}  // namespace
}  // namespace qv
