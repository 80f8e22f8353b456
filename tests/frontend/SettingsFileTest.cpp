#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/qv3Cryptography.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "frontend/qv3SettingsFile.h"
#include "platform/system/Files.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

using TBytes = std::vector<std::uint8_t>;

std::string AsText(const TBytes& b) { return std::string(b.begin(), b.end()); }

// The defaults as a load failure leaves them (no video memory measured, slot 1).
TEnvironmentRecord Defaults(std::uint16_t country) {
    TEnvironmentRecord r;
    r.Country = country;
    r.SetDefaults(0, 1);
    return r;
}

TEnvironmentRecord Sample() {
    TEnvironmentRecord r;
    r.SetDefaults(64u << 20, 1);
    r.MusicVolume = 35;
    r.Country = 44;
    r.PlayerAlias = "FifteenCharName";
    r.Scenarios[3].HighScores[0].Name = "Ann";
    r.Scenarios[3].HighScores[0].Score = 123456;
    r.Scenarios[3].GamesStarted = 9;
    r.SupportURL = "http://support.example.org/";
    return r;
}

// Enciphers `plain` with `key` as the settings file does.
TBytes Encipher(const TBytes& plain, const std::string& key) {
    TBlowfish cipher(key);
    TMemorySink sink;
    TEncryptionStream out(sink, cipher);
    out.WriteBuffer(plain.data(), plain.size());
    out.Finish();
    return sink.Take();
}

TBytes Plaintext(const TEnvironmentRecord& r) {
    TBytes plain{'z', 'k', 'q', '3', 'e'};
    const TBytes body = r.ToBytes();
    plain.insert(plain.end(), body.begin(), body.end());
    return plain;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = dir_ / "quorvex.log";
        SetLogFile(log_);
        path_ = dir_ / "env.dat";
    }
    void TearDown() override { SetLogFile(""); }

    std::string Log() const { return sys::ReadFileText(log_).value_or("<missing>"); }
    void Put(const TBytes& bytes) const { dir_.Write("env.dat", AsText(bytes)); }

    test::TempDir dir_;
    std::string log_;
    std::string path_;
    TSettingsHost host_;
};

}  // namespace

TEST_F(SettingsFileTest, SavedRecordLoadsBackFieldByField) {
    TEnvironmentRecord rec = Sample();
    host_.CurrentSlot = [] { return 7; };
    ASSERT_TRUE(SaveEnvironment(rec, path_, host_).Wait());
    EXPECT_EQ(rec.CurrentScenario, 7);
    EXPECT_EQ(sys::ReadFileBytes(path_)->size(), 37472u);
    EXPECT_FALSE(sys::FileExists(path_ + ".tmp"));

    TEnvironmentRecord back;
    EXPECT_TRUE(LoadEnvironment(back, path_, host_));
    EXPECT_EQ(back, rec);
    EXPECT_EQ(back.Scenarios[3].HighScores[0].Name, "Ann");
    EXPECT_EQ(back.PlayerAlias, "FifteenCharName");
    EXPECT_EQ(Log(), "");
}

TEST_F(SettingsFileTest, FileIsTheTagAndRecordEncipheredWithTheSettingsKey) {
    TEnvironmentRecord zero;
    const TBytes file = EncodeSettingsFile(zero);
    ASSERT_EQ(file.size(), 37472u);
    // "zkq3e" followed by three zero bytes of MusicVolume, under the
    // settings key (value from the separate reference script of the cipher tests).
    EXPECT_EQ(TBytes(file.begin(), file.begin() + 8), (TBytes{0x3c, 0x5c, 0x74, 0xc6, 0xf9, 0xb3, 0xfe, 0x30}));
    const TBytes expected = Encipher(Plaintext(zero), kSettingsKeyText);
    EXPECT_EQ(file, expected);
}

TEST_F(SettingsFileTest, MissingFileGivesDefaults) {
    TEnvironmentRecord rec = Sample();
    rec.Country = 99;
    EXPECT_FALSE(LoadEnvironment(rec, path_, host_));
    EXPECT_EQ(rec, Defaults(99));
    EXPECT_EQ(Log(), "");
}

TEST_F(SettingsFileTest, DefaultsAskTheHostForVideoMemoryAndSlot) {
    TEnvironmentRecord rec = Sample();
    host_.VideoMemory = [] { return std::uint64_t{64} << 20; };
    host_.CurrentSlot = [] { return 4; };
    rec.Scenarios[4].StartScore = 500;
    rec.Scenarios[5].StartScore = 600;
    EXPECT_FALSE(LoadEnvironment(rec, path_, host_));
    EXPECT_EQ(rec.DisplayMode, dmFullScreen32);
    EXPECT_EQ(rec.Detail, 1);
    EXPECT_EQ(rec.Scenarios[5].StartScore, 0);  // everything is zeroed before
}

