#include "sysinfo/MSI_Console.h"

#include <bit>

#include "sysinfo/MSI_CPU.h"
#include "sysinfo/MSI_Devices.h"
#include "sysinfo/MSI_DirectX.h"
#include "sysinfo/MSI_Display.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Media.h"
#include "sysinfo/MSI_Memory.h"
#include "sysinfo/MSI_OS.h"

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
}

}  // namespace qv
