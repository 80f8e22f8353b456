// The quorvex program as a player starts it: folders, log run, uninstall and
// the single instance, each in a real process with its own folders. The
// program shows its main window (Qt's offscreen platform); with "ip" it runs
// one game window at once (SDL's offscreen video, dummy audio). Once the
// main window is set up, or the game is on its loading screen, or a message
// box waits, the test asks the program to quit, as a desktop would (SIGTERM).
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/qv3Global.h"
#include "frontend/online/qv3Inet.h"
#include "platform/system/Files.h"
#include "platform/system/Internet.h"
#include "platform/system/KeyStore.h"
#include "tests/online/HoldingServer.h"
#include "tests/online/LocalHttpServer.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

class ProgramTest : public ::testing::Test {
protected:
    std::vector<std::string> Env() const {
        return {"XDG_DATA_HOME=" + dir_ / "data", "QUORVEX_COMMON_DATA=" + dir_ / "common",
                "XDG_RUNTIME_DIR=" + dir_ / "run", "HOME=" + dir_ / "home"};
    }
    // `readyMarker`: the log line after which the program waits for the player.
    // `overrides` ("NAME=value") replace the test's own settings, e.g. the
    // video driver.
    // `alsoReady`, when given, must hold as well before the quit request.
    test::ProcessResult Run(std::vector<std::string> args = {},
                            const std::string& readyMarker = "Checkpoint: Initialized",
                            const std::vector<std::string>& overrides = {},
                            const std::function<bool()>& alsoReady = {}) const {
        args.insert(args.begin(), test::BinaryDir() + "quorvex");
        std::vector<std::string> added = Env();
        added.push_back("SDL_VIDEODRIVER=offscreen");
        added.push_back("SDL_AUDIODRIVER=dummy");
        added.push_back("QT_QPA_PLATFORM=offscreen");
        for (const std::string& o : overrides) {
            const std::string name = o.substr(0, o.find('=') + 1);
            std::erase_if(added, [&](const std::string& a) { return a.rfind(name, 0) == 0; });
            added.push_back(o);
        }
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('=') + 1);
            bool replaced = false;
            for (const std::string& a : added) replaced = replaced || a.rfind(name, 0) == 0;
            if (!replaced) env.push_back(entry);
        }
        env.insert(env.end(), added.begin(), added.end());
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        // The program waits for the player once this run logs the marker, or
        // once it has told of a second instance.
        const std::string err = dir_ / "stderr.txt";
        sys::RemoveFile(err);
        auto readyLines = [this, &readyMarker, &err] {
            const std::string log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
            std::size_t n = 0;
            for (auto at = log.find(readyMarker); at != std::string::npos; at = log.find(readyMarker, at + 1)) ++n;
            if (sys::ReadFileText(err).value_or("").find("Duplicated instance") != std::string::npos) n += 1000;
            return n;
        };
        const std::size_t readyBefore = readyLines();
        const std::string out = dir_ / "stdout.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        test::ProcessResult result;
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << args[0];
            return result;
        }

        // Wait for the program to end by itself, or for it to be ready; then
        // ask it once to quit and wait for it to end. A step that does not
        // come in time fails the test by name, and the program is killed.
        const auto deadline = test::kProcessStepDeadline;
        const std::string within = std::to_string(std::chrono::duration_cast<std::chrono::seconds>(deadline).count()) + " s";
        std::optional<int> ended;
        const auto startedAt = std::chrono::steady_clock::now();
        while (!(ended = test::WaitForEnd(pid, std::chrono::milliseconds(10)))) {
            if (readyLines() > readyBefore && (!alsoReady || alsoReady())) break;
            if (std::chrono::steady_clock::now() - startedAt > deadline) break;
        }
        quitToEndMs_ = -1;
        if (!ended && std::chrono::steady_clock::now() - startedAt > deadline) {
            ADD_FAILURE() << "the program was not ready (\"" << readyMarker << "\") within " << within;
            test::KillAndReap(pid);
        } else if (!ended) {
            const auto askedAt = std::chrono::steady_clock::now();
            kill(pid, SIGTERM);
            if (repeatQuit_) {
                while (!(ended = test::WaitForEnd(pid, std::chrono::milliseconds(1))) &&
                       std::chrono::steady_clock::now() - askedAt < deadline)
                    kill(pid, SIGTERM);
            } else {
                ended = test::WaitForEnd(pid, deadline);
            }
            if (ended) {
                quitToEndMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - askedAt).count();
            } else {
                ADD_FAILURE() << "the program did not end within " << within << " of the quit request";
                test::KillAndReap(pid);
            }
        }
        const int status = ended.value_or(W_EXITCODE(0, SIGKILL));
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = sys::ReadFileText(out).value_or("");
        result.err = sys::ReadFileText(err).value_or("");
        if (WIFSIGNALED(status)) result.err += "ended by signal " + std::to_string(WTERMSIG(status));
        return result;
    }
    std::string UserFile(const std::string& name) const { return dir_ / ("data/Tollbeck/Quorvex/" + name); }

    // The program goes online when the machine has a route out: its host
    // list then comes from a server of the test's own, which names itself
    // for every service and has no pages.
    void SetUp() override {
        sys::CreateDirectories(dir_ / "run", 0700);
        sys::CreateDirectories(dir_ / "common");
        server_ = std::make_unique<test::LocalHttpServer>([this](httplib::Server& s) {
            s.Get("/hosts/qvx3hosts.txt", [this](const httplib::Request&, httplib::Response& res) {
                const std::string h = "127.0.0.1:" + std::to_string(server_->Port());
                res.set_content("HighScoreHost=" + h + "\nChatHost=" + h + "\nInternalHost=" + h +
                                    "\nSupportURL=http://" + h + "/qvx3internal/\n",
                                "text/plain");
            });
        });
        sys::TKeyStore(dir_ / "common/registry.ini").WriteString(sys::kProgramKey, "HostListServer", server_->Host());
    }

    test::TempDir dir_;
    std::unique_ptr<test::LocalHttpServer> server_;
    // From the first quit request to the program's end, in the last Run.
    mutable long quitToEndMs_ = -1;
    // The quit request comes again every millisecond until the program has ended.
    bool repeatQuit_ = false;
};

}  // namespace