TEST_F(SettingsFileTest, EveryShortLengthGivesDefaultsWithoutACrash) {
    const TBytes full = EncodeSettingsFile(Sample());
    Put(full);
    const TEnvironmentRecord withFileCountry = Defaults(44);
    const TEnvironmentRecord withOwnCountry = Defaults(5);
    for (std::size_t length = full.size(); length-- > 0;) {
        ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(length)), 0);
        TEnvironmentRecord rec;
        rec.Country = 5;
        ASSERT_FALSE(LoadEnvironment(rec, path_, host_)) << length;
        // The Country comes from the file once the short record reached it.
        const bool countryRead = length / 8 * 8 >= 5 + EnvironmentLayout::Country + 2;
        const TEnvironmentRecord& expected = countryRead ? withFileCountry : withOwnCountry;
        ASSERT_EQ(rec.Country, expected.Country) << length;
        ASSERT_EQ(rec.MusicVolume, 100) << length;
        ASSERT_EQ(rec.Scenarios[3].HighScores[0].Score, kNoHighScore) << length;
        ASSERT_EQ(rec.Scenarios[3].GamesStarted, 0) << length;
        // The whole record for a sample of lengths (comparing it is the slow part).
        if (length % 61 == 0 || length < 16 || length + 16 > full.size()) {
            ASSERT_TRUE(rec == expected) << length;
        }
    }
    EXPECT_EQ(Log(), "");
}

TEST_F(SettingsFileTest, ExtraBytesAfterTheRecordAreIgnored) {
    TBytes file = EncodeSettingsFile(Sample());
    file.insert(file.end(), 16, 0xEE);
    Put(file);
    TEnvironmentRecord rec;
    EXPECT_TRUE(LoadEnvironment(rec, path_, host_));
    EXPECT_EQ(rec, Sample());
}

TEST_F(SettingsFileTest, ForeignFilesGiveDefaultsSilently) {
    const TBytes good = EncodeSettingsFile(Sample());
    std::vector<TBytes> foreign;
    for (std::size_t i = 0; i < 5; ++i) {
        TBytes plain = Plaintext(Sample());
        plain[i] ^= 0x01;  // one flipped bit in the tag
        foreign.push_back(Encipher(plain, kSettingsKeyText));
    }
    foreign.push_back(Encipher(Plaintext(Sample()), "another key"));
    TBytes damagedFirstBlock = good;
    damagedFirstBlock[2] ^= 0x80;
    foreign.push_back(damagedFirstBlock);
    foreign.push_back(Plaintext(Sample()));  // not enciphered at all

    for (const TBytes& file : foreign) {
        Put(file);
        TEnvironmentRecord rec;
        rec.Country = 3;
        EXPECT_FALSE(LoadEnvironment(rec, path_, host_));
        EXPECT_EQ(rec, Defaults(3));
    }
    EXPECT_EQ(Log(), "");
}

TEST_F(SettingsFileTest, OverlongStoredTextIsCutAndTheRestKept) {
    TEnvironmentRecord rec = Sample();
    TBytes plain = Plaintext(rec);
    plain[5 + EnvironmentLayout::City] = 250;  // capacity 100
    Put(Encipher(plain, kSettingsKeyText));
    TEnvironmentRecord back;
    EXPECT_TRUE(LoadEnvironment(back, path_, host_));
    EXPECT_EQ(back.City.size(), 100u);
    back.City = rec.City.Str();
    EXPECT_EQ(back, rec);
    EXPECT_NE(Log().find("* Warning: Settings file: 1 text field(s) longer than their capacity were cut"),
              std::string::npos);
}

TEST_F(SettingsFileTest, FailedSaveKeepsTheOldFileAndLogsAWarning) {
    TEnvironmentRecord rec = Sample();
    ASSERT_TRUE(SaveEnvironment(rec, path_, host_).Wait());
    const auto before = sys::ReadFileBytes(path_);

    // The disk takes only part of the new file (the log line still fits).
    rec.MusicVolume = 1;
    {
        test::FileSizeLimit full(16 * 1024);
        EXPECT_FALSE(SaveEnvironment(rec, path_, host_).Wait());
    }
    EXPECT_EQ(sys::ReadFileBytes(path_), before);
    EXPECT_EQ(rec.MusicVolume, 1);
    EXPECT_NE(Log().find("* Warning: Unable to save environment file: "), std::string::npos) << Log();

    TEnvironmentRecord back;
    EXPECT_TRUE(LoadEnvironment(back, path_, host_));
    EXPECT_EQ(back.MusicVolume, 35);
}

