#include "frontend/qv3StartupReport.h"

#include <cmath>
#include <exception>
#include <vector>

#include "foundation/qv3Log.h"
#include "sysinfo/MSI_CPU.h"
#include "sysinfo/MSI_DirectX.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Media.h"
#include "sysinfo/MSI_Memory.h"
#include "sysinfo/MSI_OS.h"
#include "sysinfo/Syvex_Routines.h"

namespace qv {

namespace {

std::string Num(std::int64_t value) { return std::to_string(value); }

void DescribeMachine(const TSysSource& source, const TMSIFactory& factory, const TReportSink& write) {
    TMSI msi(kStartupReportFlags, source, factory);
    msi.SetExceptionMode(emSilent);
    msi.GetInfo();
    if (const TMachine* machine = msi.Machine()) {
        // Whole seconds, rounded half to even.
        const double upTime = std::nearbyint(machine->SystemUpTime);
        const std::int64_t seconds = upTime >= 0 && upTime < 9.0e15 ? static_cast<std::int64_t>(upTime) : 0;
        write("System Up Time: " + FormatDuration(true, false, false, seconds));
    }
    if (const TCPU* cpu = msi.CPU()) {
        write("(" + Num(cpu->Count) + "x)CPU: " + VendorAndName(cpu->Vendor, cpu->VendorID) + " - " + Num(cpu->Frequency) +
              " Mhz (" + cpu->CodeName + ")");
    }
    if (const TMemory* memory = msi.Memory()) {
        write("Memory: " + Num(memory->PhysicalTotal / 1024 / 1024) + " MB (" + Num(memory->PhysicalFree / 1024) +
              " KB free)");
        write("Memory Virtual: " + Num(memory->VirtualTotal / 1024 / 1024) + " MB (" +
              Num(memory->VirtualFree / 1024) + " KB free)");
        write("Memory Load: " + Num(memory->MemoryLoad) + "%");
    }
    if (const TOperatingSystem* os = msi.OperatingSystem()) {
        write("OS: " + ReadSystemUnit(source).OSName + " [" + Num(os->MajorVersion) + "." + Num(os->MinorVersion) +
              "." + Num(os->BuildNumber) + "]");
    }
    if (const TMedia* media = msi.Media(); media && !media->Devices.empty()) {
        // An index outside the list names the first device.
        const std::int32_t index = media->SoundCardIndex;
        const bool inside = index >= 0 && static_cast<std::size_t>(index) < media->Devices.size();
        write("Sound: " + media->Devices[inside ? static_cast<std::size_t>(index) : 0]);
    }
    if (const TDirectX* directX = msi.DirectX()) write("DirectX: " + directX->Version);
}

}  // namespace

void WriteStartupReport(const TReportVersion& version, const TReportSink& sink, const TSysSource& source,
                        const TMSIFactory& factory) {
    const TReportSink write = sink ? sink : [](const std::string& line) { LogMessage(line, lkInfo); };
    write("Company Name:" + version.CompanyName);
    write("File Version:" + version.FileVersion);
    write("Product Name:" + version.ProductName);
    write("Product Version:" + version.ProductVersion);
    write("Comments:" + version.Comments);
    write("Build Flags:" + version.BuildFlags);
    write("Retrieving system information...");
    std::string failure;
    try {
        DescribeMachine(source, factory, write);
        return;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown error";
    }
    write("Retrieving system information failed: " + failure);
}

}  // namespace qv
