#include <gtest/gtest.h>

#include "sysinfo/MSI_Console.h"
#include "sysinfo/MSI_Disk.h"
#include "sysinfo/MSI_Printers.h"
#include "sysinfo/MSI_Processes.h"
#include "sysinfo/MSI_Software.h"
#include "sysinfo/MSI_Startup.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

TEST(ProcessesTest, NamesFromTheExecutableElseTheCommandName) {
    test::SysFixture fx;
    fx.Write("/proc/812/comm", "bash\n");
    fx.Link("/proc/812/exe", "/usr/bin/bash");
    fx.Write("/proc/1/comm", "systemd\n");  // another user's: no readable exe link
    fx.Write("/proc/77/comm", "updater\n");
    fx.Link("/proc/77/exe", "/opt/app/updater-2 (deleted)");
    fx.Write("/proc/self/comm", "tests\n");
    fx.Write("/proc/meminfo", "MemTotal: 1 kB\n");
    fx.MakeDir("/proc/12x");
    TProcesses processes(fx.Source());
    processes.GetInfo();
    ASSERT_EQ(processes.ProcessCount(), 3);
    const auto& list = processes.Processes();
    EXPECT_EQ(list[0].Pid, 1);
    EXPECT_EQ(list[0].Name, "systemd");
    EXPECT_EQ(list[1].Pid, 77);
    EXPECT_EQ(list[1].Name, "updater-2");
    EXPECT_EQ(list[2].Pid, 812);
    EXPECT_EQ(list[2].Name, "bash");
    // A refill replaces the list.
    processes.GetInfo();
    EXPECT_EQ(processes.ProcessCount(), 3);
}

TEST(PrintersTest, NamesPortsAndTheDefault) {
    test::SysFixture fx;
    TPrinters printers(fx.Source());
    printers.GetInfo();  // the fixture's print system has no printers
    EXPECT_TRUE(printers.Names.empty());
    EXPECT_EQ(printers.DefaultIndex, -1);

    fx.Source().Printers = [] {
        return std::vector<sysinfo::TPrinterDest>{{"Office", "ipp://printer.local/ipp/print", false},
                                                  {"Office/duplex", "ipp://printer.local/ipp/print", true},
                                                  {"PDF", "", false}};
    };
    printers.GetInfo();
    EXPECT_EQ(printers.Names, (std::vector<std::string>{"Office", "Office/duplex", "PDF"}));
    EXPECT_EQ(printers.Ports,
              (std::vector<std::string>{"ipp://printer.local/ipp/print", "ipp://printer.local/ipp/print", ""}));
    EXPECT_EQ(printers.DefaultIndex, 1);
}

TEST(SoftwareTest, InstalledPackagesOnly) {
    test::SysFixture fx;
    fx.Write("/var/lib/dpkg/status",
             "Package: zlib1g\n"
             "Status: install ok installed\n"
             "Version: 1:1.2.13.dfsg-1\n"
             "Description: compression library - runtime\n"
             " zlib is a library implementing the deflate compression method\n"
             " Package: not-a-package\n"
             "\n"
             "Package: oldtool\n"
             "Status: deinstall ok config-files\n"
             "Version: 0.9\n"
             "\n\n"
             "Package: held\n"
             "Status: hold ok installed\n"
             "Version: 2.0\n"
             "\n"
             "Package: half\n"
             "Status: install ok half-installed\n"
             "\n"
             "Package: noversion\n"
             "Status: install ok installed");
    TSoftware software(fx.Source());
    software.GetInfo();
    EXPECT_EQ(software.Products, (std::vector<std::string>{"zlib1g 1:1.2.13.dfsg-1", "held 2.0", "noversion"}));
    EXPECT_EQ(software.UninstallCommands, (std::vector<std::string>{"apt-get remove zlib1g", "apt-get remove held",
                                                                    "apt-get remove noversion"}));

    test::SysFixture none;  // no package manager
    TSoftware empty(none.Source());
    empty.GetInfo();
    EXPECT_TRUE(empty.Products.empty());
}

