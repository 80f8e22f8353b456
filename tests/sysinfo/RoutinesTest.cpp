#include <gtest/gtest.h>

#include "sysinfo/Syvex_Routines.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

struct DurationCase {
    bool integerSeconds, allUnits, clockForm;
    std::int64_t seconds;
    const char* text;
};

TEST(FormatDurationTest, WordsAndClockForms) {
    const DurationCase cases[] = {
        // The start-up report's form: integer seconds, worded from the first unit used.
        {true, false, false, 0, "0 Seconds."},
        {true, false, false, 1, "1 Second."},
        {true, false, false, 61, "1 Minute, 1 Second."},
        {true, false, false, 3725, "1 Hour, 2 Minutes, 5 Seconds."},
        {true, false, false, 86400, "1 Day, 0 Hours, 0 Minutes, 0 Seconds."},
        {true, false, false, 604800 + 2 * 86400, "1 Week, 2 Days, 0 Hours, 0 Minutes, 0 Seconds."},
        {true, false, false, 2678400, "1 Month, 0 Weeks, 0 Days, 0 Hours, 0 Minutes, 0 Seconds."},
        {true, false, false, 31579200 * 2LL + 1,
         "2 Years, 0 Months, 0 Weeks, 0 Days, 0 Hours, 0 Minutes, 1 Second."},
        {true, false, false, 3157920000LL,
         "1 Century, 0 Years, 0 Months, 0 Weeks, 0 Days, 0 Hours, 0 Minutes, 0 Seconds."},
        // Without integer seconds the seconds keep two decimals.
        {false, false, false, 59, "59.00 Seconds."},
        {false, false, false, 1, "1.00 Second."},
        // Every unit, zero counts printed as 0.
        {true, true, false, 5,
         "0 Centuries, 0 Years, 0 Months, 0 Weeks, 0 Days, 0 Hours, 0 Minutes, 5 Seconds."},
        {true, true, false, 0,
         "0 Centuries, 0 Years, 0 Months, 0 Weeks, 0 Days, 0 Hours, 0 Minutes, 0 Seconds."},
        // Clock forms: the short one drops days.
        {true, false, true, 90061, "01:01:01"},
        {true, false, true, 0, "00:00:00"},
        {true, true, true, 90061, "00.00.01 01:01:01"},
        {true, true, true, 604800 * 2 + 86400 * 3, "00.00.17 00:00:00"},
    };
    for (const DurationCase& c : cases)
        EXPECT_EQ(FormatDuration(c.integerSeconds, c.allUnits, c.clockForm, c.seconds), c.text)
            << c.seconds << " " << c.integerSeconds << c.allUnits << c.clockForm;
}

TEST(FormatDurationTest, LongUpTimesDoNotWrap) {
    // 60 days of up time: well past the 49.7 days a 32-bit tick count holds.
    EXPECT_EQ(FormatDuration(true, false, false, 60LL * 86400),
              "1 Month, 4 Weeks, 1 Day, 0 Hours, 0 Minutes, 0 Seconds.");
}

TEST(TextRoutinesTest, DequoteStripBlanksMultiSz) {
    EXPECT_EQ(Dequote("\"a b\""), "a b");
    EXPECT_EQ(Dequote("\""), "\"");
    EXPECT_EQ(Dequote("\"\""), "");
    EXPECT_EQ(Dequote("\"open"), "\"open");
    EXPECT_EQ(Dequote(""), "");

    EXPECT_EQ(StripBlanks("  a b \r\nc d  "), "abcd");
    EXPECT_EQ(StripBlanks("x\ry"), "x\ry");
    EXPECT_EQ(StripBlanks(""), "");

    EXPECT_EQ(MultiSzToText(std::string("ab\0cd\0\0ef\0", 10)), "abcd");
    EXPECT_EQ(MultiSzToText(std::string("\0ab", 3)), "");
    EXPECT_EQ(MultiSzToText("tail"), "tail");
}

