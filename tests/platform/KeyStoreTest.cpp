#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/system/Files.h"
#include "platform/system/KeyStore.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

namespace qv::sys {

namespace {
bool MakeSocketAt(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, std::min(path.size(), sizeof addr.sun_path - 1));
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    if (fd >= 0) ::close(fd);
    return bound;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}
}  // namespace

TEST(KeyStoreTest, MissingFileKeyOrValueReadsAsNothing) {
    test::TempDir dir;
    TKeyStore store(dir / "registry.ini");
    EXPECT_FALSE(store.ReadString(kProgramKey, "Language"));
    dir.Write("registry.ini", "[Other]\nLanguage=DEU\n");
    EXPECT_FALSE(store.ReadString(kProgramKey, "Language"));
}

TEST(KeyStoreTest, WrittenValuesReadBackWithoutRegardToCase) {
    test::TempDir dir;
    TKeyStore store(dir / "registry.ini");
    ASSERT_TRUE(store.WriteString(kProgramKey, "Language", "FRA"));
    EXPECT_EQ(store.ReadString("hkey_local_machine\\software\\tollbeck\\quorvex", "LANGUAGE").value(), "FRA");
    EXPECT_EQ(ReadFileText(store.Path()).value(),
              "[HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex]\nLanguage=FRA\n");
}

TEST(KeyStoreTest, RewritingAValueKeepsEverythingElse) {
    test::TempDir dir;
    dir.Write("registry.ini",
              "; machine settings\r\n[First]\r\nA=1\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex]\r\n"
              "language = DEU\r\nOther=x\r\n\r\n[Last]\r\nB=2\r\n");
    TKeyStore store(dir / "registry.ini");
    EXPECT_EQ(store.ReadString(kProgramKey, "Language").value(), "DEU");
    ASSERT_TRUE(store.WriteString(kProgramKey, "Language", "ITA"));
    ASSERT_TRUE(store.WriteString(kProgramKey, "Added", "yes"));
    ASSERT_TRUE(store.WriteString("Last", "C", "3"));
    EXPECT_EQ(store.ReadString(kProgramKey, "Language").value(), "ITA");
    EXPECT_EQ(store.ReadString(kProgramKey, "Other").value(), "x");
    EXPECT_EQ(store.ReadString(kProgramKey, "Added").value(), "yes");
    EXPECT_EQ(store.ReadString("First", "A").value(), "1");
    EXPECT_EQ(store.ReadString("Last", "B").value(), "2");
    EXPECT_EQ(store.ReadString("Last", "C").value(), "3");
    EXPECT_EQ(ReadFileText(store.Path()).value().rfind("; machine settings", 0), 0u);
}

TEST(KeyStoreTest, ValuesThatWouldBreakTheFileAreRefused) {
    test::TempDir dir;
    TKeyStore store(dir / "registry.ini");
    EXPECT_FALSE(store.WriteString(kProgramKey, "Language", "ENU\n[Evil]"));
    EXPECT_FALSE(store.WriteString(kProgramKey, "a=b", "x"));
    EXPECT_FALSE(FileExists(store.Path()));
}

TEST(KeyStoreTest, WriteIntoAMissingFolderFails) {
    test::TempDir dir;
    EXPECT_FALSE(TKeyStore(dir / "none/registry.ini").WriteString(kProgramKey, "Language", "ENU"));
}

