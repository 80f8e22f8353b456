// TMSI: the one object through which the program reads the machine's
// description. A 16-bit flag word selects the sub-objects; GetInfo
// refreshes them all in a fixed order, each through the guarded call.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sysinfo/MSI_Common.h"

namespace qv {

class TAPM;
class TCPU;
class TDevices;
class TDirectX;
class TDisk;
class TDisplay;
class TEngines;
class TMachine;
class TMedia;
class TMemory;
class TNetwork;
class TOperatingSystem;
class TPrinters;
class TProcesses;
class TSoftware;
class TStartup;

enum : std::uint16_t {
    msiCPU = 0x0001,
    msiMachine = 0x0002,
    msiDevices = 0x0004,
    msiDisplay = 0x0008,
    msiNetwork = 0x0010,
    msiMedia = 0x0020,
    msiMemory = 0x0040,
    msiEngines = 0x0080,
    msiAPM = 0x0100,
    msiDisk = 0x0200,
    msiDirectX = 0x0400,
    msiOperatingSystem = 0x0800,
    msiProcesses = 0x1000,
    msiPrinters = 0x2000,
    msiSoftware = 0x4000,
    msiStartup = 0x8000,
};

// The selection of the start-up report: CPU, Machine, Display, Media,
// Memory, DirectX, OperatingSystem.
inline constexpr std::uint16_t kStartupReportFlags = 0x0C6B;

// The order sub-objects are created in, and the order GetInfo refreshes them.
inline constexpr std::array<std::uint16_t, 16> kMSICreationOrder = {
    msiCPU,     msiMemory,  msiOperatingSystem, msiDisk,      msiMachine,  msiNetwork,  msiDisplay,  msiMedia,
    msiDevices, msiEngines, msiAPM,             msiDirectX,   msiProcesses, msiPrinters, msiSoftware, msiStartup};
inline constexpr std::array<std::uint16_t, 16> kMSIRefreshOrder = {
    msiDevices, msiCPU,     msiMemory, msiOperatingSystem, msiDisk,     msiMachine,  msiNetwork,  msiDisplay,
    msiMedia,   msiEngines, msiAPM,    msiDirectX,         msiProcesses, msiPrinters, msiSoftware, msiStartup};

// Makes the sub-object of one flag bit; nullptr for an area this build has
// no reader for.
using TMSIFactory = std::function<std::unique_ptr<TInfoObject>(std::uint16_t bit, const TSysSource& source)>;
std::unique_ptr<TInfoObject> CreateMSIObject(std::uint16_t bit, const TSysSource& source);

class TMSI {
public:
    explicit TMSI(std::uint16_t flags, const TSysSource& source = TSysSource::Machine(),
                  const TMSIFactory& factory = CreateMSIObject);
    ~TMSI();
    TMSI(const TMSI&) = delete;
    TMSI& operator=(const TMSI&) = delete;

    // Refreshes every sub-object, each through CallGetInfoGuarded with the
    // label "<class name>.GetInfo" and this object's mode; then points the
    // disk object at the system's root.
    void GetInfo();
    // Sets the mode here and in CPU, OperatingSystem and Network.
    void SetExceptionMode(TExceptionMode mode);
    TExceptionMode ExceptionMode() const { return exceptionMode_; }
    const std::string& About() const { return about_; }

    // The sub-object of a flag bit, or nullptr.
    TInfoObject* Object(std::uint16_t bit) const;
    TCPU* CPU() const;
    TMedia* Media() const;
    TDisplay* Display() const;
    TMemory* Memory() const;
    TOperatingSystem* OperatingSystem() const;
    TMachine* Machine() const;
    TDevices* Devices() const;
    TDirectX* DirectX() const;
    TNetwork* Network() const;
    TEngines* Engines() const;
    TAPM* APM() const;
    TDisk* Disk() const;
    TProcesses* Processes() const;
    TPrinters* Printers() const;
    TSoftware* Software() const;
    TStartup* Startup() const;

private:
    static int SlotOf(std::uint16_t bit);

    std::array<std::unique_ptr<TInfoObject>, 16> objects_;
    std::string about_;
    TExceptionMode exceptionMode_ = emMessage;
};

}  // namespace qv
