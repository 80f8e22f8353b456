#include "sysinfo/MSI_Devices.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "foundation/TextUtil.h"

namespace qv {

using sysinfo::ParseUdevProperties;
using sysinfo::TrimBlanks;

namespace {

using TProps = std::map<std::string, std::string>;

std::string BaseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string Prop(const TProps& props, const char* key) {
    auto it = props.find(key);
    return it == props.end() ? "" : it->second;
}

// Reads one sysfs device for the list.
class TDeviceReader {
public:
    explicit TDeviceReader(const TSysSource& source)
        : source_(source), kernelRelease_(source.ReadLine("/proc/sys/kernel/osrelease")) {}

    // The record of the device at `path` (a class entry or a bus device).
    std::optional<TDevice> Read(const std::string& path, const std::string& className) const {
        std::optional<std::string> sys = source_.Resolve(path);
        if (!sys) return std::nullopt;
        std::string device = *sys;
        // "device" links a class entry to its hardware; on a bus device it
        // may be an attribute file instead.
        if (std::optional<std::string> parent = source_.Resolve(*sys + "/device");
            parent && source_.IsDirectory(*parent))
            device = *parent;
        const TProps props = Props(*sys, device);

        TDevice d;
        d.DeviceClassName = className;
        d.RegKey = *sys;
        const std::string vendorDb = Prop(props, "ID_VENDOR_FROM_DATABASE");
        const std::string modelDb = Prop(props, "ID_MODEL_FROM_DATABASE");
        d.FriendlyName = vendorDb.empty() || modelDb.empty() ? modelDb : vendorDb + " " + modelDb;
        d.Description = FirstAttr({*sys, device}, {"product", "model", "name"});
        if (d.Description.empty()) d.Description = Prop(props, "ID_MODEL");
        if (d.Description.empty()) d.Description = PciIds(device);
        d.Manufacturer = vendorDb.empty() ? FirstAttr({*sys, device}, {"manufacturer", "vendor_name"}) : vendorDb;
        d.Location = Prop(props, "ID_PATH");
        if (d.Location.empty()) {
            if (std::optional<std::string> bus = source_.Resolve(device + "/subsystem"))
                d.Location = UpperAscii(BaseName(*bus));
        }
        d.HardwareID = source_.ReadLine(device + "/modalias");
        if (d.HardwareID.empty()) d.HardwareID = source_.ReadLine(*sys + "/modalias");
        if (std::optional<std::string> driver = source_.ReadLink(device + "/driver")) {
            d.Driver = BaseName(*driver);
            if (std::optional<std::string> module = source_.Resolve(device + "/driver/module"))
                d.Service = BaseName(*module);
            const std::string moduleVersion =
                d.Service.empty() ? "" : source_.ReadLine("/sys/module/" + d.Service + "/version");
            d.DriverVersion = moduleVersion.empty() ? kernelRelease_ : moduleVersion;
        }
        d.DeviceClass = TDevices::GetDeviceClass(d.DeviceClassName);
        return d;
    }

    // udev's properties of the device and of its parent device.
    TProps Props(const std::string& sys, const std::string& device) const {
        TProps props = UdevProps(sys);
        if (device != sys) props.merge(UdevProps(device));
        return props;
    }

    TProps UdevProps(const std::string& sys) const {
        std::string id;
        const std::string subsystem = Subsystem(sys);
        const std::string dev = source_.ReadLine(sys + "/dev");
        if (!dev.empty()) {
            id = (subsystem == "block" ? "b" : "c") + dev;
        } else if (subsystem == "net") {
            const std::string index = source_.ReadLine(sys + "/ifindex");
            if (!index.empty()) id = "n" + index;
        }
        if (id.empty()) id = "+" + subsystem + ":" + BaseName(sys);
        std::optional<std::string> text = source_.ReadText("/run/udev/data/" + id, 256 * 1024);
        return text ? ParseUdevProperties(*text) : TProps{};
    }

    std::string Subsystem(const std::string& sys) const {
        std::optional<std::string> link = source_.ReadLink(sys + "/subsystem");
        return link ? BaseName(*link) : "";
    }