TEST_F(ProgramTest, ARunIsLoggedFromBeginToEnd) {
    auto r = Run({"ip"}, "Exiting: InitGame");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto log = sys::ReadFileText(UserFile("quorvex.log"));
    ASSERT_TRUE(log);
    EXPECT_EQ(log->rfind("<*** Begin ***>\r\n* Info: Quorvex ", 0), 0u) << *log;
    EXPECT_NE(log->find("* Info: Common data folder: " + dir_ / "common/\r\n"), std::string::npos) << *log;
    EXPECT_EQ(log->substr(log->size() - 15), "<*** End ***>\r\n");
    EXPECT_EQ(log->find("* Msg"), std::string::npos) << *log;
    EXPECT_EQ(log->find("* Error:"), std::string::npos) << *log;

    // It ran one game and saved the settings when the window had closed.
    EXPECT_NE(log->find("* Info: Creating game (0)"), std::string::npos) << *log;
    EXPECT_TRUE(sys::FileExists(UserFile("env.dat")));

    // The next run keeps this one and adds its own; without "ip" it waits in
    // the main window, starts no game and saves the settings when asked to end.
    ASSERT_TRUE(sys::RemoveFile(UserFile("env.dat")));
    r = Run();
    ASSERT_EQ(r.exitCode, 0);
    // The runtime folder is private, as the toolkit wants it.
    EXPECT_EQ(r.err.find("runtime directory"), std::string::npos) << r.err;
    EXPECT_TRUE(sys::FileExists(UserFile("env.dat")));
    log = sys::ReadFileText(UserFile("quorvex.log"));
    std::size_t begins = 0;
    for (auto at = log->find("<*** Begin ***>"); at != std::string::npos; at = log->find("<*** Begin ***>", at + 1)) {
        ++begins;
    }
    EXPECT_EQ(begins, 2u);
    EXPECT_EQ(log->find("Creating game", log->find("Creating game") + 1), std::string::npos) << *log;
    EXPECT_NE(log->find("* Checkpoint: Initialized"), std::string::npos) << *log;
}

TEST_F(ProgramTest, EveryRunDescribesTheProgramAndTheMachineInTheLog) {
    auto r = Run();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
    const std::size_t started = log.find("* Info: Started at :");
    const std::size_t initialized = log.find("Checkpoint: Initialized");
    ASSERT_NE(started, std::string::npos) << log;
    std::size_t at = started;
    // In this order, between the start and the end of the set-up.
    for (const char* line : {"* Info: Company Name:Tollbeck\r\n", "* Info: File Version:", "* Info: Product Name:Quorvex\r\n",
                             "* Info: Product Version:", "* Info: Comments:", "* Info: Build Flags:",
                             "* Info: Retrieving system information...\r\n", "* Info: System Up Time: ", "CPU: ",
                             "* Info: Memory: ", "* Info: Memory Virtual: ", "* Info: Memory Load: ", "* Info: OS: ",
                             "* Info: DirectX: "}) {
        const std::size_t next = log.find(line, at);
        ASSERT_NE(next, std::string::npos) << line << "\n" << log;
        at = next;
    }
    EXPECT_LT(at, initialized);
    EXPECT_EQ(log.find("Retrieving system information failed"), std::string::npos) << log;
}

