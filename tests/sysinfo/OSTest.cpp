#include <gtest/gtest.h>

#include "foundation/Exceptions.h"
#include "sysinfo/MSI_OS.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

TEST(KernelReleaseTest, FirstThreeNumbers) {
    const std::pair<const char*, TKernelVersion> cases[] = {
        {"6.1.0-18-amd64", {6, 1, 0}},
        {"5.15.153.1-microsoft-standard", {5, 15, 153}},
        {"6.8.12", {6, 8, 12}},
        {"4.19", {4, 19, 0}},
        {"3.70000.1", {3, 70000, 1}},
        {"2.6.131072", {2, 6, 0}},  // the build keeps its low 16 bits
        {"", {0, 0, 0}},
        {"rolling", {0, 0, 0}},
    };
    for (const auto& [text, want] : cases) {
        const TKernelVersion got = ParseKernelRelease(text);
        EXPECT_EQ(got.Major, want.Major) << text;
        EXPECT_EQ(got.Minor, want.Minor) << text;
        EXPECT_EQ(got.Build, want.Build) << text;
    }
}

TEST(TimeZoneRuleTest, PosixRulesAndTzifFooters) {
    TPosixZone zone;
    ASSERT_TRUE(ParsePosixZone("CET-1CEST,M3.5.0,M10.5.0/3", zone));
    EXPECT_EQ(zone.StandardName, "CET");
    EXPECT_EQ(zone.DaylightName, "CEST");
    EXPECT_EQ(zone.BiasMinutes, -60);
    ASSERT_TRUE(ParsePosixZone("EST5EDT,M3.2.0,M11.1.0", zone));
    EXPECT_EQ(zone.BiasMinutes, 300);
    ASSERT_TRUE(ParsePosixZone("<+0530>-5:30", zone));
    EXPECT_EQ(zone.StandardName, "+0530");
    EXPECT_EQ(zone.DaylightName, "");
    EXPECT_EQ(zone.BiasMinutes, -330);
    ASSERT_TRUE(ParsePosixZone("UTC0", zone));
    EXPECT_EQ(zone.BiasMinutes, 0);
    for (const char* bad : {"", "Europe/Berlin", ":Europe/Berlin", "CE-1", "CET", "CET-1C", "<CET-1", "CET-999"})
        EXPECT_FALSE(ParsePosixZone(bad, zone)) << bad;

    EXPECT_EQ(TzifFooter(std::string("TZif2\0\0data\n", 12) + "CET-1CEST,M3.5.0,M10.5.0/3\n"),
              "CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(TzifFooter("TZif\0data\nCET-1\n"), "");  // version 1 has no footer
    EXPECT_EQ(TzifFooter("TZif2data\nCET-1"), "");
    EXPECT_EQ(TzifFooter("XXXX2\nCET-1\n"), "");
}

void WriteZone(test::SysFixture& fx, const std::string& name, const std::string& rule) {
    fx.Write("/usr/share/zoneinfo/" + name, std::string("TZif2\0\0\0binary\n", 15) + rule + "\n");
}

TEST(TimeZoneTest, FromTzTimezoneFileOrLocaltimeLink) {
    test::SysFixture fx;
    WriteZone(fx, "Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3");
    WriteZone(fx, "America/New_York", "EST5EDT,M3.2.0,M11.1.0");
    TTimeZone zone;
    fx.Env["TZ"] = "Europe/Berlin";
    zone.GetInfo(fx.Source());
    EXPECT_EQ(zone.DisplayName, "Europe/Berlin");
    EXPECT_EQ(zone.Bias, -60);
    EXPECT_EQ(zone.StandardName, "CET");
    EXPECT_EQ(zone.DaylightName, "CEST");
    EXPECT_EQ(zone.StandardBias, 0);
    EXPECT_EQ(zone.DaylightBias, 0);
    EXPECT_EQ(zone.DaylightStart, 0);
    EXPECT_EQ(zone.StandardStart, 0);
    EXPECT_EQ(zone.MapID, "");

    fx.Env.erase("TZ");
    fx.Link("/etc/localtime", "/usr/share/zoneinfo/America/New_York");
    zone.GetInfo(fx.Source());
    EXPECT_EQ(zone.DisplayName, "America/New_York");
    EXPECT_EQ(zone.Bias, 300);

    fx.Write("/etc/timezone", "Europe/Berlin\n");
    zone.GetInfo(fx.Source());
    EXPECT_EQ(zone.DisplayName, "Europe/Berlin");

    // A rule in TZ itself: no zone name to show.
    fx.Env["TZ"] = "JST-9";
    TTimeZone ruled;
    ruled.GetInfo(fx.Source());
    EXPECT_EQ(ruled.DisplayName, "");
    EXPECT_EQ(ruled.Bias, -540);
    EXPECT_EQ(ruled.StandardName, "JST");

    // No zone anywhere: UTC; a zone with no file keeps its name.
    test::SysFixture empty;
    TTimeZone utc;
    utc.GetInfo(empty.Source());
    EXPECT_EQ(utc.DisplayName, "");
    EXPECT_EQ(utc.Bias, 0);
    EXPECT_EQ(utc.StandardName, "UTC");
    empty.Env["TZ"] = ":Mars/Olympus";
    utc.GetInfo(empty.Source());
    EXPECT_EQ(utc.DisplayName, "Mars/Olympus");
    EXPECT_EQ(utc.StandardName, "UTC");
}

TEST(TimeZoneTest, CopiedLocaltimeIsNamedByTheZoneFileItMatches) {
    test::SysFixture fx;
    WriteZone(fx, "America/New_York", "EST5EDT,M3.2.0,M11.1.0");
    WriteZone(fx, "posix/Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3");
    WriteZone(fx, "Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3");
    fx.Link("/usr/share/zoneinfo/Arctic/Longyearbyen", "../Europe/Berlin");
    fx.Write("/etc/localtime", std::string("TZif2\0\0\0binary\n", 15) + "CET-1CEST,M3.5.0,M10.5.0/3\n");
    TTimeZone zone;
    zone.GetInfo(fx.Source());
    EXPECT_EQ(zone.DisplayName, "Europe/Berlin");
    EXPECT_EQ(zone.Bias, -60);
    EXPECT_EQ(zone.StandardName, "CET");

    // A copy of no zone we have: its own rule, without a name.
    fx.Write("/etc/localtime", std::string("TZif2\0\0\0binary\n", 15) + "JST-9\n");
    TTimeZone unknown;
    unknown.GetInfo(fx.Source());
    EXPECT_EQ(unknown.DisplayName, "");
    EXPECT_EQ(unknown.Bias, -540);
    EXPECT_EQ(unknown.StandardName, "JST");
}

TEST(OperatingSystemTest, DesktopTree) {
    test::SysFixture fx;
    fx.BuildDesktop();
    fx.Write("/etc/debian_version", "12.5\n");
    fx.Write("/proc/sys/kernel/version", "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)\n");
    fx.Env["TMPDIR"] = "/var/tmp";
    fx.Env["BROWSER"] = "";
    WriteZone(fx, "Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3");
    fx.Env["TZ"] = "Europe/Berlin";
    fx.EnvBlock = {"HOME=/home/player", "LANG=de_DE.UTF-8"};
    TOperatingSystem os(fx.Source());
    os.GetInfo();
    EXPECT_EQ(os.MajorVersion, 6);
    EXPECT_EQ(os.MinorVersion, 1);
    EXPECT_EQ(os.BuildNumber, 0);
    EXPECT_EQ(os.Platform, "Linux");
    EXPECT_EQ(os.CSD, "12.5");
    EXPECT_EQ(os.Edition, "bookworm");
    EXPECT_EQ(os.Version, "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)");
    EXPECT_EQ(os.RegisteredUser, "");
    EXPECT_EQ(os.RegisteredOrg, "");
    EXPECT_EQ(os.DVDRegion, "");
    EXPECT_EQ(os.TimeZone.Bias, -60);
    EXPECT_EQ(os.NTSpecific.ProductType, ptUnknown);
    EXPECT_EQ(os.NTSpecific.InstalledSuites, 0);
    EXPECT_EQ(os.Internet.DefaultBrowser, "/usr/bin/webber");
    EXPECT_EQ(os.Internet.ConnectionType, ctNone);
    EXPECT_EQ(os.Environment, (std::vector<std::string>{"HOME=/home/player", "LANG=de_DE.UTF-8"}));
    const std::vector<std::string> folders = {
        "CommonFiles=/usr/share",
        "ProgramFiles=/usr",
        "Device=",
        "OtherDevice=",
        "Media=/usr/share/sounds",
        "Config=/etc",
        "Wallpaper=",
        "Windows=",
        "System=",
        "Temp=/var/tmp/",
        "AppData=/home/player/.config",
        "CommonDesktopDir=",
        "CommonAltStartUp=",
        "RecycleBin=/home/player/.local/share/Trash",
        "CommonPrograms=/usr/share/applications",
        "CommonStartMenu=/usr/share/applications",
        "CommonStartup=/etc/xdg/autostart",
        "CommonFavorites=",
        "Cookies=",
        "Controls=",
        "Desktop=/home/player/Schreibtisch",
        "DesktopDir=/home/player/Schreibtisch",
        "Favorites=",
        "Drives=",
        "Fonts=/home/player/.local/share/fonts",
        "History=",
        "Internet=",
        "InternetCache=/home/player/.cache",
        "NetWork=",
        "NetHood=",
        "MyDocuments=/home/player/Dokumente",
        "PrintHood=",
        "Printers=",
        "Programs=/home/player/.local/share/applications",
        "Recent=",
        "SendTo=",
        "StartMenu=/home/player/.local/share/applications",
        "StartUp=/home/player/.config/autostart",
        "Templates=/home/player/Templates",
        "Profile=/home/player",
    };
    EXPECT_EQ(os.Folders, folders);
    os.GetInfo();  // a second refresh rebuilds the lists
    EXPECT_EQ(os.Folders.size(), folders.size());
}

TEST(OperatingSystemTest, EmptyTree) {
    test::SysFixture fx;
    TOperatingSystem os(fx.Source());
    os.GetInfo();
    EXPECT_EQ(os.MajorVersion, 0);
    EXPECT_EQ(os.Platform, "");
    EXPECT_EQ(os.CSD, "");
    EXPECT_EQ(os.Edition, "");
    EXPECT_EQ(os.Folders.size(), 40u);
    EXPECT_EQ(os.Folders.back(), "Profile=");
    EXPECT_EQ(os.Folders[9], "Temp=/tmp/");
}

TEST(OperatingSystemTest, NestedFailuresFollowTheMode) {
    test::SysFixture fx;
    fx.Source().Interfaces = []() -> std::vector<sysinfo::TNetInterface> { throw std::runtime_error("no sockets"); };
    TOperatingSystem os(fx.Source());
    os.SetExceptionMode(emMessage);
    testing::internal::CaptureStdout();
    os.GetInfo();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "TInternet.GetInfo: no sockets\n");
    EXPECT_EQ(os.Folders.size(), 40u);  // the refresh went on
    os.SetExceptionMode(emRaise);
    EXPECT_THROW(os.GetInfo(), Exception);
}

}  // namespace
}  // namespace qv
