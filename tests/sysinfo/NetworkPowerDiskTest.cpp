#include <gtest/gtest.h>

#include "sysinfo/MSI_APM.h"
#include "sysinfo/MSI_Disk.h"
#include "sysinfo/MSI_Engines.h"
#include "sysinfo/MSI_Network.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

using sysinfo::TNetInterface;

TEST(NetworkTest, DesktopAdaptersAddressesAndProtocols) {
    test::SysFixture fx;
    fx.BuildDesktop();
    // A second card sharing the first one's address, and a bridge without hardware.
    fx.Write("/sys/class/net/eno1/address", "3C:7C:3F:00:11:22\n");
    fx.Write("/sys/devices/pci0000:00/0000:00:1f.7/net/eno2/ifindex", "3\n");
    fx.Link("/sys/devices/pci0000:00/0000:00:1f.7/net/eno2/device", "../../../0000:00:1f.7");
    fx.Link("/sys/class/net/eno2", "../../devices/pci0000:00/0000:00:1f.7/net/eno2");
    fx.Write("/sys/class/net/eno2/address", "3c:7c:3f:00:11:22\n");
    fx.Write("/sys/devices/virtual/net/br0/address", "00:00:00:00:00:00\n");
    fx.Link("/sys/class/net/br0", "../../devices/virtual/net/br0");
    fx.Write("/sys/devices/virtual/net/lo/address", "00:00:00:00:00:00\n");
    fx.Write("/sys/class/net/bonding_masters", "bond0\n");  // the bonding driver's control file
    fx.Write("/proc/net/protocols",
             "protocol  size sockets  memory press maxhdr  slab module     cl co di ac io in de sh ss gs se re sp bi br ha uh gp em\n"
             "TCPv6     2432      5       2   no     320   yes  kernel      y  y  y  y  y  y  y  y  y  y  y  y  y  n  y  y  y  y  y\n"
             "UDP       1024      3       1   NI       0   yes  kernel      y  y  y  n  y  y  y  n  y  y  y  y  y  n  n  y  y  y  n\n"
             "TCPv6     2432      5       2   no     320   yes  kernel      y  y  y  y  y  y  y  y  y  y  y  y  y  n  y  y  y  y  y\n");
    fx.Source().Interfaces = [] {
        return std::vector<TNetInterface>{{"lo", true, true, {"127.0.0.1", "::1"}},
                                          {"eno1", true, false, {"192.168.1.20", "fe80::1"}},
                                          {"eno2", false, false, {"10.0.0.5"}},
                                          {"br0", true, false, {"192.168.1.20"}}};
    };

    TNetwork net(fx.Source());
    net.GetInfo();
    // Up interfaces only, loopback left out, each address once.
    EXPECT_EQ(net.IPAddresses, (std::vector<std::string>{"192.168.1.20", "fe80::1"}));
    // br0 (virtual: its interface name), eno1 (the device list's name), eno2.
    ASSERT_EQ(net.Adapters.size(), 3u);
    EXPECT_EQ(net.Adapters[0], "br0");
    EXPECT_EQ(net.Adapters[1], "Ethernet Connection (17) I219-LM");
    EXPECT_EQ(net.Adapters[2], "eno2");
    EXPECT_EQ(net.CardAdapterIndex, 1);
    EXPECT_EQ(net.CardAdapter(), "Ethernet Connection (17) I219-LM");
    EXPECT_EQ(net.MACAddresses, (std::vector<std::string>{"3c:7c:3f:00:11:22"}));
    EXPECT_EQ(net.Protocols, (std::vector<std::string>{"TCPv6", "UDP"}));
    EXPECT_TRUE(net.Services.empty());
    EXPECT_TRUE(net.Clients.empty());
    EXPECT_EQ(net.WinSock.Description, "BSD sockets");
    EXPECT_EQ(net.WinSock.Status, "Running");
}

TEST(NetworkTest, NoAdaptersMeansNotDetected) {
    test::SysFixture fx;
    TNetwork net(fx.Source());
    net.GetInfo();
    EXPECT_TRUE(net.Adapters.empty());
    EXPECT_TRUE(net.IPAddresses.empty());
    EXPECT_EQ(net.CardAdapterIndex, -1);
    EXPECT_EQ(net.CardAdapter(), "<not detected>");

    // Only virtual adapters: no card, the first adapter stands in.
    fx.Write("/sys/devices/virtual/net/veth0/address", "02:42:ac:11:00:02\n");
    fx.Link("/sys/class/net/veth0", "../../devices/virtual/net/veth0");
    net.GetInfo();
    EXPECT_EQ(net.CardAdapterIndex, -1);
    EXPECT_EQ(net.CardAdapter(), "veth0");
}

