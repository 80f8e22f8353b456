#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/system/Files.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace qv::sys {

namespace {
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

TEST(FilesTest, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir / "env.dat";
    ASSERT_TRUE(WriteFileAtomic(path, "first"));
    ASSERT_TRUE(WriteFileAtomic(path, std::string("sec\0nd", 6)));
    EXPECT_EQ(ReadFileText(path).value(), std::string("sec\0nd", 6));
    EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST(FilesTest, FailedAtomicWriteKeepsTheOldFileAndSaysWhy) {
    test::TempDir dir;
    const std::string path = dir / "env.dat";
    ASSERT_TRUE(WriteFileAtomic(path, "precious"));
    std::string error;
    {
        // The disk takes no more than 16 bytes of the new file.
        test::FileSizeLimit full(16);
        EXPECT_FALSE(WriteFileAtomic(path, std::string(100, 'x'), &error));
    }
    EXPECT_NE(error.find("Cannot write " + path), std::string::npos) << error;
    EXPECT_EQ(ReadFileText(path).value(), "precious");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"env.dat"});  // nothing left beside it
}

// What every reader of the layer gets from a hostile file, by folder rule.
TEST(FilesTest, HostileFilesAgainstTheReaders) {
    test::TempDir dir;
    dir.Write("plain", "12345");
    dir.Write("private", "secret");
    dir.Write("large", std::string(101, 'x'));
    dir.Write("unreadable", "kept");
    ASSERT_EQ(::symlink((dir / "private").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir / "device").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);  // no writer: a blocking open would hang
    ASSERT_TRUE(CreateDirectories(dir / "folder"));
    // Running as root, permissions stop nothing: the layer is told to fail
    // the read as a disk error would.
    InjectReadErrorForTesting(dir / "unreadable", EIO);
    struct Case {
        const char* name;
        LinkRule links;
        FileStatus expected;
        const char* why;  // in the error text
    } cases[] = {
        {"plain", LinkRule::Refuse, FileStatus::Ok, ""},
        {"missing", LinkRule::Refuse, FileStatus::Missing, "No such file"},
        {"link", LinkRule::Refuse, FileStatus::NotRegular, "a link"},
        {"link", LinkRule::Follow, FileStatus::Ok, ""},  // the program folder follows links
        {"dangling", LinkRule::Refuse, FileStatus::NotRegular, "a link"},
        {"dangling", LinkRule::Follow, FileStatus::Missing, "No such file"},
        {"device", LinkRule::Refuse, FileStatus::NotRegular, "a link"},
        {"device", LinkRule::Follow, FileStatus::NotRegular, "not a regular file"},
        {"fifo", LinkRule::Refuse, FileStatus::NotRegular, "not a regular file"},
        {"fifo", LinkRule::Follow, FileStatus::NotRegular, "not a regular file"},
        {"folder", LinkRule::Follow, FileStatus::NotRegular, "not a regular file"},
        {"large", LinkRule::Follow, FileStatus::TooLarge, "is too large (101 bytes, at most 100)"},
        {"unreadable", LinkRule::Follow, FileStatus::Failed, "Input/output error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.links == LinkRule::Follow ? " (links followed)" : " (links refused)"));
        std::string text = "before";
        std::vector<std::uint8_t> bytes;
        std::string error;
        EXPECT_EQ(ReadFile(dir / c.name, c.links, 100, text, &error), c.expected);
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        EXPECT_EQ(ReadFile(dir / c.name, c.links, 100, bytes), c.expected);
        if (c.expected == FileStatus::Ok) {
            EXPECT_FALSE(text.empty());
        } else {
            EXPECT_EQ(text, "before");  // nothing half-read is handed out
        }
        // The plain readers follow links and give nothing for the rest.
        if (c.links == LinkRule::Follow) {
            EXPECT_EQ(ReadFileText(dir / c.name, 100).has_value(), c.expected == FileStatus::Ok);
        }
    }
    InjectReadErrorForTesting(dir / "unreadable", 0);
    EXPECT_EQ(ReadFileText(dir / "unreadable").value(), "kept");
}

// A writer never writes through a link: not at the target, not at any name
// a temporary file might have had.
TEST(FilesTest, WritesReplaceLinksAndNeverFollowThem) {
    test::TempDir dir;
    const std::string victim = dir.Write("victim", "someone else's");
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "registry.ini").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "registry.ini.tmp").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (dir / ".registry.ini.tmp").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomic(dir / "registry.ini", "mine", nullptr, 0600));
    EXPECT_EQ(ReadFileText(victim).value(), "someone else's");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "registry.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFileText(dir / "registry.ini").value(), "mine");
    // A FIFO at the target is replaced too, without hanging.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_TRUE(WriteFileAtomic(dir / "fifo", "now a file"));
    EXPECT_EQ(ReadFileText(dir / "fifo").value(), "now a file");
    ASSERT_EQ(::stat((dir / "fifo").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(FolderEntries(dir.Path()),
              (std::vector<std::string>{".registry.ini.tmp", "fifo", "registry.ini", "registry.ini.tmp", "victim"}));
}

TEST(FilesTest, ACommittedReplacementIsTheOnlyTraceAndADiscardedOneLeavesNone) {
    test::TempDir dir;
    dir.Write("music.wav", "old");
    {
        TReplacementFile file(dir / "music.wav");
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write("half", 4));
        EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u);
    }  // not committed: gone, the old file kept
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"music.wav"});
    EXPECT_EQ(ReadFileText(dir / "music.wav").value(), "old");
    TReplacementFile file(dir / "music.wav");
    ASSERT_TRUE(file.Create());
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFileText(dir / "music.wav").value(), "new");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"music.wav"});
}

