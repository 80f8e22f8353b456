#include <gtest/gtest.h>

#include "sysinfo/MSI_Devices.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

TEST(DeviceClassTest, FirstTableEntryTheNameStartsWith) {
    const std::pair<const char*, int> cases[] = {
        {"NetTrans", 21}, {"Net", 21},      {"Foo", 24},        {"", 24},         {"MEDIA", 30},
        {"media", 30},    {"TapeDrive", 33}, {"Tape", 35},       {"Computer", 1},  {"Display", 3},
        {"DiskDrive", 2}, {"hdc", 9},        {"HIDClass", 8},    {"USB", 36},      {"pci", 24},
        {"bluetooth", 24}, {"Monitor", 18},  {"1394", 10},       {"Battery", 0},   {"Ports", 26},
    };
    for (const auto& [name, ordinal] : cases) EXPECT_EQ(TDevices::GetDeviceClass(name), ordinal) << name;
}

TEST(DevicesListTest, SortedByClassWithoutCaseAndBlankClassesLeftOut) {
    test::SysFixture fx;
    TDevices devices(fx.Source());
    for (const char* name : {"USB", "Display", "  ", "", "battery", "MEDIA", "Computer"}) {
        TDevice d;
        d.DeviceClassName = name;
        d.Description = std::string("dev ") + name;
        devices.Add(d);
    }
    devices.Sort();
    ASSERT_EQ(devices.GetCount(), 5);
    std::vector<std::string> order;
    for (int i = 0; i < devices.GetCount(); ++i) {
        TDevice d;
        devices.GetDevice(i, d);
        order.push_back(d.DeviceClassName);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"battery", "Computer", "Display", "MEDIA", "USB"}));

    TDevice untouched;
    untouched.Description = "mine";
    devices.GetDevice(devices.GetCount(), untouched);
    devices.GetDevice(-1, untouched);
    EXPECT_EQ(untouched.Description, "mine");
    devices.Clear();
    EXPECT_EQ(devices.GetCount(), 0);
}

const TDevice* FindClass(const std::vector<TDevice>& list, const std::string& cls, int nth = 0) {
    for (const TDevice& d : list)
        if (d.DeviceClassName == cls && nth-- == 0) return &d;
    return nullptr;
}

std::vector<TDevice> ReadAll(const sysinfo::TSysSource& source) {
    TDevices devices(source);
    devices.GetInfo();
    std::vector<TDevice> list(static_cast<std::size_t>(devices.DeviceCount()));
    for (int i = 0; i < devices.DeviceCount(); ++i) devices.GetDevice(i, list[static_cast<std::size_t>(i)]);
    return list;
}

