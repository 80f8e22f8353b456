#include "sysinfo/MSI_CPU.h"

#include <sched.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/TextUtil.h"

namespace qv {

namespace {

struct TVendorRow {
    const char* Signature;
    const char* Vendor;
    const char* VendorEx;
};

// Row 6's signature is stored with 11 characters; the one read from the
// processor has 12, so it is padded with a blank here.
constexpr TVendorRow kVendors[7] = {
    {"GenuineIntel", "Intel", "Intel Corporation"},
    {"AuthenticAMD", "AMD", "Advanced Micro Devices"},
    {"CyrixInstead", "Cyrix", "Cyrix Corporation"},
    {"CentaurHauls", "IDT", "IDT/Centaur"},
    {"NexGenDriven", "NexGen", "NexGen Inc."},
    {"UMC UMC UMC ", "UMC", "United Microelectronics Corp"},
    {"RiseRiseRise", "Rise", "Rise Technology"},
};

bool Bit(std::uint32_t value, int bit) { return ((value >> bit) & 1u) != 0; }

// a / b rounded to the nearest integer, halves to the even neighbour.
std::uint64_t RoundDiv(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t q = a / b, r = a % b;
    if (r > b - r || (r == b - r && (q & 1u))) return q + 1;
    return q;
}

// The clock's counter as a 1 MHz counter.
class TMicrosecondCounter {
public:
    explicit TMicrosecondCounter(sys::IClock& clock) : clock_(clock) {
        ok_ = clock_.QueryPerformanceFrequency(frequency_) && frequency_ > 0;
    }
    bool Ok() const { return ok_; }
    std::int64_t Frequency() const { return frequency_ >= 1'000'000 ? 1'000'000 : frequency_; }
    bool Read(std::int64_t& count) {
        std::int64_t raw = 0;
        if (!clock_.QueryPerformanceCounter(raw)) return false;
        count = frequency_ > 1'000'000 ? static_cast<std::int64_t>(static_cast<long double>(raw) * 1'000'000 / frequency_)
                                       : raw;
        return true;
    }

private:
    sys::IClock& clock_;
    std::int64_t frequency_ = 0;
    bool ok_ = false;
};

// Keeps the calling thread on the processor it runs on while it measures.
class TPinnedThread {
public:
    TPinnedThread() {
        const int cpu = ::sched_getcpu();
        if (cpu < 0 || ::sched_getaffinity(0, sizeof old_, &old_) != 0) return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pinned_ = ::sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~TPinnedThread() {
        if (pinned_) ::sched_setaffinity(0, sizeof old_, &old_);
    }
    TPinnedThread(const TPinnedThread&) = delete;
    TPinnedThread& operator=(const TPinnedThread&) = delete;

private:
    cpu_set_t old_{};
    bool pinned_ = false;
};

// Polls before a counter reading counts as standing still.
constexpr long kMaxPolls = 5'000'000;

}  // namespace

TCPUSpeed MeasureCPUSpeed(sys::IClock& clock, const std::function<std::uint64_t()>& readTsc) {
    TCPUSpeed speed;
    TMicrosecondCounter counter(clock);
    if (!counter.Ok()) return speed;
    const std::int64_t tenth = counter.Frequency() / 10;
    if (tenth <= 0) return speed;
    std::uint64_t totalTicks = 0, totalMicroseconds = 0;
    std::uint32_t rates[3] = {0, 0, 0};  // the last three pass rates, oldest first
    for (int pass = 1; pass <= 20; ++pass) {
        std::int64_t start = 0, now = 0;
        if (!counter.Read(start)) return TCPUSpeed{};
        std::uint32_t stamp = 0;
        long polls = 0;
        do {
            if (!counter.Read(now) || ++polls > kMaxPolls) return TCPUSpeed{};
            stamp = static_cast<std::uint32_t>(readTsc());
        } while (now - start < 50);
        start = now;
        const std::uint32_t first = stamp;
        polls = 0;
        do {
            if (!counter.Read(now) || ++polls > kMaxPolls) return TCPUSpeed{};
            stamp = static_cast<std::uint32_t>(readTsc());
        } while (now - start < 1000);
        const std::uint64_t ticks = static_cast<std::uint32_t>(stamp - first);
        const std::uint64_t microseconds =
            RoundDiv(static_cast<std::uint64_t>(now - start) * 100000u, static_cast<std::uint64_t>(tenth));
        if (microseconds == 0) return TCPUSpeed{};
        totalTicks += ticks;
        totalMicroseconds += microseconds;
        rates[0] = rates[1];
        rates[1] = rates[2];
        rates[2] = static_cast<std::uint32_t>(RoundDiv(ticks, microseconds));
        if (pass >= 3) {
            const std::int64_t sum = std::int64_t{rates[0]} + rates[1] + rates[2];
            bool agree = true;
            for (std::uint32_t r : rates) agree = agree && std::llabs(3 * std::int64_t{r} - sum) <= 3;
            if (agree) break;
        }
    }
    std::uint64_t tenths = RoundDiv(totalTicks * 10, totalMicroseconds);
    const std::uint64_t hundredths = RoundDiv(totalTicks * 100, totalMicroseconds);
    if (static_cast<std::int64_t>(hundredths) - 10 * static_cast<std::int64_t>(tenths) >= 6) ++tenths;
    const std::uint64_t raw = RoundDiv(totalTicks, totalMicroseconds);
    std::uint64_t normalised = raw;
    if (static_cast<std::int64_t>(tenths) - 10 * static_cast<std::int64_t>(raw) >= 6) ++normalised;
    speed.RawMHz = static_cast<std::uint32_t>(std::min<std::uint64_t>(raw, INT32_MAX));
    speed.NormalisedMHz =
        static_cast<std::uint32_t>(SnapFrequency(static_cast<std::int32_t>(std::min<std::uint64_t>(normalised, 2'000'000'000))));
    speed.TotalTicks = totalTicks;
    speed.TotalMicroseconds = totalMicroseconds;
    return speed;
}

std::int32_t SnapFrequency(std::int32_t f) {
    static constexpr std::int32_t kPoints[9] = {0, 20, 33, 50, 60, 66, 80, 90, 100};
    const std::int32_t r = f % 100;
    for (int i = 1; i < 9; ++i) {
        const std::int32_t p = kPoints[i];
        if (r < p) {
            const std::int32_t q = kPoints[i - 1];
            return r - q < p - r ? f - (r - q) : f + (p - r);
        }
    }
    return f;
}

TCPUName LookupCPUName(std::int32_t vendorIndex, std::int32_t family, std::int32_t model, std::int32_t brandIndex,
                       std::int32_t processorType, std::int32_t level2, std::int32_t frequency) {
    auto name = [](const char* id, const char* code, std::int32_t transistors) {
        return TCPUName{id, code, transistors};
    };
    switch (vendorIndex) {
        case 1:  // Intel
            if (family == 4) {
                switch (model) {
                    case 0: case 1: return name("i80486DX", "P4", 1250000);
                    case 2: return name("i80486SX", "P23", 900000);
                    case 3: return name("i80486DX2", "P24", 1250000);
                    case 4: return name("i80486SL", "P23", 900000);
                    case 5: return name("i80486SX2", "P23", 900000);
                    case 7: return name("i80486DX2WB", "P24", 1250000);
                    case 8: return name("i80486DX4", "P24C", 1600000);
                    case 9: return name("i80486DX4WB", "P24C", 1600000);
                    default: return {};
                }
            }
            if (family == 5) {
                switch (model) {
                    case 0: return name("Pentium", "P5 (0,80µm)", 3100000);
                    case 1: case 2: return name("Pentium", "P54C (0,50µm)", 3100000);
                    case 3: return name("Pentium", "P24T", 0);
                    case 4: return name("Pentium MMX", "P55C (0,28µm)", 4500000);
                    case 5: return name("DX4", "", 0);
                    case 6: return name("Pentium", "P5", 0);
                    case 7: return name("Pentium", "P54C (0,35µm)", 3100000);
                    case 8: return name("Pentium MMX (mobile)", "Tillamook (0,25µm)", 4500000);
                    default: return model > 8 ? name("Pentium", "", 0) : TCPUName{};
                }
            }
            if (family == 6) {
                switch (model) {
                    case 0: return name("Pentium Pro", "P6 (0.50 µm)", 5500000);
                    case 1: return name("Pentium Pro", "P6 (0.35 µm)", 5500000);
                    case 3:
                        return name(processorType == 1 ? "Pentium II OverDrive" : "Pentium II",
                                    level2 == 333 ? "P6T (0.25 µm)" : "Klamath (0.35 µm)", 7500000);
                    case 4: return name("Pentium II", "P55CT (P54 OverDrive)", 3100000);
                    case 5:
                        if (level2 > 512) return name("Pentium II Xeon", "Deschutes (0.25 µm)", 7500000);
                        if (level2 == 0) return name("Celeron", "Covington (0,25µm)", 7500000);
                        return name("Pentium II", "Deschutes (0,25µm)", 7500000);
                    case 6:
                        if (level2 < 256) return name("Celeron A", "Mendocino (0.25 µm)", 19000000);
                        return name("Pentium II PE (mobile)", "Dixon (0.25 µm)", 27400000);
                    case 7:
                        if (level2 > 512) return name("Pentium III Xeon", "Tanner (0.25 µm)", 9500000);
                        return name("Pentium III", "Katmai (0.25 µm)", 9500000);
                    case 8: return name("Pentium III E", "Coppermine (0.18 µm)", 28100000);
                    default: return model == 2 || model > 8 ? name("Pentium II", "", 0) : TCPUName{};
                }
            }
            if (family == 7 || family == 8) {
                if (brandIndex == 1) return name("Celeron", "", 0);
                if (brandIndex == 3) return name("Pentium III Xeon", "", 0);
                if (brandIndex == 4) return name("Pentium IV", "", 0);
                return name(level2 >= 1024 ? "Pentium III Xeon" : "Pentium III", "", 0);
            }
            if (family == 10) return name("Pentium III Xeon", "", 0);
            if (family == 15) return name("Pentium IV", "", 0);
            return {};
        case 2:  // AMD
            if (family == 4) {
                switch (model) {
                    case 0: return name("Am486DX", "P4", 1250000);
                    case 3: case 7: return name("Am486DX2", "P24", 1250000);
                    case 8: case 9: return name("Am486DX4", "P24C", 1250000);
                    case 14: case 15: return name("Am5x86", "X5", 1600000);
                    default: return {};
                }
            }
            if (family == 5) {
                switch (model) {
                    case 0: return name("K5", "SSA5 (0.50-0.35 µm)", 4300000);
                    case 1: case 2: case 3: return name("K5-5k86 (PR120, PR133)", "5k86 (0.35 µm)", 4300000);
                    case 6: return name("K6", "K6 (0.30 µm)", 8800000);
                    case 7: return name("K6", "Little Foot (0.25 µm)", 8800000);
                    case 8: return name("K6-II", "Chomper (0.25 µm)", 9300000);
                    case 9: return name("K6-III", "Slarptooth (0.25 µm)", 21300000);
                    case 13: return name("K6-II+/K6-III+", "", 0);
                    default: return {};
                }
            }
            if (family == 6) return name("K7", "Athlon (0.25-0.18 µm)", 22000000);
            return {};
        case 3:  // Cyrix
            if (family == 4) {
                if (model == 0) {
                    TCPUName result;
                    if (frequency == 20 || frequency == 66) result = name("Cx486SLC/DLC", "M0.5", 600000);
                    if (frequency == 33 || frequency == 50) result = name("Cx486S", "M0.6", 600000);
                    if (frequency > 66) result = name("Cx486DX/DX2/DX4", "M0.7", 1100000);
                    return result;
                }
                if (model == 4) return name("Media GX", "Gx86", 24000000);
                if (model == 9) return name("5x86", "M0.9 or M1sc (0.65 µm)", 20000000);
                return {};
            }
            if (family == 5) {
                if (model == 2) return name("6x86 and 6x86L", "M1 (0.65 µm) and M1L (0.35 µm)", 30000000);
                if (model == 4) return name("MediaGXm", "GXm", 24000000);
                return {};
            }
            if (family == 6) {
                if (model == 0)
                    return frequency >= 225 ? name("M-II (PR300-433)", "M2 (0.35-0.25 µm)", 65000000)
                                            : name("6x86MX (PR166-266)", "M2 (0.35 µm)", 65000000);
                if (model == 5) return name("VIA Cyrix III", "", 0);
            }
            return {};
        case 4:  // IDT
            if (family != 5) return {};
            if (model == 4) return name("WinChip", "C6 (0.35 µm)", 54000000);
            if (model == 8) return name("WinChip 2x", "W2x (0.35-0.25 µm)", 59000000);
            if (model == 9) return name("WinChip 3", "W3 (0.25 µm)", 90000000);
            return {};
        case 5:  // NexGen
            if (family != 5) return {};
            if (model == 0) return name("Nx586", "Nx5x86 (0.50-0.44 µm)", 35000000);
            if (model == 6) return name("Nx686", "HA (0,50µm)", 60000000);
            return {};
        case 6: {  // UMC
            if (family != 4) return {};
            static constexpr const char* kNames[5] = {"", "U5D", "U5S", "U486DX2", "U486SX2"};
            return name(model >= 1 && model <= 4 ? kNames[model] : "", "U5D and U5S", 12000000);
        }
        case 7:  // Rise
            if (family == 4 && (model == 0 || model == 2)) return name("mP6", "mP6 (0.25-0.18 µm)", 36000000);
            return {};
        default:
            return {};
    }
}

std::string GetCPUSerialNumber(const TCpuidFn& cpuid) {
    const sysinfo::TCpuidRegs regs = cpuid(1);
    char text[32];
    std::snprintf(text, sizeof text, "%04X-%04X-%04X-%04X-%04X-%04X", regs.Eax >> 16, regs.Eax & 0xFFFF,
                  regs.Edx >> 16, regs.Edx & 0xFFFF, regs.Ecx >> 16, regs.Ecx & 0xFFFF);
    return text;
}

std::string GetCPUBrandString(const TCpuidFn& cpuid) {
    char bytes[48];
    for (std::uint32_t i = 0; i < 3; ++i) {
        const sysinfo::TCpuidRegs regs = cpuid(0x80000002u + i);
        const std::uint32_t words[4] = {regs.Eax, regs.Ebx, regs.Ecx, regs.Edx};
        for (int w = 0; w < 4; ++w)
            for (int b = 0; b < 4; ++b) bytes[i * 16 + w * 4 + b] = static_cast<char>((words[w] >> (8 * b)) & 0xFF);
    }
    return std::string(bytes, strnlen(bytes, sizeof bytes));
}

bool TestFDIVBug() {
    // volatile: the compiler must not fold the division away.
    volatile double x = 4195835.0, y = 3145727.0;
    const double result = x / y * y - x;
    return result != 0.0;
}

void TCPUFeatures::GetInfo(const TCpuidFn& cpuid) {
    sysinfo::TCpuidRegs regs = cpuid(0x80000001u);
    FeatureRegs = {regs.Eax, regs.Ebx, regs.Ecx, regs.Edx};
    EX_MMX = Bit(regs.Edx, 22) || Bit(regs.Edx, 24);
    EX_3DNOW = Bit(regs.Edx, 30);
    _3DNOW = Bit(regs.Edx, 31);
    regs = cpuid(1);
    FeatureRegs = {regs.Eax, regs.Ebx, regs.Ecx, regs.Edx};
    const std::uint32_t d = regs.Edx;
    FPU = Bit(d, 0);
    VME = Bit(d, 1);
    DE = Bit(d, 2);
    PSE = Bit(d, 3);
    TSC = Bit(d, 4);
    MSR = Bit(d, 5);
    PAE = Bit(d, 6);
    MCE = Bit(d, 7);
    CX8 = Bit(d, 8);
    APIC = Bit(d, 9);
    SEP = Bit(d, 11);
    MTRR = Bit(d, 12);
    PGE = Bit(d, 13);
    MCA = Bit(d, 14);
    CMOV = Bit(d, 15);
    PAT = Bit(d, 16);
    PSE36 = Bit(d, 17);
    SERIAL = Bit(d, 18);
    MMX = Bit(d, 23);
    XSR = Bit(d, 24);
    SIMD = Bit(d, 25);
}

void TCPUCache::GetInfo(const TCpuidFn& cpuid, std::int32_t vendorIndex) {
    Level2 = Level1 = L1Data = L1Code = 0;
    switch (vendorIndex) {
        case 1: {
            sysinfo::TCpuidRegs regs = cpuid(2);
            const std::uint32_t runs = regs.Eax & 0xFF;
            if (runs == 0) regs = {};
            for (std::uint32_t i = 1; i < runs; ++i) regs = cpuid(2);
            Intel.Regs = {regs.Eax, regs.Ebx, regs.Ecx, regs.Edx};
            std::uint8_t bytes[16];
            for (int r = 0; r < 4; ++r)
                for (int b = 0; b < 4; ++b) bytes[r * 4 + b] = static_cast<std::uint8_t>(Intel.Regs[r] >> (8 * b));
            std::int32_t l2 = 0;
            for (int i = 1; i < 16; ++i) {
                switch (bytes[i]) {
                    case 0x40: l2 = 0; break;
                    case 0x41: l2 = 128; break;
                    case 0x42: case 0x82: l2 = 256; break;
                    case 0x43: case 0x83: l2 = 512; break;
                    case 0x44: case 0x84: l2 = 1024; break;
                    case 0x45: case 0x85: l2 = 2048; break;
                    default: break;
                }
            }
            Intel.L2 = Level2 = l2;
            for (std::uint8_t b : bytes) {
                if (b == 0x0A) L1Data = 8;
                if (b == 0x0C) L1Data = 16;
                if (b == 0x06) L1Code = 8;
                if (b == 0x08) L1Code = 16;
                if (b == 0x80) Level1 = 16;
            }
            break;
        }
        case 2: {
            const sysinfo::TCpuidRegs regs = cpuid(0x80000005u);
            AMD.Ebx = (regs.Ebx >> 16) | (regs.Ebx << 16);
            AMD.Ecx = regs.Ecx;
            AMD.Edx = regs.Edx;
            L1Data = static_cast<std::int32_t>(regs.Ecx >> 24);
            L1Code = static_cast<std::int32_t>(regs.Edx >> 24);
            Level1 = L1Data + L1Code;
            break;
        }
        case 3: {
            const sysinfo::TCpuidRegs regs = cpuid(0x80000005u);
            Cyrix.Ecx = regs.Ecx;
            Cyrix.Ebx = regs.Ebx;
            for (int b = 0; b < 4; ++b)
                if (((regs.Ecx >> (8 * b)) & 0xFF) == 0x80) Level1 = 16;
            break;
        }
        default:
            break;
    }
}

namespace {

// "0-3,6,8-11" -> 10.
std::int32_t CountCpuList(const std::string& list) {
    std::int32_t count = 0;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t end = list.find(',', at);
        if (end == std::string::npos) end = list.size();
        const std::string part = list.substr(at, end - at);
        at = end + 1;
        const std::size_t dash = part.find('-');
        const std::optional<long> first = sysinfo::ParseNumber<long>(std::string_view(part).substr(0, dash));
        const std::optional<long> last =
            dash == std::string::npos ? first : sysinfo::ParseNumber<long>(std::string_view(part).substr(dash + 1));
        if (!first || !last) continue;
        if (*last >= *first && *last - *first < 1'000'000) count += static_cast<std::int32_t>(*last - *first + 1);
    }
    return count;
}

}  // namespace

void TCPU::GetInfo() {
    const TSysSource& source = Source();
    const TCpuidFn cpuid = [&source](std::uint32_t leaf) { return source.Cpuid(leaf, 0); };

    Count = CountCpuList(source.ReadLine("/sys/devices/system/cpu/online"));

    if (std::optional<std::string> info = source.ReadText("/proc/cpuinfo")) {
        std::string vendor, family, model, stepping;
        bool first = true;
        std::int32_t listed = 0;
        for (const std::string& line : SplitLines(*info)) {
            if (line.empty()) {
                first = false;  // the fields of the first processor only
                continue;
            }
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            const std::string key = sysinfo::TrimBlanks(std::string_view(line).substr(0, colon));
            const std::string value = sysinfo::TrimBlanks(std::string_view(line).substr(colon + 1));
            if (key == "processor") ++listed;
            if (!first) continue;
            if (key == "vendor_id") vendor = value;
            else if (key == "cpu family") family = value;
            else if (key == "model") model = value;
            else if (key == "stepping") stepping = value;
        }
        // Without sysfs (a chroot, some containers) the processors listed here
        // are counted instead.
        if (Count == 0) Count = listed;
        RegVendorIdentifier = vendor;
        RegIdentifier = family.empty() ? "" : "x86 Family " + family + " Model " + model + " Stepping " + stepping;
    }

    Frequency = 0;
    if (source.Clock && source.ReadTsc) {
        TPinnedThread pin;
        Frequency = static_cast<std::int32_t>(MeasureCPUSpeed(*source.Clock, source.ReadTsc).NormalisedMHz);
    }

    const sysinfo::TCpuidRegs sig = cpuid(1);
    SignatureRegs = {sig.Eax, sig.Ebx, sig.Ecx, sig.Edx};
    Family = static_cast<std::int32_t>((sig.Eax >> 8) & 0xF);
    ProcessorType = static_cast<std::int32_t>((sig.Eax >> 12) & 0x3);
    Model = static_cast<std::int32_t>((sig.Eax >> 4) & 0xF);
    Stepping = static_cast<std::int32_t>(sig.Eax & 0xF);
    BrandIndex = static_cast<std::int32_t>(sig.Ebx & 0xFF);

    const sysinfo::TCpuidRegs leaf0 = cpuid(0);
    HighestLeaf = static_cast<std::int32_t>(leaf0.Eax);
    char signature[12];
    std::memcpy(signature, &leaf0.Ebx, 4);
    std::memcpy(signature + 4, &leaf0.Edx, 4);
    std::memcpy(signature + 8, &leaf0.Ecx, 4);
    VendorSignature.assign(signature, 12);

    VendorIndex = 0;
    Vendor.clear();
    for (int row = 0; row < 7; ++row) {
        if (VendorSignature == kVendors[row].Signature) {
            VendorIndex = row + 1;
            Vendor = kVendors[row].Vendor;
            VendorEx = kVendors[row].VendorEx;
            break;
        }
    }

    CallGetInfoGuarded("TCPUFeatures.GetInfo", ExceptionMode, [&] { Features.GetInfo(cpuid); });
    if (Features.SERIAL) SerialNumber = GetCPUSerialNumber(cpuid);
    BrandString = GetCPUBrandString(cpuid);
    FDIVBug = TestFDIVBug();
    CallGetInfoGuarded("TCPUCache.GetInfo", ExceptionMode, [&] { Cache.GetInfo(cpuid, VendorIndex); });

    TCPUName name = LookupCPUName(VendorIndex, Family, Model, BrandIndex, ProcessorType, Cache.Level2, Frequency);
    // The table predates the extended family and model fields: a processor
    // that uses them, or one the table has no row for, is named by its
    // own brand string.
    const bool extended = ((sig.Eax >> 16) & 0xFFF) != 0;
    const std::string brand = sysinfo::TrimBlanks(BrandString);
    if ((extended || name.VendorID.empty()) && !brand.empty()) name = TCPUName{brand, "", 0};
    VendorID = name.VendorID;
    CodeName = name.CodeName;
    Transistors = name.Transistors;
}

std::string VendorAndName(const std::string& vendor, const std::string& name) {
    const bool repeats = !vendor.empty() && name.rfind(vendor, 0) == 0 &&
                         (name.size() == vendor.size() || !std::isalnum(static_cast<unsigned char>(name[vendor.size()])));
    return repeats ? name : vendor + " " + name;
}

}  // namespace qv