TEST_F(ProgramTest, IpInAnyCaseAndPositionPlaysAtOnce) {
    auto r = Run({"--other", "iP"}, "Exiting: InitGame");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto log = sys::ReadFileText(UserFile("quorvex.log"));
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("* Info: Creating game (0)"), std::string::npos) << *log;
    // The shared folder got the codec file from the program's resources.
    EXPECT_TRUE(sys::FileExists(dir_ / "common/l3codecx.acm"));
}

TEST_F(ProgramTest, UninstallRemovesTheDataFilesAndEndsAtOnce) {
    ASSERT_EQ(Run().exitCode, 0);
    ASSERT_TRUE(sys::WriteFileAtomic(UserFile("env.dat"), "settings"));
    ASSERT_TRUE(sys::WriteFileAtomic(UserFile("last3.gmp"), "replay"));
    ASSERT_TRUE(sys::WriteFileAtomic(dir_ / "common/scenario3.c3p", "package"));
    ASSERT_TRUE(sys::WriteFileAtomic(dir_ / "common/QVX3MenuMusic.wav", "music"));
    const auto logBefore = sys::ReadFileText(UserFile("quorvex.log"));

    auto r = Run({"-UNINSTALL"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& gone : {UserFile("env.dat"), UserFile("last3.gmp"), dir_ / "common/scenario3.c3p",
                                    dir_ / "common/QVX3MenuMusic.wav"}) {
        EXPECT_FALSE(sys::FileExists(gone)) << gone;
    }
    // It ends before the log is touched.
    EXPECT_EQ(sys::ReadFileText(UserFile("quorvex.log")), logBefore);
}

TEST_F(ProgramTest, ASecondInstanceIsRefused) {
    ASSERT_FALSE(IsAnotherInstanceRunning(dir_ / "run/"));  // this test process is the first instance
    auto r = Run();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Duplicated instance. Application will close."), std::string::npos) << r.err;
    ReleaseInstanceLock();
    EXPECT_EQ(Run().exitCode, 0);
}

TEST_F(ProgramTest, WithNoDisplayItSaysSoAndEnds) {
    // No driver asked for and no display to reach: SDL's headless drivers
    // must not stand in for a real one.
    const auto r = Run({}, "Checkpoint: Initialized", {"SDL_VIDEODRIVER=", "DISPLAY=", "WAYLAND_DISPLAY="});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("No display could be opened"), std::string::npos) << r.err;
    const auto log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
    EXPECT_NE(log.find("* Error: Start-up failed: No display could be opened"), std::string::npos) << log;
    EXPECT_EQ(log.find("Creating game"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 15), "<*** End ***>\r\n");
}

// Past the file size limit a save fails as on a full disk: the program goes
// on and ends as it would, the signal does not end it mid-save.
TEST_F(ProgramTest, AFileSizeLimitFailsTheSaveWithoutEndingTheProgram) {
    // The previous run, kept at start, is larger than the limit lets the new log be.
    const std::string old = "<*** Begin ***>\r\n" + std::string(200 * 1024, 'o') + "\r\n<*** End ***>\r\n";
    ASSERT_TRUE(sys::CreateDirectories(UserFile(""), 0700));
    ASSERT_TRUE(sys::WriteFileAtomic(UserFile("quorvex.log"), old, nullptr, 0600));
    test::ProcessResult r;
    {
        // The program inherits the limit and this process's default action
        // for the signal; nothing here writes a file meanwhile.
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limit = saved;
        limit.rlim_cur = 64 * 1024;
        const auto previous = ::signal(SIGXFSZ, SIG_DFL);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        r = Run({}, "Checkpoint: Initialized", {"SDL_VIDEODRIVER=", "DISPLAY=", "WAYLAND_DISPLAY="});
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previous);
    }
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("No display could be opened"), std::string::npos) << r.err;
    // The log could not be rewritten: the old one is whole, with nothing beside it.
    EXPECT_EQ(sys::ReadFileText(UserFile("quorvex.log")).value_or("").substr(0, old.size()), old);
    std::size_t entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(UserFile(""))) entries += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1u);
}

