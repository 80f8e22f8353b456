// The computer: its name, user, up time, firmware strings, lock keys.
#pragma once

#include <string>

#include "sysinfo/MSI_Common.h"

namespace qv {

// Days since 1899-12-30, fractions giving the time of day.
using TDateTime = double;
inline constexpr TDateTime kUnixEpochDateTime = 25569.0;

class TMachine : public TInfoObject {
public:
    explicit TMachine(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TMachine"; }
    void GetInfo() override;

    std::string Name;
    std::string User;
    double SystemUpTime = 0;  // seconds since boot; 0 when unknown
    TDateTime LastBoot = 0;   // 0 when unknown
    std::string BIOSCopyright;     // the firmware version
    std::string BIOSDate;
    std::string BIOSExtendedInfo;  // the firmware's release ("5.17") where it gives one
    std::string BIOSName;          // the firmware vendor
    bool CapsLock = false, NumLock = false, ScrollLock = false;
    std::string Computer;          // maker and model of the machine
    std::string DELL_ServiceTag;   // no counterpart readable by users: ""
};

}  // namespace qv
