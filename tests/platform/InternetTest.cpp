#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/Files.h"
#include "platform/system/Internet.h"
#include "tests/support/TempDir.h"

namespace qv::sys {
namespace {

const char* kRouteHead = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(InternetTest, ConnectedOnlyWithAnUpDefaultRoute) {
    test::TempDir dir;
    const std::string none = dir / "none";
    struct Case {
        const char* name;
        std::string v4;
        bool connected;
    } cases[] = {
        {"default route up", std::string(kRouteHead) + "eth0\t00000000\t0100A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", true},
        {"only a local net", std::string(kRouteHead) + "eth0\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n", false},
        {"default route down", std::string(kRouteHead) + "eth0\t00000000\t0100A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n", false},
        {"only the header", kRouteHead, false},
    };
    for (const Case& c : cases) {
        const std::string v4 = dir.Write("route", c.v4);
        const std::string v6 = dir.Write("route6", "");
        EXPECT_EQ(InternetGetConnectedState(v4, v6), c.connected) << c.name;
    }
    // An IPv6 default route alone is a way out.
    const std::string v4 = dir.Write("route", kRouteHead);
    const std::string v6 = dir.Write(
        "route6", "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                  "fe800000000000000000000000000001 00000400 00000001 00000000 00000003 eth0\n");
    EXPECT_TRUE(InternetGetConnectedState(v4, v6));
    // Unreadable tables never lock the player out.
    EXPECT_TRUE(InternetGetConnectedState(none, none + "6"));
    EXPECT_TRUE(InternetAutodial());
}

TEST(InternetTest, ARouteTableThatIsNoFileIsUnreadable) {
    // A FIFO planted where the table is read never blocks the check.
    test::TempDir dir;
    const std::string fifo = dir / "route";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto check = std::async(std::launch::async, [&] { return InternetGetConnectedState(fifo, dir / "none6"); });
    const bool ended = check.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    if (!ended) {
        // Frees the blocked reader so that the test ends.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    ASSERT_TRUE(ended) << "the check waited on the FIFO";
    EXPECT_TRUE(check.get());
    // Tables beyond any kernel's are no tables either: unread, as missing ones.
    const std::string huge = dir.Write("huge", std::string(kRouteHead) + std::string(2u << 20, ' '));
    EXPECT_TRUE(InternetGetConnectedState(huge, huge));
}

TEST(InternetTest, OnlyWebAddressesCountAsUrls) {
    struct Case {
        const char* url;
        bool web;
    } cases[] = {
        {"http://127.0.0.1:8080/qvx3/", true},   {"HTTPS://example.org", true},
        {"file:///etc/passwd", false},           {"javascript:alert(1)", false},
        {"http://", false},                      {"http:///path", false},
        {"http://a b", false},                   {"http://a\nb", false},
        {"-http://x", false},                    {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsWebUrl(c.url), c.web) << c.url;
}

// The ends of openers as their waiting threads report them.
class TEnds {
public:
    TOpenerEnded Callback() {
        return [this](bool succeeded) {
            std::lock_guard lock(m_);
            ends_.push_back(succeeded);
            cv_.notify_all();
        };
    }
    // The first `count` ends, waited for at most two minutes (a busy machine).
    std::vector<bool> WaitFor(std::size_t count) {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, std::chrono::minutes(2), [&] { return ends_.size() >= count; });
        return ends_;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<bool> ends_;
};

// PATH with `dir`/bin first for the lifetime of the object.
class TPathFirst {
public:
    explicit TPathFirst(const std::string& bin) {
        const char* old = std::getenv("PATH");
        saved_ = old ? old : "";
        ::setenv("PATH", bin.c_str(), 1);
    }
    ~TPathFirst() { ::setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

void WriteOpener(const test::TempDir& dir, const std::string& script) {
    dir.Write("bin/xdg-open", "#!/bin/sh\n" + script);
    ASSERT_EQ(::chmod((dir / "bin/xdg-open").c_str(), 0755), 0);
}

// A process that is gone, not left a zombie: nothing of it in /proc.
bool Reaped(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::access(("/proc/" + std::to_string(pid)).c_str(), F_OK) != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A stand-in opener on PATH records its arguments: the address reaches it as
// one argument, untouched by any shell. Its exit status comes back once it
// has ended.
TEST(InternetTest, OpenerGetsTheAddressAsOneArgument) {
    test::TempDir dir;
    const std::string out = dir / "args";
    WriteOpener(dir, "printf '%s\\n' \"$#\" \"$1\" > '" + out + "'\nexit 0\n");
    const std::string url = "http://127.0.0.1/a?b=1&c=$(touch%20x);d";
    TEnds ends;
    bool opened = false, refused = false, failedStarted = false, missing = false;
    {
        TPathFirst path(dir / "bin");
        opened = ShellOpenUrl(url, ends.Callback());
        ASSERT_EQ(ends.WaitFor(1), std::vector<bool>{true});
        refused = !ShellOpenUrl("file:///etc/passwd", ends.Callback());
        WriteOpener(dir, "exit 3\n");
        failedStarted = ShellOpenUrl(url, ends.Callback());
        ::setenv("PATH", (dir / "none").c_str(), 1);
        missing = !ShellOpenUrl(url, ends.Callback());
    }
    EXPECT_TRUE(opened);
    EXPECT_EQ(ReadFileText(out).value_or(""), "1\n" + url + "\n");
    EXPECT_TRUE(refused);
    // A failing opener started, and its end tells the failure.
    EXPECT_TRUE(failedStarted);
    EXPECT_EQ(ends.WaitFor(2), (std::vector<bool>{true, false}));
    EXPECT_TRUE(missing);
}

// An opener that keeps the browser in the foreground for 20 s: the call
// returns at once, and once the opener ends its waiting thread reaps it.
TEST(InternetTest, ASlowOpenerNeverHoldsTheCaller) {
    test::TempDir dir;
    const std::string pidFile = dir / "pid";
    WriteOpener(dir, "echo $$ > '" + pidFile + ".new'\n/bin/mv '" + pidFile + ".new' '" + pidFile + "'\nexec /bin/sleep 20\n");
    TEnds ends;
    std::chrono::steady_clock::duration took{};
    bool started = false;
    {
        TPathFirst path(dir / "bin");
        const auto before = std::chrono::steady_clock::now();
        started = StartDesktopOpener("file:///some/page.htm", ends.Callback());
        took = std::chrono::steady_clock::now() - before;
    }
    ASSERT_TRUE(started);
    EXPECT_LT(took, std::chrono::seconds(10));  // the opener itself stays 20 s
    std::optional<std::string> pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!(pid = ReadFileText(pidFile)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(pid);
    const pid_t child = static_cast<pid_t>(std::stol(*pid));
    EXPECT_TRUE(ends.WaitFor(0).empty());  // still running
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    EXPECT_EQ(ends.WaitFor(1), std::vector<bool>{false});
    EXPECT_TRUE(Reaped(child));
}

// A quick opener leaves no zombie behind, with or without a caller waiting
// for its end.
TEST(InternetTest, AnOpenerThatEndsIsReaped) {
    test::TempDir dir;
    const std::string pidFile = dir / "pid";
    WriteOpener(dir, "echo $$ > '" + pidFile + ".new'\n/bin/mv '" + pidFile + ".new' '" + pidFile + "'\nexit 0\n");
    {
        TPathFirst path(dir / "bin");
        ASSERT_TRUE(ShellOpenUrl("http://127.0.0.1/page"));
    }
    std::optional<std::string> pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!(pid = ReadFileText(pidFile)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(pid);
    EXPECT_TRUE(Reaped(static_cast<pid_t>(std::stol(*pid))));
}

}  // namespace
}  // namespace qv::sys