// In a machine-wide folder every user can write, a key store another user
// made is not used: its host list server never comes into play.
TEST_F(ProgramTest, AnotherUsersKeyStoreInASharedFolderIsNotUsed) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give the key store to another user";
    ASSERT_EQ(::chmod((dir_ / "common").c_str(), 01777), 0);
    ASSERT_EQ(::chown((dir_ / "common/registry.ini").c_str(), 4242, static_cast<gid_t>(-1)), 0);
    const auto planted = sys::ReadFileText(dir_ / "common/registry.ini");
    ASSERT_EQ(Run().exitCode, 0);
    const std::string log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
    EXPECT_NE(log.find("* Warning: Key store not used, running on the default values: "), std::string::npos) << log;
    EXPECT_NE(log.find("belongs to user 4242 in a folder others can write"), std::string::npos) << log;
    EXPECT_EQ(sys::ReadFileText(dir_ / "common/registry.ini"), planted);  // left as it was
}

TEST_F(ProgramTest, QuitRequestsUntilTheEndStillEndTheProgramAsAQuit) {
    // Ctrl+C pressed over and over, in the main window and in a game: every
    // request after the first changes nothing, the teardown included.
    repeatQuit_ = true;
    const struct {
        std::vector<std::string> args;
        const char* ready;
    } cases[] = {{{}, "Checkpoint: Initialized"}, {{"ip"}, "Exiting: InitGame"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ready);
        const auto r = Run(c.args, c.ready);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
        EXPECT_EQ(log.substr(log.size() - 15), "<*** End ***>\r\n") << log;
    }
}

TEST_F(ProgramTest, APackageInstalledWhileTheGameRunsIsOfferedAtOnce) {
    // Once the main window listens, the installer beside the program installs
    // the extra package the build made; the program quits once it offers it.
    int installed = -1;
    bool listened = false;
    std::thread installer([&] {
        const auto deadline = std::chrono::steady_clock::now() + test::kProcessStepDeadline;
        while (!listened && std::chrono::steady_clock::now() < deadline) {
            const std::string log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
            listened = log.find("Checkpoint: Initialized") != std::string::npos &&
                       ::access((dir_ / "run/Quorvex.sock").c_str(), F_OK) == 0;
            if (!listened) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (listened) installed = test::RunProcess({test::BinaryDir() + "vantry", "scenario2.c3p"}, Env()).exitCode;
    });
    const auto r = Run({}, "Scenario 2 offered");
    installer.join();
    EXPECT_TRUE(listened) << "the main window did not listen for other programs";
    EXPECT_EQ(installed, 0);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(sys::ReadFileText(dir_ / "common/scenario2.c3p"), sys::ReadFileText(test::BinaryDir() + "scenario2.c3p"));
    const std::string log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
    const std::string message = "* Info: Message 1 from another program";
    const auto first = log.find(message);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(message, first + 1), std::string::npos) << log;
    // The one rescan it caused found the whole package.
    EXPECT_NE(log.find("* Info: Scenario 2 offered", first), std::string::npos) << log;
    EXPECT_EQ(log.find("not offered"), std::string::npos) << log;
}

}  // namespace qv

namespace qv {
namespace {

TEST_F(ProgramTest, AQuitRequestEndsTheProgramWhileTheHostListHangs) {
    if (!sys::InternetGetConnectedState()) GTEST_SKIP() << "the program stays offline on this machine";
    // A first run: no hosts stored, and the list server holds its answer.
    test::HoldingServer hanging;
    sys::TKeyStore(dir_ / "common/registry.ini").WriteString(sys::kProgramKey, "HostListServer", hanging.Host());
    // The quit request comes once the download has been held a while (the
    // start page's browser is being made at the same tick).
    std::chrono::steady_clock::time_point heldSince{};
    auto r = Run({}, "Checkpoint: Initialized", {}, [&] {
        if (!hanging.WaitHolding(std::chrono::milliseconds(0))) return false;
        const auto now = std::chrono::steady_clock::now();
        if (heldSince == std::chrono::steady_clock::time_point{}) heldSince = now;
        return now - heldSince > std::chrono::milliseconds(1500);
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(hanging.WaitHolding(std::chrono::milliseconds(0))) << "the download never started";
    // Well before the download's own time-out, which a join on it would
    // wait for: generous for a sanitizer build on a busy machine.
    ASSERT_GE(quitToEndMs_, 0);
    EXPECT_LT(quitToEndMs_, TInetSettings{}.TotalTimeoutMs * 2 / 3);
    EXPECT_TRUE(hanging.WaitHeldClosed(std::chrono::seconds(1)));
    const std::string log = sys::ReadFileText(UserFile("quorvex.log")).value_or("");
    EXPECT_EQ(log.substr(log.size() - 15), "<*** End ***>\r\n") << log;
}

}  // namespace
}  // namespace qv
