// The operating system: kernel version, distribution, folders, time zone,
// internet settings and the environment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sysinfo/MSI_Common.h"
#include "sysinfo/Syvex_Routines.h"

namespace qv {

class TTimeZone {
public:
    // Bias, StandardBias, DaylightBias in minutes west of UTC.
    std::int32_t StandardBias = 0, DaylightBias = 0, Bias = 0;
    std::string DisplayName;  // the zone's name ("Europe/Berlin")
    std::string StandardName;
    double DaylightStart = 0, StandardStart = 0;  // kept at 0
    std::string DaylightName;
    std::string MapID;  // no counterpart: ""

    void GetInfo(const TSysSource& source);
};

enum class TNtProductType : std::uint8_t { ptUnknown, ptWorkStation, ptServer, ptAdvancedServer };
using enum TNtProductType;
using TNTSuites = std::uint8_t;  // bit set of suSmallBusiness (0x1) … suDataCenter (0x80)

class TNTSpecific {
public:
    std::uint16_t ServicePackMinorVersion = 0, ServicePackMajorVersion = 0;
    TNtProductType ProductType = ptUnknown;
    TNTSuites InstalledSuites = 0;

    // There is no product type or service pack here: the values stay.
    void GetInfo(const TSysSource& source);
};

class TInternet {
public:
    std::string DefaultBrowser, ProxyServer, DefaultMailClient;
    TConnectionType ConnectionType = ctNone;

    void GetInfo(const TSysSource& source);
};

class TOperatingSystem : public TInfoObject {
public:
    explicit TOperatingSystem(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TOperatingSystem"; }
    void GetInfo() override;
    void SetExceptionMode(TExceptionMode mode) override { ExceptionMode = mode; }

    // The kernel release's first three numbers ("6.1.0-18-amd64"); the build
    // keeps its low 16 bits.
    std::int32_t BuildNumber = 0, MajorVersion = 0, MinorVersion = 0;
    std::string Platform;  // the kernel's name, "Linux"
    std::string CSD;       // the distribution's point release ("12.5")
    std::string Version;   // the kernel's build string
    std::string RegisteredUser, RegisteredOrg;  // no counterpart: ""
    std::vector<std::string> Environment;
    std::vector<std::string> Folders;  // "Name=path"
    TTimeZone TimeZone;
    TNTSpecific NTSpecific;
    std::string DVDRegion;  // no counterpart: ""
    TInternet Internet;
    TExceptionMode ExceptionMode = emMessage;
    std::string Edition;  // the release's code name ("bookworm")
};

// Major, minor and build of a kernel release text; missing numbers are 0.
struct TKernelVersion {
    std::int32_t Major = 0, Minor = 0, Build = 0;
};
TKernelVersion ParseKernelRelease(std::string_view release);

// The standard and daylight names and the bias (minutes west of UTC) of a
// POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3"); false when it is not one.
struct TPosixZone {
    std::string StandardName, DaylightName;
    std::int32_t BiasMinutes = 0;
};
bool ParsePosixZone(std::string_view rule, TPosixZone& zone);
// The rule at the end of a TZif file (version 2 or later); "" when none.
std::string TzifFooter(std::string_view file);

}  // namespace qv
