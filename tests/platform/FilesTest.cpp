#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/system/Files.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/OtherUser.h"
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

// A socket bound at `path` (left there when the descriptor is closed).
bool MakeSocketAt(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return ::close(fd), false;
    path.copy(addr.sun_path, path.size());
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return bound;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
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
    ASSERT_TRUE(MakeSocketAt(dir / "socket"));
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
        {"socket", LinkRule::Refuse, FileStatus::NotRegular, "a socket"},  // absent, not unreadable
        {"socket", LinkRule::Follow, FileStatus::NotRegular, "a socket"},
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

// Where links are refused (the machine-wide folder) another user's file is
// used only in a folder no one else can write.
TEST(FilesTest, AnotherUsersFileIsUsedOnlyWhereNoOneElseCanWrite) {
    enum Whose { Mine, Others };
    struct Case {
        const char* name;
        mode_t folderMode;
        Whose folder;
        Whose file;
        FileStatus refused;  // what a read that refuses links gets
    } cases[] = {
        {"mine, private folder", 0700, Mine, Mine, FileStatus::Ok},
        {"mine, folder all can write", 0777, Mine, Mine, FileStatus::Ok},
        {"mine, sticky folder all can write", 01777, Mine, Mine, FileStatus::Ok},
        {"other's, private folder", 0700, Mine, Others, FileStatus::Ok},
        {"other's, folder all may read", 0755, Mine, Others, FileStatus::Ok},
        {"other's, folder all can write", 0777, Mine, Others, FileStatus::NotRegular},
        {"other's, sticky folder all can write", 01777, Mine, Others, FileStatus::NotRegular},
        {"other's, folder the group can write", 0770, Mine, Others, FileStatus::NotRegular},
        {"other's, in the other's folder", 0755, Others, Others, FileStatus::NotRegular},
        {"mine, in the other's folder", 0755, Others, Mine, FileStatus::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::OtherUserFiles others;  // a fresh start: inode numbers come back
        test::TempDir dir;
        const std::string folder = dir / "common";
        ASSERT_TRUE(CreateDirectories(folder));
        const std::string path = dir.Write("common/registry.ini", "planted");
        if (c.file == Others) {
            ASSERT_TRUE(test::OtherUserFiles::Give(path));
        }
        if (c.folder == Others) {
            ASSERT_TRUE(test::OtherUserFiles::Give(folder));
        }
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        std::string text, error;
        EXPECT_EQ(ReadFile(path, LinkRule::Refuse, 100, text, &error), c.refused) << error;
        EXPECT_EQ(InspectFile(path, LinkRule::Refuse), c.refused);
        if (c.refused != FileStatus::Ok) {
            EXPECT_NE(error.find("belongs to user"), std::string::npos) << error;
            EXPECT_NE(error.find("in a folder others can write"), std::string::npos) << error;
        }
        // The program folder and the player's own follow the file wherever it is.
        EXPECT_EQ(ReadFile(path, LinkRule::Follow, 100, text), FileStatus::Ok);
        EXPECT_EQ(InspectFile(path, LinkRule::Follow), FileStatus::Ok);
        ::chmod(folder.c_str(), 0700);
    }
}

// Appending (the log) goes where a read would, and nowhere else.
TEST(FilesTest, AppendsOnlyToARegularFileOfItsOwn) {
    test::TempDir dir;
    const std::string victim = dir.Write("victim", "private");
    ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::link(victim.c_str(), (dir / "hardlink").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);  // no reader: a blocking open would hang
    ASSERT_EQ(::symlink("/dev/null", (dir / "device").c_str()), 0);
    ASSERT_TRUE(MakeSocketAt(dir / "socket"));
    ASSERT_TRUE(CreateDirectories(dir / "folder"));
    dir.Write("plain", "a");
    struct Case {
        const char* name;
        LinkRule links;
        mode_t createMode;
        bool appended;
        const char* why;
    } cases[] = {
        {"plain", LinkRule::Refuse, 0, true, ""},
        {"missing", LinkRule::Refuse, 0, false, "No such file"},  // never made unless asked
        {"made", LinkRule::Refuse, 0600, true, ""},
        {"link", LinkRule::Refuse, 0600, false, "a link"},
        {"hardlink", LinkRule::Refuse, 0600, false, "more than one name"},
        {"fifo", LinkRule::Refuse, 0600, false, ""},
        {"fifo", LinkRule::Follow, 0, false, ""},
        {"device", LinkRule::Refuse, 0600, false, "a link"},
        {"device", LinkRule::Follow, 0, false, "not a regular file"},
        {"socket", LinkRule::Refuse, 0600, false, ""},
        {"folder", LinkRule::Refuse, 0600, false, ""},
        {"link", LinkRule::Follow, 0, true, ""},  // last: it appends to the victim
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.links == LinkRule::Follow ? " (links followed)" : " (links refused)"));
        std::string error;
        EXPECT_EQ(AppendToFile(dir / c.name, "+", c.links, c.createMode, &error), c.appended) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        if (!c.appended) {
            EXPECT_NE(error.find("Cannot append to " + (dir / c.name)), std::string::npos) << error;
        }
        if (std::string(c.name) != "link") {
            EXPECT_EQ(ReadFileText(victim).value(), "private");
        }
    }
    EXPECT_EQ(ReadFileText(dir / "plain").value(), "a+");
    EXPECT_EQ(ReadFileText(dir / "made").value(), "+");
    EXPECT_EQ(ModeOf(dir / "made"), 0600u);
    EXPECT_FALSE(FileExists(dir / "missing"));
    EXPECT_EQ(ReadFileText(victim).value(), "private+");  // only where links were followed
}