TEST(FilesTest, ReadsOfMissingFilesAndFoldersGiveNothing) {
    test::TempDir dir;
    EXPECT_FALSE(ReadFileText(dir / "missing").has_value());
    EXPECT_FALSE(ReadFileBytes(dir.Path()).has_value());
    EXPECT_TRUE(RemoveFile(dir / "missing"));
}

TEST(FilesTest, BoundedReadsRefuseLargerFilesAndSayWhy) {
    test::TempDir dir;
    dir.Write("five", "12345");
    std::string error;
    EXPECT_EQ(ReadFileText(dir / "five", 5, &error).value(), "12345");
    EXPECT_EQ(ReadFileBytes(dir / "five", 5, &error).value().size(), 5u);
    EXPECT_FALSE(ReadFileText(dir / "five", 4, &error).has_value());
    EXPECT_EQ(error, "File " + (dir / "five") + " is too large (5 bytes, at most 4)");
    EXPECT_FALSE(ReadFileBytes(dir / "missing", 100, &error).has_value());
    EXPECT_NE(error.find("Cannot open " + (dir / "missing")), std::string::npos) << error;
    EXPECT_FALSE(ReadFileBytes(dir.Path(), 100, &error).has_value());
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(ReadFileBytes(dir / "five", 4).has_value());  // no error wanted
}

TEST(FilesTest, InPlaceWritesOpenOnlyRegularFilesAndNeverThroughALink) {
    test::TempDir dir;
    const std::string victim = dir.Write("victim", "keep");
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_TRUE(CreateDirectories(dir / "folder"));
    dir.Write("plain", "old");
    struct Case {
        const char* name;
        bool create;
        bool opens;
    } cases[] = {
        {"link", false, false},   {"link", true, false},  {"fifo", false, false}, {"fifo", true, false},
        {"folder", false, false}, {"plain", false, true}, {"new", true, true},    {"missing", false, false},
    };
    for (const Case& c : cases) {
        const int fd = OpenInPlace(dir / c.name, true, c.create);
        EXPECT_EQ(fd >= 0, c.opens) << c.name << " " << c.create;
        if (fd >= 0) {
            EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << c.name;
            ::close(fd);
        }
    }
    EXPECT_EQ(ReadFileText(victim, 100).value_or(""), "keep");
    EXPECT_EQ(ReadFileText(dir / "plain", 100).value_or(""), "old");
    EXPECT_TRUE(FileExists(dir / "new"));
}

TEST(FilesTest, CreateDirectoriesMakesParentsAndFailsOverAFile) {
    test::TempDir dir;
    EXPECT_TRUE(CreateDirectories(dir / "a/b/c/"));
    EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
    EXPECT_TRUE(CreateDirectories(dir / "private/data", 0700));
    for (const char* made : {"private", "private/data"}) {
        struct stat st {};
        ASSERT_EQ(::stat((dir / made).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
    dir.Write("plain", "x");
    EXPECT_FALSE(CreateDirectories(dir / "plain/sub"));
    EXPECT_EQ(WithTrailingSlash("/x"), "/x/");
    EXPECT_EQ(WithTrailingSlash("/x/"), "/x/");
}

}  // namespace qv::sys
