#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/system/Files.h"
#include "platform/system/Folders.h"
#include "tests/support/TempDir.h"

namespace qv::sys {

namespace {

FolderInputs Inputs(const test::TempDir& dir) {
    FolderInputs in;
    in.programDir = dir / "bin";
    in.userDataBase = dir / "home/.local/share";
    in.commonDataDir = dir / "var/lib/Tollbeck/Quorvex";
    CreateDirectories(in.programDir);
    return in;
}

}  // namespace

TEST(FoldersTest, BothDataFoldersAreCreatedWithTrailingSlashes) {
    test::TempDir dir;
    const Folders f = ResolveFolders(Inputs(dir));
    EXPECT_EQ(f.programDir, dir / "bin/");
    EXPECT_EQ(f.userDataDir, dir / "home/.local/share/Tollbeck/Quorvex/");
    EXPECT_EQ(f.commonDataDir, dir / "var/lib/Tollbeck/Quorvex/");
    EXPECT_TRUE(DirectoryExists(f.userDataDir));
    EXPECT_TRUE(DirectoryExists(f.commonDataDir));
    // The player's folders are private: they hold the e-mail address and
    // the log-in key.
    for (const std::string& folder : {f.userDataDir, dir / "home/.local/share/Tollbeck"}) {
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
}

TEST(FoldersTest, CommonFolderThatRefusesTheTestFileFallsBackToTheProgramFolder) {
    // Tests run as root, so a plain file stands where the folder should be.
    test::TempDir dir;
    FolderInputs in = Inputs(dir);
    dir.Write("var/lib/Tollbeck", "not a folder");
    const Folders f = ResolveFolders(in);
    EXPECT_EQ(f.commonDataDir, f.programDir);
    EXPECT_EQ(f.userDataDir, dir / "home/.local/share/Tollbeck/Quorvex/");
}

TEST(FoldersTest, UserFolderFallsBackWhenItCannotBeMadeOrIsUnknown) {
    test::TempDir dir;
    FolderInputs in = Inputs(dir);
    dir.Write("home/.local/share", "file");
    EXPECT_EQ(ResolveFolders(in).userDataDir, in.programDir + "/");
    in.userDataBase.clear();
    EXPECT_EQ(ResolveFolders(in).userDataDir, in.programDir + "/");
}

TEST(FoldersTest, TestFileProbeLeavesNothingBehind) {
    test::TempDir dir;
    EXPECT_TRUE(AcceptsTestFile(dir.Path()));
    EXPECT_FALSE(AcceptsTestFile(dir / "missing"));
    int entries = 0;
    for (const char* name : {"test.txt"}) entries += FileExists(dir / name);
    EXPECT_EQ(entries, 0);
}

TEST(FoldersTest, EnvironmentChoosesXdgDataHomeThenHomeAndTheCommonOverride) {
    const char* savedData = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const char* savedCommon = std::getenv("QUORVEX_COMMON_DATA");
    const std::string keepData = savedData ? savedData : "", keepHome = savedHome ? savedHome : "",
                      keepCommon = savedCommon ? savedCommon : "";

    ::setenv("XDG_DATA_HOME", "/xdg/data", 1);
    ::setenv("HOME", "/home/player", 1);
    ::setenv("QUORVEX_COMMON_DATA", "/srv/quorvex", 1);
    FolderInputs in = FolderInputsFromEnvironment();
    EXPECT_EQ(in.userDataBase, "/xdg/data");
    EXPECT_EQ(in.commonDataDir, "/srv/quorvex");
    EXPECT_EQ(in.programDir.back(), '/');

    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("QUORVEX_COMMON_DATA");
    in = FolderInputsFromEnvironment();
    EXPECT_EQ(in.userDataBase, "/home/player/.local/share");
    EXPECT_EQ(in.commonDataDir, kDefaultCommonDataDir);

    auto restore = [](const char* name, const char* saved, const std::string& value) {
        if (saved) {
            ::setenv(name, value.c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    };
    restore("XDG_DATA_HOME", savedData, keepData);
    restore("HOME", savedHome, keepHome);
    restore("QUORVEX_COMMON_DATA", savedCommon, keepCommon);
}

}  // namespace qv::sys