    std::string FirstAttr(std::initializer_list<std::string> dirs, std::initializer_list<const char*> names) const {
        for (const std::string& dir : dirs)
            for (const char* name : names) {
                std::string value = source_.ReadLine(dir + "/" + name);
                if (!value.empty()) return value;
            }
        return "";
    }

    // "8086:a0c8" for a PCI device.
    std::string PciIds(const std::string& device) const {
        std::string vendor = source_.ReadLine(device + "/vendor");
        std::string product = source_.ReadLine(device + "/device");
        if (vendor.size() < 3 || product.size() < 3 || vendor.rfind("0x", 0) != 0 || product.rfind("0x", 0) != 0)
            return "";
        return vendor.substr(2) + ":" + product.substr(2);
    }

private:
    const TSysSource& source_;
    std::string kernelRelease_;
};

}  // namespace

std::uint8_t TDevices::GetDeviceClass(std::string_view className) {
    const std::string upper = UpperAscii(className);
    for (std::uint8_t i = 0; i < 37; ++i) {
        const std::string entry = UpperAscii(kDeviceClassNames[i]);
        if (upper.rfind(entry, 0) == 0) return i;
    }
    return kDeviceClassUnknown;
}

void TDevices::GetInfo() {
    Enumerate();
    Sort();
    deviceCount_ = GetCount();
}

void TDevices::GetDevice(std::int32_t index, TDevice& device) const {
    if (index < 0 || index >= GetCount()) return;
    device = records_[static_cast<std::size_t>(index)];
}

void TDevices::Clear() {
    while (!records_.empty()) records_.pop_back();
    deviceCount_ = 0;
}

void TDevices::Add(TDevice device) {
    if (TrimBlanks(device.DeviceClassName).empty()) return;
    device.DeviceClass = GetDeviceClass(device.DeviceClassName);
    records_.push_back(std::move(device));
}

void TDevices::Sort() {
    std::stable_sort(records_.begin(), records_.end(), [](const TDevice& a, const TDevice& b) {
        return LowerAscii(a.DeviceClassName) < LowerAscii(b.DeviceClassName);
    });
}

void TDevices::Enumerate() {
    Clear();
    const TSysSource& source = Source();
    const TDeviceReader reader(source);
    auto add = [&](const std::string& path, const std::string& className) {
        if (std::optional<TDevice> device = reader.Read(path, className)) Add(std::move(*device));
    };

    // The machine itself.
    if (source.IsDirectory("/sys/class/dmi/id")) {
        TDevice computer;
        computer.DeviceClassName = "Computer";
        computer.RegKey = "/sys/class/dmi/id";
        const std::string vendor = source.ReadLine("/sys/class/dmi/id/sys_vendor");
        const std::string product = source.ReadLine("/sys/class/dmi/id/product_name");
        computer.FriendlyName = TrimBlanks(vendor + " " + product);
        computer.Description = product;
        computer.Manufacturer = vendor;
        computer.HardwareID = source.ReadLine("/sys/class/dmi/id/modalias");
        computer.Location = "DMI";
        Add(std::move(computer));
    }

    // PCI: display adapters by class code, the rest under the bus name.
    for (const std::string& name : source.ListDir("/sys/bus/pci/devices")) {
        const std::string path = "/sys/bus/pci/devices/" + name;
        const std::string pciClass = source.ReadLine(path + "/class");
        add(path, pciClass.rfind("0x03", 0) == 0 ? "Display" : "pci");
    }

    // Sound cards, named by ALSA's long name.
    const std::vector<sysinfo::TAlsaCard> cards =
        sysinfo::ParseAlsaCards(source.ReadText("/proc/asound/cards").value_or(""));
    for (const std::string& name : source.ListDir("/sys/class/sound")) {
        // "card<n>"; a number out of range is no card of ours.
        const std::optional<int> index =
            name.rfind("card", 0) == 0 ? sysinfo::ParseNumber<int>(std::string_view(name).substr(4)) : std::nullopt;
        if (!index || *index < 0) continue;
        std::optional<TDevice> device = reader.Read("/sys/class/sound/" + name, "MEDIA");
        if (!device) continue;
        for (const sysinfo::TAlsaCard& card : cards)
            if (card.Index == *index) {
                if (!card.LongName.empty()) device->FriendlyName = card.LongName;
                if (device->Description.empty()) device->Description = card.ShortName;
            }
        Add(std::move(*device));
    }

    for (const std::string& name : source.ListDir("/sys/class/net"))
        if (source.Exists("/sys/class/net/" + name + "/device")) add("/sys/class/net/" + name, "Net");

    for (const std::string& name : source.ListDir("/sys/class/block")) {
        const std::string path = "/sys/class/block/" + name;
        if (source.Exists(path + "/partition") || !source.Exists(path + "/device")) continue;
        std::optional<std::string> sys = source.Resolve(path);
        const bool cdrom =
            name.rfind("sr", 0) == 0 || (sys && Prop(reader.UdevProps(*sys), "ID_CDROM") == "1");
        add(path, cdrom ? "CDROM" : "DiskDrive");
    }

    for (const std::string& name : source.ListDir("/sys/class/input")) {
        if (name.rfind("input", 0) != 0) continue;
        const std::string path = "/sys/class/input/" + name;
        std::optional<std::string> sys = source.Resolve(path);
        if (!sys) continue;
        const TProps props = reader.UdevProps(*sys);
        if (Prop(props, "ID_INPUT_KEYBOARD") == "1") add(path, "Keyboard");
        else if (Prop(props, "ID_INPUT_MOUSE") == "1") add(path, "Mouse");
        else add(path, "input");
    }

    for (const std::string& name : source.ListDir("/sys/bus/hid/devices")) add("/sys/bus/hid/devices/" + name, "HID");

    for (const std::string& name : source.ListDir("/sys/bus/usb/devices"))
        if (name.find(':') == std::string::npos) add("/sys/bus/usb/devices/" + name, "USB");

    for (const std::string& name : source.ListDir("/sys/class/power_supply")) {
        const std::string path = "/sys/class/power_supply/" + name;
        if (source.ReadLine(path + "/type") == "Battery") add(path, "Battery");
    }

    for (const std::string& name : source.ListDir("/sys/class/tty")) {
        const std::string path = "/sys/class/tty/" + name;
        if (!source.Exists(path + "/device") || source.ReadLine(path + "/type") == "0") continue;
        add(path, "Ports");
    }

    for (const std::string& name : source.ListDir("/sys/class/usbmisc"))
        if (name.rfind("lp", 0) == 0) add("/sys/class/usbmisc/" + name, "Printer");
    for (const std::string& name : source.ListDir("/sys/class/printer")) add("/sys/class/printer/" + name, "Printer");

    for (const std::string& name : source.ListDir("/sys/class/scsi_host"))
        add("/sys/class/scsi_host/" + name, "SCSIAdapter");
    for (const std::string& name : source.ListDir("/sys/class/video4linux"))
        add("/sys/class/video4linux/" + name, "Image");
    for (const std::string& name : source.ListDir("/sys/bus/firewire/devices"))
        add("/sys/bus/firewire/devices/" + name, "1394");
    for (const std::string& name : source.ListDir("/sys/class/bluetooth"))
        add("/sys/class/bluetooth/" + name, "bluetooth");
    for (const std::string& name : source.ListDir("/sys/bus/pcmcia/devices"))
        add("/sys/bus/pcmcia/devices/" + name, "PCMCIA");

    // Monitors: connectors of a graphics card that carry an EDID.
    for (const std::string& name : source.ListDir("/sys/class/drm")) {
        const std::string path = "/sys/class/drm/" + name;
        if (name.find('-') == std::string::npos) continue;
        std::optional<std::string> edid = source.ReadText(path + "/edid", 4096);
        if (!edid || edid->empty()) continue;
        std::optional<TDevice> monitor = reader.Read(path, "Monitor");
        if (!monitor) continue;
        monitor->Description = name.substr(name.find('-') + 1);
        Add(std::move(*monitor));
    }
}

}  // namespace qv