TEST(TextRoutinesTest, ExtractProgramPathCutsToAnExistingFile) {
    auto exists = [](const std::string& p) { return p == "/usr/bin/foo" || p == "/opt/a b/run"; };
    EXPECT_EQ(ExtractProgramPath("\"/usr/bin/foo\" --x", exists), "/usr/bin/foo");
    EXPECT_EQ(ExtractProgramPath("/usr/bin/foo %1", exists), "/usr/bin/foo");
    EXPECT_EQ(ExtractProgramPath("\"/opt/a b/run\" -v", exists), "/opt/a b/run");
    EXPECT_EQ(ExtractProgramPath("/nowhere/bar -q", exists), "");
    EXPECT_EQ(ExtractProgramPath("", exists), "");
}

TEST(TextRoutinesTest, NoWindowsOnlySources) {
    EXPECT_EQ(GetOSOrdinal(), 0);
    EXPECT_EQ(GetWinSysDirs(), ";;");
    TVersionInfo info;
    info.Major = 7;
    EXPECT_FALSE(GetFileVerInfo("/usr/bin/env", info));
    EXPECT_EQ(info.FileName, "/usr/bin/env");
    EXPECT_EQ(info.Major, 7);
    std::string key = "x";
    std::vector<std::string> list = {"y"};
    GetClassDevices("root", "Net", "DriverDesc", key, list);
    EXPECT_TRUE(key.empty());
    EXPECT_TRUE(list.empty());
}

TEST(EnvironmentListTest, KeepsOnlyEntriesEndingInsideTheCap) {
    test::SysFixture fx;
    const std::string a = "A=" + std::string(2000, 'a');  // 2002 bytes + NUL
    const std::string b = "B=" + std::string(2000, 'b');  // ends at byte 4006
    const std::string c = "C=" + std::string(200, 'c');   // would end past 4096
    fx.EnvBlock = {a, b, c};
    std::vector<std::string> list = {"stale"};
    GetEnvironmentList(list, fx.Source());
    EXPECT_EQ(list, (std::vector<std::string>{a, b}));

    fx.EnvBlock = {"X=1", "Y=2"};
    GetEnvironmentList(list, fx.Source());
    EXPECT_EQ(list, (std::vector<std::string>{"X=1", "Y=2"}));
}

TEST(SpecialFolderTest, XdgFoldersFromUserDirsAndBaseDirs) {
    test::SysFixture fx;
    fx.BuildDesktop();
    const sysinfo::TSysSource& src = fx.Source();
    EXPECT_EQ(GetSpecialFolder(CSIDL_DESKTOP, src), "/home/player/Schreibtisch");
    EXPECT_EQ(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY, src), "/home/player/Schreibtisch");
    EXPECT_EQ(GetSpecialFolder(CSIDL_PERSONAL, src), "/home/player/Dokumente");
    EXPECT_EQ(GetSpecialFolder(CSIDL_TEMPLATES, src), "/home/player/Templates");  // not in the file
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA, src), "/home/player/.config");
    EXPECT_EQ(GetSpecialFolder(CSIDL_STARTUP, src), "/home/player/.config/autostart");
    EXPECT_EQ(GetSpecialFolder(CSIDL_PROGRAMS, src), "/home/player/.local/share/applications");
    EXPECT_EQ(GetSpecialFolder(CSIDL_BITBUCKET, src), "/home/player/.local/share/Trash");
    EXPECT_EQ(GetSpecialFolder(CSIDL_INTERNET_CACHE, src), "/home/player/.cache");
    EXPECT_EQ(GetSpecialFolder(CSIDL_COMMON_STARTUP, src), "/etc/xdg/autostart");
    EXPECT_EQ(GetSpecialFolder(CSIDL_COMMON_PROGRAMS, src), "/usr/share/applications");
    for (int none : {CSIDL_INTERNET, CSIDL_CONTROLS, CSIDL_PRINTERS, CSIDL_FAVORITES, CSIDL_RECENT, CSIDL_SENDTO,
                     CSIDL_DRIVES, CSIDL_NETWORK, CSIDL_NETHOOD, CSIDL_PRINTHOOD, CSIDL_COOKIES, CSIDL_HISTORY,
                     CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_ALTSTARTUP, CSIDL_COMMON_FAVORITES})
        EXPECT_EQ(GetSpecialFolder(none, src), "") << none;
    EXPECT_EQ(GetProfilePath(src), "/home/player");

    fx.Env["XDG_CONFIG_HOME"] = "/cfg";
    fx.Env["XDG_DATA_HOME"] = "relative/is/ignored";
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA, src), "/cfg");
    EXPECT_EQ(GetSpecialFolder(CSIDL_FONTS, src), "/home/player/.local/share/fonts");
    // The user-dirs file now lies elsewhere: the defaults apply.
    EXPECT_EQ(GetSpecialFolder(CSIDL_DESKTOP, src), "/home/player/Desktop");
}