TEST(APMTest, BatteryFlagTable) {
    const std::pair<int, TBatteryStatus> cases[] = {{0, bsHigh},    {1, bsHigh},      {2, bsLow},
                                                    {4, bsCritical}, {8, bsCharging}, {128, bsNoBattery},
                                                    {9, bsUnknown},  {255, bsUnknown}, {3, bsUnknown}};
    for (const auto& [flag, status] : cases)
        EXPECT_EQ(BatteryStatusFromFlag(static_cast<std::uint8_t>(flag)), status) << flag;
}

TEST(APMTest, BatteriesOfDevicesAreNotTheSystemBattery) {
    test::SysFixture fx;
    // A wireless mouse's battery, listed first, then the machine's own.
    fx.Write("/sys/class/power_supply/hidpp_battery_0/type", "Battery\n");
    fx.Write("/sys/class/power_supply/hidpp_battery_0/scope", "Device\n");
    fx.Write("/sys/class/power_supply/hidpp_battery_0/status", "Discharging\n");
    fx.Write("/sys/class/power_supply/hidpp_battery_0/capacity", "12\n");
    TAPM apm(fx.Source());
    apm.GetInfo();
    EXPECT_EQ(apm.BatteryChargeStatus, bsNoBattery);  // the mouse alone: no system battery
    EXPECT_EQ(apm.BatteryLifePercent, 255);

    fx.Write("/sys/class/power_supply/zBAT0/type", "Battery\n");
    fx.Write("/sys/class/power_supply/zBAT0/scope", "System\n");
    fx.Write("/sys/class/power_supply/zBAT0/status", "Charging\n");
    fx.Write("/sys/class/power_supply/zBAT0/capacity", "80\n");
    apm.GetInfo();
    EXPECT_EQ(apm.BatteryChargeStatus, bsCharging);
    EXPECT_EQ(apm.BatteryLifePercent, 80);
}

TEST(APMTest, PowerSupplies) {
    {
        test::SysFixture fx;  // a container: no supplies at all
        TAPM apm(fx.Source());
        apm.GetInfo();
        EXPECT_EQ(apm.ACPowerStatus, psUnknown);
        EXPECT_EQ(apm.BatteryChargeStatus, bsNoBattery);
        EXPECT_EQ(apm.BatteryLifePercent, 255);
        EXPECT_EQ(apm.BatteryLifeTime, -1);
        EXPECT_EQ(apm.BatteryLifeFullTime, -1);
    }
    {
        test::SysFixture fx;  // on mains, charging
        fx.Write("/sys/class/power_supply/AC/type", "Mains\n");
        fx.Write("/sys/class/power_supply/AC/online", "1\n");
        fx.Write("/sys/class/power_supply/BAT0/type", "Battery\n");
        fx.Write("/sys/class/power_supply/BAT0/status", "Charging\n");
        fx.Write("/sys/class/power_supply/BAT0/capacity", "57\n");
        fx.Write("/sys/class/power_supply/BAT0/capacity_level", "Normal\n");
        TAPM apm(fx.Source());
        apm.GetInfo();
        EXPECT_EQ(apm.ACPowerStatus, psOnline);
        EXPECT_EQ(apm.BatteryChargeStatus, bsCharging);
        EXPECT_EQ(apm.BatteryLifePercent, 57);
        EXPECT_EQ(apm.BatteryLifeTime, -1);
    }
    {
        test::SysFixture fx;  // off mains, discharging: the times from energy and power
        fx.Write("/sys/class/power_supply/ADP1/type", "Mains\n");
        fx.Write("/sys/class/power_supply/ADP1/online", "0\n");
        fx.Write("/sys/class/power_supply/BAT1/type", "Battery\n");
        fx.Write("/sys/class/power_supply/BAT1/status", "Discharging\n");
        fx.Write("/sys/class/power_supply/BAT1/capacity", "12\n");
        fx.Write("/sys/class/power_supply/BAT1/capacity_level", "Low\n");
        fx.Write("/sys/class/power_supply/BAT1/energy_now", "6000000\n");
        fx.Write("/sys/class/power_supply/BAT1/energy_full", "48000000\n");
        fx.Write("/sys/class/power_supply/BAT1/power_now", "12000000\n");
        TAPM apm(fx.Source());
        apm.GetInfo();
        EXPECT_EQ(apm.ACPowerStatus, psOffline);
        EXPECT_EQ(apm.BatteryChargeStatus, bsLow);
        EXPECT_EQ(apm.BatteryLifePercent, 12);
        EXPECT_EQ(apm.BatteryLifeTime, 1800);
        EXPECT_EQ(apm.BatteryLifeFullTime, 4 * 3600);
        // A battery that reports no rate has no time left to tell.
        fx.Write("/sys/class/power_supply/BAT1/power_now", "0\n");
        fx.Write("/sys/class/power_supply/BAT1/capacity_level", "Critical\n");
        fx.Write("/sys/class/power_supply/BAT1/capacity", "garbage\n");
        apm.GetInfo();
        EXPECT_EQ(apm.BatteryChargeStatus, bsCritical);
        EXPECT_EQ(apm.BatteryLifeTime, -1);
        EXPECT_EQ(apm.BatteryLifePercent, 255);
    }
}

