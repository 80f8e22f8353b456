// The scenario installer as it is started: a copy of the real program in a
// folder of its own, the common data folder and the runtime folder in a
// temporary folder, and a listener standing in for a running game.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/CommonDataFolder.h"
#include "platform/system/Files.h"
#include "platform/system/InstanceMessage.h"
#include "tests/support/OtherUser.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

// A listener at the game's socket. It takes connections until stopped and
// notes each record, with the target file's contents at the moment the
// record arrived.
class FakeGame {
public:
    FakeGame(const std::string& socketPath, std::string watched, bool answer)
        : watched_(std::move(watched)), answer_(answer) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        ::unlink(socketPath.c_str());
        ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::listen(fd_, 4) == 0;
        if (ok_ && answer_) thread_ = std::thread([this] { Serve(); });
    }
    ~FakeGame() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    bool Ok() const { return ok_; }

    struct Received {
        sys::TInstanceMessage message;
        std::optional<std::string> targetThen;
    };
    // Stops taking connections and returns what came.
    std::vector<Received> Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return received_;
    }

private:
    void Serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::vector<std::uint8_t> bytes;
            Received r;
            std::size_t used = 0;
            std::uint8_t chunk[64];
            for (;;) {
                const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
                if (n <= 0) break;
                bytes.insert(bytes.end(), chunk, chunk + n);
                if (sys::ParseInstanceMessage(bytes.data(), bytes.size(), r.message, used) !=
                    sys::TInstanceParse::Incomplete)
                    break;
            }
            r.targetThen = sys::ReadFileText(watched_);
            received_.push_back(r);
            const std::uint8_t ack = sys::kInstanceMessageAck;
            ::send(client, &ack, 1, MSG_NOSIGNAL);
            ::close(client);
        }
    }

    std::string watched_;
    bool answer_;
    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<Received> received_;
};

class VantryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto program = sys::ReadFileText(test::BinaryDir() + "vantry");
        ASSERT_TRUE(program);
        dir_.Write("bin/vantry", *program);
        ASSERT_EQ(::chmod(Vantry().c_str(), 0755), 0);
        ASSERT_TRUE(sys::CreateDirectories(dir_ / "common"));
        ASSERT_TRUE(sys::CreateDirectories(dir_ / "run", 0700));
        dir_.Write("bin/scenario3.c3p", "package three");
    }
    std::string Vantry() const { return dir_ / "bin/vantry"; }
    test::ProcessResult Run(std::vector<std::string> args, const std::string& common = "common") const {
        args.insert(args.begin(), Vantry());
        return test::RunProcess(args, {"QUORVEX_COMMON_DATA=" + dir_ / common, "XDG_RUNTIME_DIR=" + dir_ / "run"});
    }
    std::string Socket() const { return dir_ / "run/Quorvex.sock"; }

    test::TempDir dir_;
};

}  // namespace

TEST_F(VantryTest, ExitCodes) {
    dir_.Write("outside.c3p", "outside");
    struct Case {
        std::vector<std::string> args;
        const char* common;
        int code;
        const char* installed;  // the file expected in the common folder afterwards, if any
    } cases[] = {
        {{}, "common", 4, nullptr},
        {{"scenario4.c3p"}, "common", 3, nullptr},               // not next to the installer
        {{"scenario3.c3p"}, "missing", 3, nullptr},              // the game never ran: no folder
        {{"scenario3.c3p"}, "common", 0, "scenario3.c3p"},       // no game running
        {{"scenario3.c3p", "more", "args"}, "common", 0, "scenario3.c3p"},
        // A name with a folder part is refused, even when it would resolve.
        {{"../outside.c3p"}, "common", 3, nullptr},
        {{"../bin/scenario3.c3p"}, "common", 3, nullptr},
        {{"."}, "common", 3, nullptr},
        {{".."}, "common", 3, nullptr},
        {{""}, "common", 3, nullptr},
        {{"bin"}, "common", 3, nullptr},  // not a plain file
    };
    dir_.Write("bin/bin/x", "");
    for (const Case& c : cases) {
        std::string label;
        for (const auto& a : c.args) label += "[" + a + "]";
        SCOPED_TRACE(label + " into " + c.common);
        sys::RemoveFile(dir_ / "common/scenario3.c3p");
        const auto r = Run(c.args, c.common);
        EXPECT_EQ(r.exitCode, c.code) << r.err;
        if (c.installed) {
            EXPECT_EQ(sys::ReadFileText(dir_ / "common/" + c.installed), "package three");
        }
        EXPECT_EQ(sys::ReadFileText(dir_ / "outside.c3p"), "outside");
        EXPECT_FALSE(sys::FileExists(dir_ / "common/scenario3.c3p") && !c.installed);
        EXPECT_FALSE(sys::DirectoryExists(dir_ / "missing"));
    }
    // Nothing but the packages is left in the common folder (no temporary files).
    ::unlink((dir_ / "common/scenario3.c3p").c_str());
    EXPECT_EQ(::rmdir((dir_ / "common").c_str()), 0);
}