TEST(SpecialFolderTest, WithoutHomeUserFoldersAreEmpty) {
    test::SysFixture fx;
    EXPECT_EQ(GetSpecialFolder(CSIDL_DESKTOP, fx.Source()), "");
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA, fx.Source()), "");
    EXPECT_EQ(GetProfilePath(fx.Source()), "");
    fx.Env["HOME"] = "/" + std::string(300, 'h');
    EXPECT_EQ(GetProfilePath(fx.Source()), std::string(255, 'h'));
}

TEST(ShellLinkTest, DesktopEntriesGiveTargetAndArguments) {
    test::SysFixture fx;
    fx.Write("/a.desktop", "[Desktop Entry]\nExec=\"/opt/my app/run\" --fast %F 100%% -x\n");
    fx.Write("/b.desktop", "[Desktop Entry]\nName=NoExec\n");
    fx.Write("/c.desktop", "[Other]\nExec=/bin/true\n");
    std::string target, args;
    EXPECT_EQ(ResolveShellLink("/a.desktop", target, args, fx.Source()), kLinkOk);
    EXPECT_EQ(target, "/opt/my app/run");
    EXPECT_EQ(args, "--fast 100% -x");
    EXPECT_EQ(ResolveShellLink("/b.desktop", target, args, fx.Source()), kLinkFailed);
    EXPECT_EQ(ResolveShellLink("/c.desktop", target, args, fx.Source()), kLinkFailed);
    EXPECT_EQ(ResolveShellLink("/missing.desktop", target, args, fx.Source()), kLinkFileNotFound);
}

TEST(DefaultProgramsTest, BrowserAndMailFromMimeDefaults) {
    test::SysFixture fx;
    fx.BuildDesktop();
    EXPECT_EQ(GetDefaultBrowser(fx.Source()), "/usr/bin/webber");
    EXPECT_EQ(GetDefaultMailClient(fx.Source()), "/opt/post bote/postbote");
    fx.Write("/usr/bin/links", "");
    fx.Env["BROWSER"] = "links:other";
    EXPECT_EQ(GetDefaultBrowser(fx.Source()), "/usr/bin/links");

    test::SysFixture empty;
    EXPECT_EQ(GetDefaultBrowser(empty.Source()), "");
    EXPECT_EQ(GetDefaultMailClient(empty.Source()), "");
}

TEST(ConnectionTest, ProxyThenDialUpThenNone) {
    test::SysFixture fx;
    std::vector<sysinfo::TNetInterface> interfaces = {{"lo", true, true, {}}, {"eth0", true, false, {}}};
    fx.Source().Interfaces = [&] { return interfaces; };
    EXPECT_EQ(GetConnectionType(fx.Source()), ctNone);  // a LAN without proxy, as specified
    fx.Env["http_proxy"] = "";
    EXPECT_EQ(GetConnectionType(fx.Source()), ctNone);
    EXPECT_EQ(GetProxyServer(fx.Source()), "");
    interfaces.push_back({"ppp0", false, false, {}});
    EXPECT_EQ(GetRASConnectionCount(fx.Source()), 0);
    interfaces.push_back({"ppp1", true, false, {}});
    EXPECT_EQ(GetRASConnectionCount(fx.Source()), 1);
    EXPECT_EQ(GetConnectionType(fx.Source()), ctDialup);
    fx.Env["HTTP_PROXY"] = "http://proxy:3128";
    EXPECT_EQ(GetProxyServer(fx.Source()), "http://proxy:3128");
    EXPECT_EQ(GetConnectionType(fx.Source()), ctLAN);
    fx.Env["http_proxy"] = "http://first:8080";
    EXPECT_EQ(GetProxyServer(fx.Source()), "http://first:8080");
}

