#include "sysinfo/MSI_Network.h"

#include <algorithm>
#include <cctype>

#include "sysinfo/MSI_Devices.h"

namespace qv {

void TWinsock::GetInfo() {
    Description = "BSD sockets";
    Status = "Running";
    MajorVersion = 0;
    MinorVersion = 0;
}

std::string TNetwork::CardAdapter() const {
    if (CardAdapterIndex >= 0 && static_cast<std::size_t>(CardAdapterIndex) < Adapters.size())
        return Adapters[static_cast<std::size_t>(CardAdapterIndex)];
    if (!Adapters.empty()) return Adapters.front();
    return kAdapterNotDetected;
}

void TNetwork::GetInfo() {
    const TSysSource& source = Source();
    CallGetInfoGuarded("TWinsock.GetInfo", ExceptionMode, [this] { WinSock.GetInfo(); });

    IPAddresses.clear();
    for (const sysinfo::TNetInterface& i : source.Interfaces()) {
        if (!i.Up || i.Loopback) continue;
        for (const std::string& address : i.Addresses)
            if (std::find(IPAddresses.begin(), IPAddresses.end(), address) == IPAddresses.end())
                IPAddresses.push_back(address);
    }

    // Physical adapters are named as the device list names them.
    TDevices devices(source);
    devices.GetInfo();
    auto deviceName = [&](const std::string& sysPath) -> std::string {
        TDevice d;
        for (std::int32_t k = 0; k < devices.GetCount(); ++k) {
            devices.GetDevice(k, d);
            if (d.DeviceClassName == "Net" && d.RegKey == sysPath)
                return !d.FriendlyName.empty() ? d.FriendlyName : d.Description;
        }
        return {};
    };

    Adapters.clear();
    MACAddresses.clear();
    CardAdapterIndex = -1;
    for (const std::string& name : source.ListDir("/sys/class/net")) {
        const std::string path = "/sys/class/net/" + name;
        // Interfaces are folders; files beside them (bonding_masters) are controls.
        if (!source.IsDirectory(path)) continue;
        if (name == "lo" || source.ReadLine(path + "/type") == "772") continue;  // loopback
        const bool physical = source.Exists(path + "/device");
        std::string shown = physical ? deviceName(source.Resolve(path).value_or("")) : std::string();
        if (shown.empty()) shown = name;
        if (physical && CardAdapterIndex < 0) CardAdapterIndex = static_cast<std::int32_t>(Adapters.size());
        Adapters.push_back(shown);

        std::string mac = source.ReadLine(path + "/address");
        std::transform(mac.begin(), mac.end(), mac.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (mac.size() != 17 || mac == "00:00:00:00:00:00") continue;
        if (std::find(MACAddresses.begin(), MACAddresses.end(), mac) == MACAddresses.end())
            MACAddresses.push_back(mac);
    }

    // /proc/net/protocols: a header line, then one protocol a line.
    Protocols.clear();
    const std::string table = source.ReadText("/proc/net/protocols").value_or("");
    sysinfo::TLines lines(table);
    lines.Next();
    while (const auto line = lines.Next()) {
        const std::vector<std::string> fields = sysinfo::SplitFields(*line);
        if (!fields.empty() && std::find(Protocols.begin(), Protocols.end(), fields[0]) == Protocols.end())
            Protocols.push_back(fields[0]);
    }
    Services.clear();
    Clients.clear();
}

}  // namespace qv
