#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>

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

// A stand-in opener on PATH records its arguments: the address reaches it as
// one argument, untouched by any shell.
TEST(InternetTest, OpenerGetsTheAddressAsOneArgument) {
    test::TempDir dir;
    const std::string out = dir / "args";
    dir.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" + out + "'\nexit 0\n");
    ASSERT_EQ(::chmod((dir / "bin/xdg-open").c_str(), 0755), 0);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", (dir / "bin").c_str(), 1);
    const std::string url = "http://127.0.0.1/a?b=1&c=$(touch%20x);d";
    const bool opened = ShellOpenUrl(url);
    const bool refused = !ShellOpenUrl("file:///etc/passwd");
    dir.Write("bin/xdg-open", "#!/bin/sh\nexit 3\n");
    ::chmod((dir / "bin/xdg-open").c_str(), 0755);
    const bool failed = !ShellOpenUrl(url);
    ::setenv("PATH", (dir / "none").c_str(), 1);
    const bool missing = !ShellOpenUrl(url);
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_TRUE(opened);
    EXPECT_EQ(ReadFileText(out).value_or(""), "1\n" + url + "\n");
    EXPECT_TRUE(refused);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(missing);
}

}  // namespace
}  // namespace qv::sys
