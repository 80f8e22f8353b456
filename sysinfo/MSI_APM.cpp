#include "sysinfo/MSI_APM.h"

#include <optional>
#include <string>

namespace qv {

namespace {

std::optional<std::int64_t> Number(const std::string& text) { return sysinfo::ParseNumber<std::int64_t>(text); }

// Seconds for `amount` (µWh or µAh) at `rate` (µW or µA).
std::int32_t Seconds(std::optional<std::int64_t> amount, std::optional<std::int64_t> rate) {
    if (!amount || !rate || *rate <= 0 || *amount < 0) return kBatteryTimeUnknown;
    const std::int64_t s = *amount * 3600 / *rate;
    return s > INT32_MAX ? kBatteryTimeUnknown : static_cast<std::int32_t>(s);
}

}  // namespace

TBatteryStatus BatteryStatusFromFlag(std::uint8_t flag) {
    switch (flag) {
        case 0:
        case 1: return bsHigh;
        case 2: return bsLow;
        case 4: return bsCritical;
        case 8: return bsCharging;
        case 128: return bsNoBattery;
        default: return bsUnknown;
    }
}

void TAPM::GetInfo() {
    const TSysSource& source = Source();
    ACPowerStatus = psUnknown;
    BatteryChargeStatus = bsNoBattery;
    BatteryLifePercent = kBatteryPercentUnknown;
    BatteryLifeTime = kBatteryTimeUnknown;
    BatteryLifeFullTime = kBatteryTimeUnknown;

    bool batterySeen = false;
    for (const std::string& name : source.ListDir("/sys/class/power_supply")) {
        const std::string path = "/sys/class/power_supply/" + name + "/";
        const std::string type = source.ReadLine(path + "type");
        if (type == "Mains") {
            const std::string online = source.ReadLine(path + "online");
            // Any mains supply online means the machine runs on mains.
            if (online == "1") ACPowerStatus = psOnline;
            else if (online == "0" && ACPowerStatus != psOnline) ACPowerStatus = psOffline;
        } else if (type == "Battery" && !batterySeen && source.ReadLine(path + "scope") != "Device") {
            // A battery of scope "Device" powers a mouse or a headset, not the machine.
            batterySeen = true;
            const std::string status = source.ReadLine(path + "status");
            const std::string level = source.ReadLine(path + "capacity_level");
            if (status == "Charging") BatteryChargeStatus = bsCharging;
            else if (level == "Critical") BatteryChargeStatus = bsCritical;
            else if (level == "Low") BatteryChargeStatus = bsLow;
            else if (level == "Normal" || level == "High" || level == "Full") BatteryChargeStatus = bsHigh;
            else BatteryChargeStatus = bsUnknown;

            if (auto percent = Number(source.ReadLine(path + "capacity")); percent && *percent >= 0 && *percent <= 100)
                BatteryLifePercent = static_cast<std::int32_t>(*percent);
            if (status == "Discharging") {
                auto read = [&](const char* file) { return Number(source.ReadLine(path + file)); };
                if (read("energy_now")) {
                    BatteryLifeTime = Seconds(read("energy_now"), read("power_now"));
                    BatteryLifeFullTime = Seconds(read("energy_full"), read("power_now"));
                } else {
                    BatteryLifeTime = Seconds(read("charge_now"), read("current_now"));
                    BatteryLifeFullTime = Seconds(read("charge_full"), read("current_now"));
                }
            }
        }
    }
}

}  // namespace qv