TEST(StartupTest, AutostartFoldersAndServiceUnits) {
    test::SysFixture fx;
    fx.Env["HOME"] = "/home/player";
    fx.Env["XDG_CONFIG_DIRS"] = "/etc/xdg:/usr/local/etc/xdg";
    const std::string user = "/home/player/.config/autostart/";
    fx.Write(user + "chat.desktop", "[Desktop Entry]\nName=Chat\nExec=/usr/bin/chat --minimized %U\n");
    fx.Write(user + "gone.desktop", "[Desktop Entry]\nExec=gone\nHidden=true\n");
    // The user's copy hides the machine's entry of the same name.
    fx.Write(user + "updater.desktop", "[Desktop Entry]\nExec=updater\nHidden=true\n");
    fx.Write(user + "notes.txt", "not an entry");
    fx.Write(user + "broken.desktop", "[Desktop Entry]\nName=No command\n");
    fx.Write("/etc/xdg/autostart/updater.desktop", "[Desktop Entry]\nExec=/usr/bin/updater --check\n");
    fx.Write("/etc/xdg/autostart/agent.desktop", "[Desktop Entry]\nExec=\"/opt/my agent/agent\" %f\n");
    // The first machine folder wins over a later one.
    fx.Write("/usr/local/etc/xdg/autostart/agent.desktop", "[Desktop Entry]\nExec=other-agent\n");
    fx.Write("/usr/local/etc/xdg/autostart/tray.desktop", "[Desktop Entry]\nExec=tray\n");

    fx.Write("/home/player/.config/systemd/user/sync.service", "[Unit]\nDescription=Sync\n[Service]\nExecStart=-/usr/bin/sync-daemon --quiet\n");
    fx.Link("/home/player/.config/systemd/user/default.target.wants/sync.service", "/home/player/.config/systemd/user/sync.service");
    fx.Write("/usr/lib/systemd/user/pipewire.service", "[Service]\nExecStart=/usr/bin/pipewire\n");
    fx.Link("/etc/systemd/user/default.target.wants/pipewire.service", "/usr/lib/systemd/user/pipewire.service");
    fx.Link("/etc/systemd/user/default.target.wants/dangling.service", "/usr/lib/systemd/user/missing.service");

    TStartup startup(fx.Source());
    startup.GetInfo();
    auto entries = [&](int list) {
        std::vector<std::string> out;
        for (const TStartupEntry& e : startup.List(list)) out.push_back(e.Name + " = " + e.Command);
        return out;
    };
    EXPECT_EQ(entries(kStartupUserRun), (std::vector<std::string>{"sync = /usr/bin/sync-daemon --quiet"}));
    EXPECT_EQ(entries(kStartupMachineRun), (std::vector<std::string>{"pipewire = /usr/bin/pipewire"}));
    EXPECT_TRUE(startup.List(kStartupRunOnce).empty());
    EXPECT_EQ(entries(kStartupUserFolder), (std::vector<std::string>{"chat = /usr/bin/chat --minimized"}));
    EXPECT_EQ(entries(kStartupCommonFolder),
              (std::vector<std::string>{"agent = /opt/my agent/agent", "tray = tray"}));
    EXPECT_TRUE(startup.List(kStartupIniFile).empty());
    EXPECT_EQ(startup.RunsCount(), 5);

    test::SysFixture none;
    TStartup empty(none.Source());
    empty.GetInfo();
    EXPECT_EQ(empty.RunsCount(), 0);
}

TEST(MSIListsTest, EveryAreaHasItsObjectAndTheDiskIsTheRoot) {
    test::SysFixture fx;
    fx.BuildDesktop();
    fx.Source().StatFs = [](const std::string& path) -> std::optional<sysinfo::TFsStats> {
        if (path != "/") return std::nullopt;
        sysinfo::TFsStats s;
        s.BlockSize = 4096;
        s.Blocks = 100;
        return s;
    };
    TMSI msi(0xFFFF, fx.Source());
    EXPECT_TRUE(msi.Network() && msi.Engines() && msi.APM() && msi.Disk() && msi.Processes() && msi.Printers() &&
                msi.Software() && msi.Startup());
    msi.SetExceptionMode(emRaise);
    msi.GetInfo();
    ASSERT_NE(msi.Disk(), nullptr);
    EXPECT_EQ(msi.Disk()->Drive(), "/");
    EXPECT_EQ(msi.Disk()->FileSystem, "ext4");
}

}  // namespace
}  // namespace qv