TEST(DevicesTreeTest, DesktopTreeMapsSubsystemsToClasses) {
    test::SysFixture fx;
    fx.BuildDesktop();
    const std::vector<TDevice> list = ReadAll(fx.Source());
    std::vector<std::string> classes;
    for (const TDevice& d : list) classes.push_back(d.DeviceClassName);
    EXPECT_EQ(classes, (std::vector<std::string>{"Computer", "DiskDrive", "Display", "MEDIA", "Net", "pci", "pci"}));

    const TDevice* computer = FindClass(list, "Computer");
    ASSERT_TRUE(computer);
    EXPECT_EQ(computer->FriendlyName, "Lindqvist Computers Tower 5");
    EXPECT_EQ(computer->DeviceClass, kDeviceClassComputer);

    const TDevice* display = FindClass(list, "Display");
    ASSERT_TRUE(display);
    EXPECT_EQ(display->DeviceClass, kDeviceClassDisplay);
    EXPECT_EQ(display->FriendlyName, "Intel Corporation AlderLake-S GT1");
    EXPECT_EQ(display->Manufacturer, "Intel Corporation");
    EXPECT_EQ(display->Description, "8086:4680");
    EXPECT_EQ(display->Location, "pci-0000:00:02.0");
    EXPECT_EQ(display->HardwareID, "pci:v00008086d00004680sv00001043sd00008882bc03sc00i00");
    EXPECT_EQ(display->Driver, "i915");
    EXPECT_EQ(display->Service, "i915");
    EXPECT_EQ(display->DriverVersion, "6.1.0-18-amd64");  // the module has no version of its own
    EXPECT_EQ(display->RegKey, "/sys/devices/pci0000:00/0000:00:02.0");
    EXPECT_EQ(display->ClassGUID, "");
    EXPECT_EQ(display->DriverDate, "");
    EXPECT_EQ(display->ServiceType, 0);

    // The sound card: ALSA's long name, and a location from its bus even
    // without udev data.
    const TDevice* sound = FindClass(list, "MEDIA");
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->DeviceClass, kDeviceClassMedia);
    EXPECT_EQ(sound->FriendlyName, "HDA Intel PCH at 0x6001110000 irq 163");
    EXPECT_EQ(sound->Location, "PCI");
    EXPECT_EQ(sound->Driver, "snd_hda_intel");
    EXPECT_EQ(sound->DriverVersion, "0.9.1");
    EXPECT_EQ(sound->RegKey, "/sys/devices/pci0000:00/0000:00:1f.3/sound/card0");

    const TDevice* net = FindClass(list, "Net");
    ASSERT_TRUE(net);
    EXPECT_EQ(net->FriendlyName, "Ethernet Connection (17) I219-LM");
    EXPECT_EQ(net->Location, "pci-0000:00:1f.6");

    const TDevice* disk = FindClass(list, "DiskDrive");
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->Description, "Orbis SSD 1TB");
}

TEST(DevicesTreeTest, EmptyTreeListsNothing) {
    test::SysFixture fx;
    EXPECT_TRUE(ReadAll(fx.Source()).empty());
}

TEST(DevicesTreeTest, UdevTagsNameInputDevicesAndCdDrives) {
    test::SysFixture fx;
    fx.Write("/sys/devices/platform/i8042/serio0/input/input3/name", "AT Translated Set 2 keyboard\n");
    fx.Link("/sys/class/input/input3", "../../devices/platform/i8042/serio0/input/input3");
    fx.Link("/sys/devices/platform/i8042/serio0/input/input3/subsystem", "../../../../../../class/input");
    fx.Write("/run/udev/data/+input:input3", "E:ID_INPUT=1\nE:ID_INPUT_KEYBOARD=1\n");
    fx.Write("/sys/devices/virtual/input/input9/name", "Some Mouse\n");
    fx.Link("/sys/class/input/input9", "../../devices/virtual/input/input9");
    fx.Link("/sys/devices/virtual/input/input9/subsystem", "../../../../class/input");
    fx.Write("/run/udev/data/+input:input9", "E:ID_INPUT_MOUSE=1\n");
    fx.Write("/sys/devices/ata1/block/sr0/dev", "11:0\n");
    fx.Write("/sys/devices/ata1/block/sr0/device/model", "DVD-RW\n");
    fx.Link("/sys/class/block/sr0", "../../devices/ata1/block/sr0");
    fx.Write("/sys/class/power_supply/BAT0/type", "Battery\n");
    fx.Write("/sys/class/power_supply/AC/type", "Mains\n");
    const std::vector<TDevice> list = ReadAll(fx.Source());
    std::vector<std::string> classes;
    for (const TDevice& d : list) classes.push_back(d.DeviceClassName);
    EXPECT_EQ(classes, (std::vector<std::string>{"Battery", "CDROM", "Keyboard", "Mouse"}));
    EXPECT_EQ(FindClass(list, "Keyboard")->Description, "AT Translated Set 2 keyboard");
    EXPECT_EQ(FindClass(list, "CDROM")->Description, "DVD-RW");
}

}  // namespace
}  // namespace qv