TEST_F(VantryTest, APackageOfTheSameNameIsReplaced) {
    dir_.Write("common/scenario3.c3p", "an older and longer package three");
    const auto r = Run({"scenario3.c3p"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(sys::ReadFileText(dir_ / "common/scenario3.c3p"), "package three");
}

TEST_F(VantryTest, ARunningGameGetsOneMessageOnceTheFileIsComplete) {
    FakeGame game(Socket(), dir_ / "common/scenario3.c3p", true);
    ASSERT_TRUE(game.Ok());
    const auto r = Run({"scenario3.c3p"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto received = game.Stop();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message.dwData, sys::kScenarioInstalledMessage);
    EXPECT_TRUE(received[0].message.Data.empty());
    EXPECT_EQ(received[0].targetThen, "package three");
}

TEST_F(VantryTest, NoMessageWhenTheCopyFailed) {
    FakeGame game(Socket(), dir_ / "common/scenario4.c3p", true);
    ASSERT_TRUE(game.Ok());
    EXPECT_EQ(Run({"scenario4.c3p"}).exitCode, 3);
    EXPECT_TRUE(game.Stop().empty());
}

TEST_F(VantryTest, ACommonFolderTheGameCannotUseMeansTheProgramFolder) {
    // As for the game: a plain file where the folder should be sends the
    // game to its own folder, where the package already lies.
    dir_.Write("blocked", "not a folder");
    dir_.Write("bin/quorvex.dat", "the game's pack");
    FakeGame game(Socket(), dir_ / "bin/scenario3.c3p", true);
    ASSERT_TRUE(game.Ok());
    EXPECT_EQ(Run({"scenario3.c3p"}, "blocked/Tollbeck/Quorvex").exitCode, 0);
    EXPECT_EQ(game.Stop().size(), 1u);
    EXPECT_EQ(Run({"scenario4.c3p"}, "blocked/Tollbeck/Quorvex").exitCode, 3);
}

TEST_F(VantryTest, AGameThatNeverAnswersDoesNotHoldTheInstallerForever) {
    FakeGame game(Socket(), dir_ / "common/scenario3.c3p", false);  // listens, never accepts
    ASSERT_TRUE(game.Ok());
    const auto start = std::chrono::steady_clock::now();
    const auto r = Run({"scenario3.c3p"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(sys::ReadFileText(dir_ / "common/scenario3.c3p"), "package three");
    EXPECT_LT(took, std::chrono::minutes(2));  // it waits 5 s for an answer; a hang would be for ever
}

// Sources and folders a hostile local user could arrange: each is refused
// with exit 3 and a line on stderr, and nothing lands in the common folder.
TEST_F(VantryTest, HostileSourcesAndUnusableFoldersAreRefused) {
    const std::string secret = dir_.Write("private/secret", "private data");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(secret.c_str(), (dir_ / "bin/scenario5.c3p").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir_ / "bin/scenario6.c3p").c_str(), 0644), 0);  // no writer: an open would hang
    ASSERT_TRUE(sys::CreateDirectories(dir_ / "bin/scenario7.c3p"));
    // One byte more than the game loads, without taking the disk space.
    const std::string large = dir_.Write("bin/scenario8.c3p", "");
    ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(sys::kMaxScenarioPackageSize + 1)), 0);
    dir_.Write("blocked", "not a folder");
    struct Case {
        const char* name;
        const char* common;
        const char* said;  // on stderr
    } cases[] = {
        {"scenario5.c3p", "common", "a link"},
        {"scenario6.c3p", "common", "not a regular file"},
        {"scenario7.c3p", "common", "not a regular file"},
        {"scenario8.c3p", "common", "too large"},
        {"scenario4.c3p", "common", "No such file"},
        {"../outside.c3p", "common", "not a plain file name"},
        {"scenario3.c3p", "missing", "does not exist yet"},
        // The common folder unusable and no game beside the installer:
        // the package would lie where no game reads it.
        {"scenario3.c3p", "blocked/Tollbeck/Quorvex", "does not lie beside"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " into " + c.common);
        const auto r = Run({c.name}, c.common);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_NE(r.err.find("vantry: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(::rmdir((dir_ / "common").c_str()), 0) << "something was left in the common folder";
        ASSERT_TRUE(sys::CreateDirectories(dir_ / "common"));
    }
    EXPECT_EQ(sys::ReadFileText(secret), "private data");
}

TEST_F(VantryTest, TheCopyIsNoMoreReadableThanTheSource) {
    for (const mode_t mode : {0644u, 0600u, 0640u}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod((dir_ / "bin/scenario3.c3p").c_str(), mode), 0);
        EXPECT_EQ(Run({"scenario3.c3p"}).exitCode, 0);
        struct stat st {};
        ASSERT_EQ(::stat((dir_ / "common/scenario3.c3p").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode);
    }
}

// A package past the file size limit of the installer's process: the copy
// fails with 3 and leaves nothing, the signal does not end the installer.
TEST_F(VantryTest, AFileSizeLimitFailsTheCopyWithoutASignal) {
    dir_.Write("bin/scenario3.c3p", std::string(100 * 1024, 'p'));
    dir_.Write("common/scenario3.c3p", "the old package");
    test::ProcessResult r;
    {
        // The installer inherits the limit, and the signal's default action
        // from this process; nothing here writes a file meanwhile.
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limit = saved;
        limit.rlim_cur = 16 * 1024;
        const auto previous = ::signal(SIGXFSZ, SIG_DFL);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        r = Run({"scenario3.c3p"});
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previous);
    }
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(sys::ReadFileText(dir_ / "common/scenario3.c3p"), "the old package");
    ::unlink((dir_ / "common/scenario3.c3p").c_str());
    EXPECT_EQ(::rmdir((dir_ / "common").c_str()), 0);  // no temporary left beside it
}

// What earlier installs killed mid-copy left in the common folder goes at
// the next install: only the installer's own names, only this user's files.
TEST_F(VantryTest, StaleTemporariesInTheCommonFolderAreRemovedAtInstall) {
    struct Case {
        const char* name;
        bool removed;
    } cases[] = {
        {".scenario3.c3p.Ab3xZ9", true},
        {".scenario7.c3p.000000", true},
        {".registry.ini.k2LmQ0", true},
        {".scenario3.c3p.tmp", false},
        {"scenario5.c3p", false},
        {".scenario5.c3p.other1", false},  // another user's (root only)
    };
    for (const Case& c : cases) dir_.Write(std::string("common/") + c.name, "left");
    const bool root = test::RunningAsRoot();
    if (root) {
        ASSERT_EQ(::chown((dir_ / "common/.scenario5.c3p.other1").c_str(), test::kOtherUid, static_cast<gid_t>(-1)), 0);
    }
    const auto r = Run({"scenario3.c3p"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const Case& c : cases) {
        const bool removed = c.removed || (!root && std::string(c.name) == ".scenario5.c3p.other1");
        EXPECT_EQ(sys::FileExists(dir_ / "common/" + c.name), !removed) << c.name;
    }
    EXPECT_EQ(sys::ReadFileText(dir_ / "common/scenario3.c3p"), "package three");
}

}  // namespace qv
