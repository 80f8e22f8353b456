// The processor: count, CPUID signature and features, caches, a measured
// clock rate, and name, code name and transistor count from a table of
// the processors the table knows.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "sysinfo/MSI_Common.h"

namespace qv {

using TCpuidFn = std::function<sysinfo::TCpuidRegs(std::uint32_t leaf)>;

struct TCPUFeatures {
    bool SEP = false, MTRR = false, MSR = false, PSE = false, TSC = false, MCE = false, MMX = false, PAT = false,
         PAE = false, XSR = false, VME = false, PGE = false, CMOV = false, FPU = false, CX8 = false, SIMD = false,
         MCA = false, APIC = false, DE = false, PSE36 = false, SERIAL = false, _3DNOW = false, EX_3DNOW = false,
         EX_MMX = false;
    std::array<std::uint32_t, 4> FeatureRegs{};  // EAX, EBX, ECX, EDX of the last leaf read

    void GetInfo(const TCpuidFn& cpuid);
};

struct TCPUCache {
    std::int32_t Level2 = 0, Level1 = 0, L1Data = 0, L1Code = 0;  // KB
    struct {
        std::int32_t L2 = 0;
        std::array<std::uint32_t, 4> Regs{};  // leaf 2 as last executed
    } Intel;
    struct {
        std::uint32_t Ebx = 0, Ecx = 0, Edx = 0;  // 0x80000005, EBX halves swapped
    } AMD;
    struct {
        std::uint32_t Ecx = 0, Ebx = 0;
    } Cyrix;

    void GetInfo(const TCpuidFn& cpuid, std::int32_t vendorIndex);
};

// The result of one speed measurement.
struct TCPUSpeed {
    std::uint32_t RawMHz = 0;
    std::uint32_t NormalisedMHz = 0;
    std::uint64_t TotalTicks = 0;
    std::uint64_t TotalMicroseconds = 0;
};

// Times the time stamp counter against `clock`'s counter, read as a
// 1 MHz counter: passes of 50 then 1000 counts, at most 20 passes,
// stopping once three rates agree. All zeros without a counter, when a
// pass measures no time, or when the counter stands still.
TCPUSpeed MeasureCPUSpeed(sys::IClock& clock, const std::function<std::uint64_t()>& readTsc);
// Snaps a MHz value to the nearest of x00, x20, x33, x50, x60, x66, x80,
// x90 and the next hundred; a tie snaps upward.
std::int32_t SnapFrequency(std::int32_t mhz);

struct TCPUName {
    std::string VendorID;
    std::string CodeName;
    std::int32_t Transistors = 0;
};
TCPUName LookupCPUName(std::int32_t vendorIndex, std::int32_t family, std::int32_t model, std::int32_t brandIndex,
                       std::int32_t processorType, std::int32_t level2, std::int32_t frequency);

std::string GetCPUSerialNumber(const TCpuidFn& cpuid);
std::string GetCPUBrandString(const TCpuidFn& cpuid);
bool TestFDIVBug();

class TCPU : public TInfoObject {
public:
    explicit TCPU(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TCPU"; }
    void GetInfo() override;
    void SetExceptionMode(TExceptionMode mode) override { ExceptionMode = mode; }

    std::int32_t Frequency = 0;  // MHz
    TCPUFeatures Features;
    std::string RegVendorIdentifier;  // /proc/cpuinfo "vendor_id"
    std::string RegIdentifier;        // "x86 Family 6 Model 167 Stepping 1"
    std::int32_t Count = 0;
    std::int32_t Family = 0, Stepping = 0, Model = 0;
    std::string VendorID;  // the processor's name
    std::string Vendor;
    std::int32_t ProcessorType = 0;
    std::int32_t HighestLeaf = 0;
    TCPUCache Cache;
    std::string SerialNumber;
    bool FDIVBug = false;
    std::string VendorSignature;
    std::string BrandString;
    std::int32_t BrandIndex = 0;
    std::int32_t VendorIndex = 0;
    std::string CodeName;
    std::int32_t Transistors = 0;
    std::string VendorEx;
    TExceptionMode ExceptionMode = emMessage;
    std::array<std::uint32_t, 4> SignatureRegs{};
};

// "<vendor> <name>" as the start-up report shows a processor; the vendor is
// left out when the name already starts with it ("AMD EPYC 7B13").
std::string VendorAndName(const std::string& vendor, const std::string& name);

}  // namespace qv
