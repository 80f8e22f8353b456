#include "sysinfo/MSI_Machine.h"

#include <cstdlib>

#include "sysinfo/MSI_Devices.h"
#include "sysinfo/Syvex_Routines.h"

namespace qv {

namespace {

// Whether any keyboard LED of the kind ("capslock") is lit.
bool LedOn(const TSysSource& source, const std::string& kind) {
    const std::string suffix = "::" + kind;
    for (const std::string& led : source.ListDir("/sys/class/leds")) {
        if (led.size() <= suffix.size() || led.compare(led.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string brightness = source.ReadLine("/sys/class/leds/" + led + "/brightness");
        if (!brightness.empty() && brightness != "0") return true;
    }
    return false;
}

}  // namespace

void TMachine::GetInfo() {
    const TSysSource& source = Source();
    SystemUpTime = 0;
    LastBoot = 0;
    const std::string upTime = source.ReadLine("/proc/uptime");
    if (!upTime.empty()) {
        // "<up> <idle>": the first field.
        const std::vector<std::string> fields = sysinfo::SplitFields(upTime);
        const std::optional<double> seconds = fields.empty() ? std::nullopt : sysinfo::ParseDecimal(fields[0]);
        if (seconds && *seconds >= 0 && *seconds < 1e12) {
            SystemUpTime = *seconds;
            LastBoot = (source.Now() - *seconds) / 86400.0 + kUnixEpochDateTime;
        }
    }
    Name = GetMachineName(source);
    User = GetCurrentUser(source);

    BIOSName = source.ReadLine("/sys/class/dmi/id/bios_vendor");
    BIOSCopyright = source.ReadLine("/sys/class/dmi/id/bios_version");
    BIOSDate = source.ReadLine("/sys/class/dmi/id/bios_date");
    BIOSExtendedInfo = source.ReadLine("/sys/class/dmi/id/bios_release");
    DELL_ServiceTag.clear();

    CapsLock = LedOn(source, "capslock");
    NumLock = LedOn(source, "numlock");
    ScrollLock = LedOn(source, "scrolllock");

    Computer.clear();
    TDevices devices(source);
    devices.GetInfo();
    for (std::int32_t i = 0; i < devices.DeviceCount() && Computer.empty(); ++i) {
        TDevice device;
        devices.GetDevice(i, device);
        if (device.DeviceClass != kDeviceClassComputer) continue;
        Computer = device.FriendlyName.empty() ? device.Description : device.FriendlyName;
        // Only the first collected text counts, empty or not.
        break;
    }
}

}  // namespace qv
