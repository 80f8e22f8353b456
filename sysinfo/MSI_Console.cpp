#include "sysinfo/MSI_Console.h"

#include <bit>

#include "sysinfo/MSI_APM.h"
#include "sysinfo/MSI_CPU.h"
#include "sysinfo/MSI_Devices.h"
#include "sysinfo/MSI_DirectX.h"
#include "sysinfo/MSI_Disk.h"
#include "sysinfo/MSI_Display.h"
#include "sysinfo/MSI_Engines.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Media.h"
#include "sysinfo/MSI_Memory.h"
#include "sysinfo/MSI_Network.h"
#include "sysinfo/MSI_OS.h"
#include "sysinfo/MSI_Printers.h"
#include "sysinfo/MSI_Processes.h"
#include "sysinfo/MSI_Software.h"
#include "sysinfo/MSI_Startup.h"

namespace qv {

std::unique_ptr<TInfoObject> CreateMSIObject(std::uint16_t bit, const TSysSource& source) {
    switch (bit) {
        case msiCPU:
            return std::make_unique<TCPU>(source);
        case msiMachine:
            return std::make_unique<TMachine>(source);
        case msiDevices:
            return std::make_unique<TDevices>(source);
        case msiDisplay:
            return std::make_unique<TDisplay>(source);
        case msiMedia:
            return std::make_unique<TMedia>(source);
        case msiMemory:
            return std::make_unique<TMemory>(source);
        case msiOperatingSystem:
            return std::make_unique<TOperatingSystem>(source);
        case msiDirectX:
            return std::make_unique<TDirectX>(source);
        case msiNetwork:
            return std::make_unique<TNetwork>(source);
        case msiEngines:
            return std::make_unique<TEngines>(source);
        case msiAPM:
            return std::make_unique<TAPM>(source);
        case msiDisk:
            return std::make_unique<TDisk>(source);
        case msiProcesses:
            return std::make_unique<TProcesses>(source);
        case msiPrinters:
            return std::make_unique<TPrinters>(source);
        case msiSoftware:
            return std::make_unique<TSoftware>(source);
        case msiStartup:
            return std::make_unique<TStartup>(source);
        default:
            return nullptr;
    }
}

TMSI::TMSI(std::uint16_t flags, const TSysSource& source, const TMSIFactory& factory)
    : about_("System Information Component 6.4") {
    for (std::uint16_t bit : kMSICreationOrder)
        if (flags & bit) objects_[static_cast<std::size_t>(SlotOf(bit))] = factory(bit, source);
}

TMSI::~TMSI() = default;

int TMSI::SlotOf(std::uint16_t bit) { return std::countr_zero(bit); }

TInfoObject* TMSI::Object(std::uint16_t bit) const {
    if (!std::has_single_bit(bit)) return nullptr;
    return objects_[static_cast<std::size_t>(SlotOf(bit))].get();
}

TCPU* TMSI::CPU() const { return dynamic_cast<TCPU*>(Object(msiCPU)); }
TOperatingSystem* TMSI::OperatingSystem() const {
    return dynamic_cast<TOperatingSystem*>(Object(msiOperatingSystem));
}
TMedia* TMSI::Media() const { return dynamic_cast<TMedia*>(Object(msiMedia)); }
TDisplay* TMSI::Display() const { return dynamic_cast<TDisplay*>(Object(msiDisplay)); }
TMemory* TMSI::Memory() const { return dynamic_cast<TMemory*>(Object(msiMemory)); }
TMachine* TMSI::Machine() const { return dynamic_cast<TMachine*>(Object(msiMachine)); }
TDevices* TMSI::Devices() const { return dynamic_cast<TDevices*>(Object(msiDevices)); }
TDirectX* TMSI::DirectX() const { return dynamic_cast<TDirectX*>(Object(msiDirectX)); }
TNetwork* TMSI::Network() const { return dynamic_cast<TNetwork*>(Object(msiNetwork)); }
TEngines* TMSI::Engines() const { return dynamic_cast<TEngines*>(Object(msiEngines)); }
TAPM* TMSI::APM() const { return dynamic_cast<TAPM*>(Object(msiAPM)); }
TDisk* TMSI::Disk() const { return dynamic_cast<TDisk*>(Object(msiDisk)); }
TProcesses* TMSI::Processes() const { return dynamic_cast<TProcesses*>(Object(msiProcesses)); }
TPrinters* TMSI::Printers() const { return dynamic_cast<TPrinters*>(Object(msiPrinters)); }
TSoftware* TMSI::Software() const { return dynamic_cast<TSoftware*>(Object(msiSoftware)); }
TStartup* TMSI::Startup() const { return dynamic_cast<TStartup*>(Object(msiStartup)); }

void TMSI::SetExceptionMode(TExceptionMode mode) {
    exceptionMode_ = mode;
    for (std::uint16_t bit : {msiOperatingSystem, msiNetwork, msiCPU})
        if (TInfoObject* object = Object(bit)) object->SetExceptionMode(mode);
}

void TMSI::GetInfo() {
    for (std::uint16_t bit : kMSIRefreshOrder) {
        TInfoObject* object = Object(bit);
        if (!object) continue;
        CallGetInfoGuarded(std::string(object->ClassName()) + ".GetInfo", exceptionMode_,
                           [object] { object->GetInfo(); });
    }
    // The disk the system lives on.
    if (TDisk* disk = Disk()) disk->SetDrive("/");
}

}  // namespace qv