// A settings file that is there but cannot be read holds the player's
// scores: it is left as it is for the whole run, the run goes on with the
// defaults and says so. A readable one that is short or foreign is not
// worth keeping: it is reset and rewritten (see the tests above).
TEST_F(SettingsFileTest, AFileThatCannotBeReadIsLeftUntouched) {
    const TBytes saved = EncodeSettingsFile(Sample());
    struct Case {
        const char* name;
        const char* logged;
    } cases[] = {
        {"unreadable", "Input/output error"},  // injected: running as root, permissions stop nothing
        {"fifo", "not a regular file"},
        {"oversize", "is too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_ / (std::string(c.name) + ".dat");
        TBytes before = saved;
        if (std::string(c.name) == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);  // no writer: a blocking open would hang
            before.clear();
        } else {
            if (std::string(c.name) == "oversize") before.resize(kMaxSettingsFileSize + 1, 0);
            dir_.Write(std::string(c.name) + ".dat", AsText(before));
        }
        if (std::string(c.name) == "unreadable") sys::InjectReadErrorForTesting(path, EIO);

        TEnvironmentRecord rec;
        rec.Country = 3;
        EXPECT_FALSE(LoadEnvironment(rec, path, host_));
        EXPECT_EQ(rec, Defaults(3));
        ASSERT_TRUE(UntouchedSettingsFile(path));
        EXPECT_NE(UntouchedSettingsFile(path)->find(c.logged), std::string::npos) << *UntouchedSettingsFile(path);
        EXPECT_NE(Log().find("* Warning: Settings file cannot be read, running on the default settings and leaving "
                             "it untouched: "),
                  std::string::npos)
            << Log();
        EXPECT_FALSE(SaveEnvironment(rec, path, host_).Wait());
        EXPECT_FALSE(SaveEnvironment(rec, path, host_).Wait());
        sys::InjectReadErrorForTesting(path, 0);
        if (!before.empty()) {
            EXPECT_EQ(sys::ReadFileBytes(path), before);
        }
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        if (before.empty()) {
            EXPECT_TRUE(S_ISFIFO(st.st_mode));
        }
    }
    EXPECT_FALSE(UntouchedSettingsFile(path_));
}

// A socket holds no settings: the file is absent, not unreadable, and the
// next save puts the settings file in its place.
TEST_F(SettingsFileTest, ASocketAtTheNameIsNoSettingsFile) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path_.size(), sizeof addr.sun_path);
    path_.copy(addr.sun_path, path_.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    TEnvironmentRecord rec;
    rec.Country = 3;
    EXPECT_FALSE(LoadEnvironment(rec, path_, host_));
    EXPECT_EQ(rec, Defaults(3));
    EXPECT_FALSE(UntouchedSettingsFile(path_));
    EXPECT_EQ(Log().find("cannot be read"), std::string::npos) << Log();
    rec = Sample();
    ASSERT_TRUE(SaveEnvironment(rec, path_, host_).Wait());
    TEnvironmentRecord back;
    EXPECT_TRUE(LoadEnvironment(back, path_, host_));
    EXPECT_EQ(back, Sample());
}

TEST_F(SettingsFileTest, TheFileIsPrivateToTheUser) {
    TEnvironmentRecord rec = Sample();
    ASSERT_TRUE(SaveEnvironment(rec, path_, host_).Wait());
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsFileTest, SaveIntoAMissingFolderFails) {
    TEnvironmentRecord rec = Sample();
    EXPECT_FALSE(SaveEnvironment(rec, dir_ / "no/such/folder/env.dat", host_).Wait());
    EXPECT_NE(Log().find("* Warning: Unable to save environment file: "), std::string::npos);
}

TEST_F(SettingsFileTest, PathIsInTheUserDataFolder) {
    const std::string saved = UserDataDir;
    UserDataDir = "/some/where/";
    EXPECT_EQ(SettingsFilePath(), "/some/where/env.dat");
    UserDataDir = saved;
}

TEST_F(SettingsFileTest, ProgramSaverWritesTheRecordWithTheProgramHost) {
    const std::string saved = UserDataDir;
    UserDataDir = dir_.Path();
    const TEnvironmentRecord before = Environment;
    Environment = Sample();
    TSettingsHost host;
    host.CurrentSlot = [] { return 5; };
    SetProgramSettingsHost(host);
    EXPECT_TRUE(SaveSettings().Wait());
    TEnvironmentRecord back;
    EXPECT_TRUE(LoadEnvironment(back, path_, host_));
    EXPECT_EQ(back.CurrentScenario, 5);
    EXPECT_EQ(back.SupportURL, "http://support.example.org/");
    SetProgramSettingsHost({});
    Environment = before;
    UserDataDir = saved;
}

}  // namespace qv
