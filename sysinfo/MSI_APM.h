// Mains power and the battery, from the kernel's power supply class.
#pragma once

#include <cstdint>

#include "sysinfo/MSI_Common.h"

namespace qv {

enum class TPowerStatus : std::uint8_t { psUnknown, psOffline, psOnline };
using enum TPowerStatus;
enum class TBatteryStatus : std::uint8_t { bsUnknown, bsHigh, bsLow, bsCritical, bsCharging, bsNoBattery };
using enum TBatteryStatus;

// The battery flag byte of the power status record: 0 or 1 high, 2 low,
// 4 critical, 8 charging, 128 no battery, anything else unknown.
TBatteryStatus BatteryStatusFromFlag(std::uint8_t flag);

inline constexpr std::int32_t kBatteryPercentUnknown = 255;
inline constexpr std::int32_t kBatteryTimeUnknown = -1;

class TAPM : public TInfoObject {
public:
    explicit TAPM(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TAPM"; }
    void GetInfo() override;

    TPowerStatus ACPowerStatus = psUnknown;
    TBatteryStatus BatteryChargeStatus = bsUnknown;
    std::int32_t BatteryLifePercent = 0;    // 0-100; 255 when unknown
    std::int32_t BatteryLifeTime = 0;       // seconds left; -1 unless discharging
    std::int32_t BatteryLifeFullTime = 0;   // seconds on a full battery; -1 unless discharging
};

}  // namespace qv