// The key store lies in the machine-wide folder, where another local user
// may plant files. What it does with each.
TEST(KeyStoreTest, HostileFilesInTheMachineWideFolder) {
    using State = TKeyStoreCheck::State;
    const std::string valid = "[HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex]\nLanguage=DEU\n";
    struct Case {
        const char* name;
        State state;
        bool written;  // a value can be set (the file is then a plain file of ours)
    } cases[] = {
        {"link", State::Absent, true},        // to a private file: never read, never written through
        {"fifo", State::Absent, true},        // no hang; replaced by the write
        {"folder", State::Absent, false},     // cannot be replaced by a file
        {"oversize", State::Untouched, false},
        {"unreadable", State::Untouched, false},
        {"tmp-link", State::Usable, true},    // a link at the old temporary name
        {"hardlink", State::NotUsed, false},  // to a private file: its lines never read nor copied
        {"socket", State::Absent, true},      // no file at all: replaced by the write
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = dir / "registry.ini";
        const std::string victim = dir.Write("victim", valid);
        std::string planted;
        if (std::string(c.name) == "link") {
            ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
        } else if (std::string(c.name) == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
        } else if (std::string(c.name) == "hardlink") {
            ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
            ASSERT_EQ(::link(victim.c_str(), path.c_str()), 0);
        } else if (std::string(c.name) == "socket") {
            ASSERT_TRUE(MakeSocketAt(path));
        } else if (std::string(c.name) == "folder") {
            ASSERT_TRUE(CreateDirectories(path));
        } else if (std::string(c.name) == "oversize") {
            planted = valid + std::string(kMaxKeyStoreSize, ';');
            dir.Write("registry.ini", planted);
        } else if (std::string(c.name) == "unreadable") {
            planted = valid;
            dir.Write("registry.ini", planted);
            InjectReadErrorForTesting(path, EACCES);
        } else {
            dir.Write("registry.ini", valid);
            ASSERT_EQ(::symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
        }
        TKeyStore store(path);
        const TKeyStoreCheck check = store.Check();
        EXPECT_EQ(check.state, c.state) << check.reason;
        if (c.state != State::Usable) {
            EXPECT_NE(check.reason.find(path), std::string::npos) << check.reason;
        }
        EXPECT_EQ(store.ReadString(kProgramKey, "Language").has_value(), c.state == State::Usable);
        EXPECT_EQ(store.WriteString(kProgramKey, "Language", "ITA"), c.written);
        if (c.written) {
            EXPECT_EQ(store.ReadString(kProgramKey, "Language").value(), "ITA");
        }
        EXPECT_EQ(ReadFileText(victim).value(), valid);  // whatever a link pointed at is untouched
        InjectReadErrorForTesting(path, 0);
        if (!planted.empty()) {
            // Left as it was, and not written later in this run either.
            EXPECT_EQ(ReadFileText(path).value(), planted);
            EXPECT_FALSE(store.WriteString(kProgramKey, "Language", "ITA"));
            EXPECT_EQ(store.Check().state, State::Untouched);
        }
    }
}

// Whose key store is used, and what a rewrite leaves: another user's file
// in a folder others can write is neither read nor written (the host list
// server and mail keys in it would be trusted otherwise); one with another
// owner elsewhere is read but never replaced; a rewrite keeps the old mode.
TEST(KeyStoreTest, OnlyTheUsersOwnStoreIsRewrittenAndNeverMoreOpenly) {
    using State = TKeyStoreCheck::State;
    const std::string planted = "[HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex]\nHostListServer=evil:8080\n";
    struct Case {
        const char* name;
        bool others;         // the file is another user's
        mode_t folderMode;   // of the machine-wide folder
        mode_t fileMode;     // 0: no file yet
        bool rootOnly;       // needs a real other owner (chown)
        State state;
        bool read;           // HostListServer comes from it
        bool written;
        mode_t after;        // the file's mode after the write
    } cases[] = {
        {"mine, private", false, 0755, 0600, false, State::Usable, true, true, 0600},
        {"mine, group may read", false, 0777, 0640, false, State::Usable, true, true, 0640},
        {"mine, all may read", false, 01777, 0644, false, State::Usable, true, true, 0644},
        {"mine, executable", false, 0755, 0755, false, State::Usable, true, true, 0644},
        {"none yet", false, 01777, 0, false, State::Usable, false, true, 0644},
        {"other's, folder all can write", true, 0777, 0644, false, State::NotUsed, false, false, 0644},
        {"other's, sticky folder", true, 01777, 0644, false, State::NotUsed, false, false, 0644},
        {"other's, folder none else can write", true, 0755, 0644, true, State::Usable, true, false, 0644},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.rootOnly && !test::RunningAsRoot()) continue;  // only root can give a file away
        test::OtherUserFiles others;  // a fresh start: inode numbers come back
        test::TempDir dir;
        const std::string folder = dir / "common";
        ASSERT_TRUE(CreateDirectories(folder));
        const std::string path = folder + "/registry.ini";
        if (c.fileMode != 0) {
            dir.Write("common/registry.ini", planted);
            ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
            if (c.others) {
                ASSERT_TRUE(test::OtherUserFiles::Give(path));
            }
        }
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const TKeyStore store(path);
        const TKeyStoreCheck check = store.Check();
        EXPECT_EQ(check.state, c.state) << check.reason;
        EXPECT_EQ(store.ReadString(kProgramKey, "HostListServer").has_value(), c.read);
        EXPECT_EQ(store.WriteString(kProgramKey, "Language", "ITA"), c.written);
        if (c.written) {
            EXPECT_EQ(store.ReadString(kProgramKey, "Language").value(), "ITA");
            EXPECT_EQ(ModeOf(path), c.after);
        } else {
            EXPECT_EQ(ReadFileText(path).value(), planted);
        }
        ::chmod(folder.c_str(), 0700);
    }
}

}  // namespace qv::sys