TEST(DiskTest, AvailableDisksAreRealFileSystemsInMountOrder) {
    test::SysFixture fx;
    fx.Write("/proc/self/mounts",
             "overlay / overlay rw 0 0\n"
             "proc /proc proc rw 0 0\n"
             "tmpfs /dev tmpfs rw 0 0\n"
             "/dev/sda1 /home ext4 rw 0 0\n"
             "sysfs /sys sysfs ro 0 0\n"
             "cgroup /sys/fs/cgroup cgroup2 ro 0 0\n"
             "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
             "/dev/sda1 /home ext4 rw 0 0\n"
             "broken-line\n");
    TDisk disk(fx.Source());
    disk.GetInfo();
    // The container's overlay root counts; memory (tmpfs) and kernel views do not.
    EXPECT_EQ(disk.AvailableDisks, "/;/home;/media/usb stick");
}

TEST(DiskTest, DriveIsAPathAndFillsTheFigures) {
    test::SysFixture fx;
    fx.BuildDesktop();
    fx.Source().StatFs = [](const std::string& path) -> std::optional<sysinfo::TFsStats> {
        if (path != "/") return std::nullopt;
        sysinfo::TFsStats s;
        s.BlockSize = 4096;
        s.Blocks = 1000;
        s.Available = 250;
        s.NameMax = 255;
        return s;
    };
    TDisk disk(fx.Source());
    disk.SetDrive("/");
    EXPECT_EQ(disk.Drive(), "/");
    EXPECT_TRUE(disk.MediaPresent());
    EXPECT_EQ(disk.MediaType, dtFixed);
    EXPECT_EQ(disk.FileSystem, "ext4");
    EXPECT_EQ(disk.Capacity, 4096 * 1000);
    EXPECT_EQ(disk.FreeSpace, 4096 * 250);
    EXPECT_EQ(disk.VolumeLabel, "Main Disk");
    // A long path is kept whole.
    disk.SetDrive("/media/cd rom");
    EXPECT_EQ(disk.Drive(), "/media/cd rom");
    EXPECT_FALSE(disk.MediaPresent());
    EXPECT_EQ(disk.Capacity, 0);
}

TEST(EnginesTest, OnlyTheOdbcDriverManagerHasAVersion) {
    test::SysFixture fx;
    TEngines engines(fx.Source());
    fx.Write("/var/lib/dpkg/status",
             "Package: unixodbc-dev\nStatus: install ok installed\nVersion: 2.3.11-2\n\n"
             "Package: libodbc2\nStatus: deinstall ok config-files\nVersion: 2.3.10-1\n");
    engines.GetInfo();
    EXPECT_EQ(engines.ODBC, "");
    fx.Write("/var/lib/dpkg/status",
             "Package: zlib1g\nStatus: install ok installed\nVersion: 1:1.2.13\n\n"
             "Package: libodbc2\nStatus: install ok installed\nVersion: 2.3.11-2+deb12u1\n");
    engines.GetInfo();
    EXPECT_EQ(engines.ODBC, "2.3.11-2+deb12u1");
    EXPECT_EQ(engines.BDE + engines.DAO + engines.ADO + engines.ASPI, "");

    // The SCSI generic driver stands where the SCSI programming layer stood.
    fx.Write("/proc/scsi/sg/version", "30536\t3.5.36 [20140603]\n");
    engines.GetInfo();
    EXPECT_EQ(engines.ASPI, "sg 3.5.36");
    fx.Write("/proc/scsi/sg/version", "30536\n");
    engines.GetInfo();
    EXPECT_EQ(engines.ASPI, "");
}

}  // namespace
}  // namespace qv