// What the clean-up at start removes of what a kill left behind.
TEST(FilesTest, StaleTemporariesOfThisUserAloneAreRemoved) {
    test::TempDir dir;
    const std::string victim = dir.Write("victim", "kept");
    struct Case {
        const char* name;
        const char* kind;  // file, link, hardlink, fifo, folder, other, live
        bool removed;
    } cases[] = {
        {".env.dat.Ab3xZ9", "file", true},
        {".scenario3.c3p.000000", "file", true},
        {".quorvex.log.zzzzzz", "file", true},
        {".env.dat.tmp", "file", false},         // not a writer's name
        {"env.dat.Ab3xZ9", "file", false},       // no leading dot
        {".env.dat.Ab3xZ", "file", false},       // five letters
        {".env.dat.Ab3-Z9", "file", false},      // not letters and digits
        {"..Ab3xZ9", "file", false},             // no name
        {"env.dat", "file", false},
        {".link.Ab3xZ9", "link", false},         // neither removed nor followed
        {".hard.Ab3xZ9", "hardlink", false},     // another name still holds it
        {".fifo.Ab3xZ9", "fifo", false},
        {".dir.Ab3xZ9", "folder", false},
        {".other.Ab3xZ9", "other", false},       // another user's
        {".live", "live", false},                // a writer is still at it
    };
    std::string livePath;
    TReplacementFile live(dir / "live.dat");
    for (const Case& c : cases) {
        const std::string kind = c.kind, path = dir / c.name;
        if (kind == "file" || kind == "other") dir.Write(c.name, "x");
        if (kind == "link") {
            ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
        }
        if (kind == "hardlink") {
            ASSERT_EQ(::link(victim.c_str(), path.c_str()), 0);
        }
        if (kind == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        }
        if (kind == "folder") {
            ASSERT_TRUE(CreateDirectories(path));
        }
        if (kind == "live") {
            ASSERT_TRUE(live.Create());
            livePath = live.TemporaryPath();
        }
    }
    const bool root = test::RunningAsRoot();
    if (root) {
        ASSERT_EQ(::chown((dir / ".other.Ab3xZ9").c_str(), test::kOtherUid, static_cast<gid_t>(-1)), 0);
    }
    int expected = 0;
    for (const Case& c : cases) expected += c.removed ? 1 : 0;
    EXPECT_EQ(RemoveStaleTemporaries(dir.Path()), root ? expected : expected + 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string(c.kind) == "live" ? livePath : dir / c.name;
        struct stat st {};
        // Not as root this user's "other" file is its own, and goes.
        const bool gone = c.removed || (!root && std::string(c.kind) == "other");
        EXPECT_EQ(::lstat(path.c_str(), &st) != 0, gone);
    }
    EXPECT_EQ(ReadFileText(victim).value(), "kept");
    // The live writer finishes as if nothing happened.
    ASSERT_TRUE(live.Write("done", 4));
    ASSERT_TRUE(live.Commit());
    EXPECT_EQ(ReadFileText(dir / "live.dat").value(), "done");
    EXPECT_EQ(RemoveStaleTemporaries(dir / "missing"), 0);
}

// What start-up does to what older builds left readable by others.
TEST(FilesTest, RestrictToOwnerTightensOnlyThisUsersOwnFilesAndFolders) {
    test::TempDir dir;
    const std::string victim = dir.Write("victim", "x");
    ASSERT_EQ(::chmod(victim.c_str(), 0644), 0);
    struct Case {
        const char* name;
        const char* kind;  // file, folder, link, hardlink, other
        mode_t before;
        bool changed;
        mode_t after;
    } cases[] = {
        {"env.dat", "file", 0644, true, 0600},
        {"last3.gmp", "file", 0664, true, 0600},
        {"quorvex.log", "file", 0600, false, 0600},
        {"script", "file", 0755, true, 0700},
        {"data", "folder", 0755, true, 0700},
        {"link", "link", 0644, false, 0644},      // the link's target keeps its mode
        {"hardlink", "hardlink", 0644, false, 0644},
        {"other", "other", 0644, false, 0644},    // another user's (root only)
        {"missing", "missing", 0, false, 0},
    };
    const bool root = test::RunningAsRoot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string kind = c.kind, path = dir / c.name;
        if (kind == "other" && !root) continue;
        if (kind == "file" || kind == "other") dir.Write(c.name, "x");
        if (kind == "folder") {
            ASSERT_TRUE(CreateDirectories(path));
        }
        if (kind == "link") {
            ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
        }
        if (kind == "hardlink") {
            ASSERT_EQ(::link(victim.c_str(), path.c_str()), 0);
        }
        if (kind != "link" && kind != "missing") {
            ASSERT_EQ(::chmod(path.c_str(), c.before), 0);
        }
        if (kind == "other") {
            ASSERT_EQ(::chown(path.c_str(), test::kOtherUid, static_cast<gid_t>(-1)), 0);
        }
        EXPECT_EQ(RestrictToOwner(path), c.changed);
        if (kind == "link" || kind == "hardlink") {
            EXPECT_EQ(ModeOf(victim), c.after);
        } else if (kind != "missing") {
            EXPECT_EQ(ModeOf(path), c.after);
        }
    }
}

// A write past the file size limit is a failed write, with the signal ignored
// as the programs ignore it.
TEST(FilesTest, AWritePastTheFileSizeLimitFailsWithoutEndingTheProcess) {
    test::TempDir dir;
    const std::string path = dir / "last3.gmp";
    ASSERT_TRUE(WriteFileAtomic(path, "old"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_DFL);
        IgnoreFileSizeSignal();
        rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool written = WriteFileAtomic(path, std::string(1000, 'x'), &error);
        ::_exit(!written && error.find("File too large") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileText(path).value(), "old");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"last3.gmp"});
}

}  // namespace qv::sys