TEST(DiskInfoTest, MountsGiveTypeFlagsAndSizes) {
    test::SysFixture fx;
    fx.BuildDesktop();
    sysinfo::TFsStats root;
    root.BlockSize = 4096;
    root.Blocks = 0x1'2345'6789ULL;  // more clusters than 32 bits hold
    root.Available = 1'000'000;
    root.FsId = 0xDEADBEEF12345678ULL;
    root.NameMax = 255;
    fx.Source().StatFs = [&](const std::string& path) -> std::optional<sysinfo::TFsStats> {
        if (path == "/" || path == "/run") return root;
        return std::nullopt;
    };
    TDiskInfo info;
    GetDiskInfo("/", info, fx.Source());
    EXPECT_EQ(info.Drive, "/");
    EXPECT_EQ(info.MediaType, dtFixed);
    EXPECT_EQ(info.FileSystem, "ext4");
    EXPECT_EQ(info.BytesPerSector, 4096u);
    EXPECT_EQ(info.SectorsPerCluster, 1u);
    EXPECT_EQ(info.TotalClusters, UINT32_MAX);
    EXPECT_EQ(info.FreeClusters, 1'000'000u);
    EXPECT_EQ(info.Capacity, static_cast<std::int64_t>(0x1'2345'6789ULL * 4096));
    EXPECT_EQ(info.FreeSpace, 4'096'000'000LL);
    EXPECT_EQ(info.Serial, 0x12345678u);
    EXPECT_EQ(info.SerialNumber, "1234-5678");
    EXPECT_EQ(info.VolumeLabel, "Main Disk");
    const TFileFlags ext4 = FileFlagBit(fsCaseIsPreserved) | FileFlagBit(fsCaseSensitive) |
                            FileFlagBit(fsPersistentAcls) | FileFlagBit(fsReparsePointsSupport) |
                            FileFlagBit(fsSparseFilesSupport) | FileFlagBit(fsLongFileNames);
    EXPECT_EQ(info.FileFlags, ext4);

    GetDiskInfo("/run", info, fx.Source());
    EXPECT_EQ(info.MediaType, dtRAMDisk);
    EXPECT_EQ(info.FileSystem, "tmpfs");
    EXPECT_EQ(info.FileFlags, FileFlagBit(fsLongFileNames));

    // Not ready: the sizes and names stay empty, the media type is still known.
    GetDiskInfo("/mnt/share", info, fx.Source());
    EXPECT_EQ(info.MediaType, dtRemote);
    EXPECT_EQ(info.Capacity, 0);
    EXPECT_EQ(info.FileSystem, "");
    EXPECT_EQ(info.SerialNumber, "");
    EXPECT_FALSE(IsDriveReady("/mnt/share", fx.Source()));
    GetDiskInfo("/media/cd rom", info, fx.Source());
    EXPECT_EQ(info.MediaType, dtCDROM);
    GetDiskInfo("/nowhere", info, fx.Source());
    EXPECT_EQ(info.MediaType, dtNotExists);
    EXPECT_EQ(info.Capacity, 0);
}

TEST(DiskInfoTest, RemovableDiskByItsParent) {
    test::SysFixture fx;
    fx.BuildDesktop();
    fx.Write("/sys/devices/pci0000:00/0000:00:06.0/nvme/nvme0/nvme0n1/removable", "1\n");
    TDiskInfo info;
    GetDiskInfo("/", info, fx.Source());
    EXPECT_EQ(info.MediaType, dtRemovable);
}

TEST(SystemUnitTest, NamesFromOsReleaseOrTheKernel) {
    test::SysFixture fx;
    fx.BuildDesktop();
    TSystemUnit unit = ReadSystemUnit(fx.Source());
    EXPECT_EQ(unit.OSName, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(unit.MachineName, "DESKBOX");
    EXPECT_EQ(unit.CurrentUserName, "player");
    EXPECT_EQ(unit.ProfilePath, "/home/player");
    EXPECT_EQ(unit.OSOrdinal, 0);
    EXPECT_FALSE(unit.IsNT);
    EXPECT_EQ(unit.ClassKey, "");

    test::SysFixture bare;
    bare.Write("/proc/sys/kernel/ostype", "Linux\n");
    EXPECT_EQ(ReadSystemUnit(bare.Source()).OSName, "Linux");
    test::SysFixture empty;
    unit = ReadSystemUnit(empty.Source());
    EXPECT_EQ(unit.OSName, "");
    EXPECT_EQ(unit.MachineName, "");
}

}  // namespace
}  // namespace qv
