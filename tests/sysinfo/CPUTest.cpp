#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <map>
#include <stdexcept>

#include "foundation/Exceptions.h"
#include "sysinfo/MSI_CPU.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

using sysinfo::TCpuidRegs;

// A 1 MHz counter that moves one count per reading, and a time stamp
// counter that runs at the rate of the current pass (each pass spans 1051
// readings).
class PassClock final : public sys::IClock {
public:
    explicit PassClock(std::vector<std::uint64_t> rates) : rates_(std::move(rates)) {}
    bool QueryPerformanceCounter(std::int64_t& count) override {
        const std::size_t pass = static_cast<std::size_t>(now_ / 1051);
        tsc_ += rates_[std::min(pass, rates_.size() - 1)];
        count = ++now_;
        return true;
    }
    bool QueryPerformanceFrequency(std::int64_t& frequency) override {
        frequency = frequency_;
        return true;
    }
    std::uint32_t GetTickCount() override { return static_cast<std::uint32_t>(now_ / 1000); }
    std::uint64_t Tsc() const { return tsc_; }
    int Passes() const { return static_cast<int>(now_ / 1051); }
    std::int64_t frequency_ = 1'000'000;

private:
    std::vector<std::uint64_t> rates_;
    std::int64_t now_ = 0;
    std::uint64_t tsc_ = 0;
};

TEST(CPUSpeedTest, SnapFrequencyTable) {
    const std::pair<int, int> cases[] = {{733, 733}, {1010, 1020}, {499, 500}, {866, 866}, {851, 850},
                                         {99, 100},  {0, 0},       {1000, 1000}, {1043, 1050}, {1026, 1020},
                                         {1027, 1033}, {2395, 2400}, {3193, 3190}};
    for (const auto& [in, out] : cases) EXPECT_EQ(SnapFrequency(in), out) << in;
}

TEST(CPUSpeedTest, StopsOnceThreeRatesAgree) {
    PassClock clock({732, 733, 734, 900, 900});
    const TCPUSpeed speed = MeasureCPUSpeed(clock, [&] { return clock.Tsc(); });
    EXPECT_EQ(clock.Passes(), 3);
    EXPECT_EQ(speed.TotalMicroseconds, 3000u);
    EXPECT_EQ(speed.TotalTicks, 2'199'000u);
    EXPECT_EQ(speed.RawMHz, 733u);
    EXPECT_EQ(speed.NormalisedMHz, 733u);
}

TEST(CPUSpeedTest, TwentyPassesAtFourGigahertzStayExact) {
    // Rates that never agree run all twenty passes; the totals then pass
    // 2^32 when multiplied by 100.
    std::vector<std::uint64_t> rates;
    for (int i = 0; i < 20; ++i) rates.push_back(i % 2 ? 4012 : 3988);
    PassClock clock(rates);
    const TCPUSpeed speed = MeasureCPUSpeed(clock, [&] { return clock.Tsc(); });
    EXPECT_EQ(clock.Passes(), 20);
    EXPECT_EQ(speed.TotalTicks, 80'000'000u);
    EXPECT_EQ(speed.RawMHz, 4000u);
    EXPECT_EQ(speed.NormalisedMHz, 4000u);
}

TEST(CPUSpeedTest, TenthsRoundUpAndSnap) {
    // 732.6 MHz rounds to 733.
    PassClock clock({7326, 7326, 7326});
    const TCPUSpeed speed = MeasureCPUSpeed(clock, [&] { return clock.Tsc() / 10; });
    EXPECT_EQ(speed.RawMHz, 733u);
    EXPECT_EQ(speed.NormalisedMHz, 733u);
    PassClock slow({1666, 1666, 1666});  // 166.6 MHz: raw 167, snapped to 166
    EXPECT_EQ(MeasureCPUSpeed(slow, [&] { return slow.Tsc() / 10; }).NormalisedMHz, 166u);
}

TEST(CPUSpeedTest, NoCounterNoTimeOrAStandingClockGiveZero) {
    sys::TManualClock none(0, false);
    EXPECT_EQ(MeasureCPUSpeed(none, [] { return std::uint64_t{0}; }).NormalisedMHz, 0u);
    sys::TManualClock standing;  // never moves: the polls give up
    EXPECT_EQ(MeasureCPUSpeed(standing, [] { return std::uint64_t{0}; }).NormalisedMHz, 0u);
    PassClock slowCounter({1000});
    slowCounter.frequency_ = 5;  // a tenth of the frequency is 0
    EXPECT_EQ(MeasureCPUSpeed(slowCounter, [&] { return slowCounter.Tsc(); }).NormalisedMHz, 0u);
    PassClock noTsc({0});
    EXPECT_EQ(MeasureCPUSpeed(noTsc, [] { return std::uint64_t{0}; }).NormalisedMHz, 0u);
}

TEST(CPUSpeedTest, NanosecondCounterIsReadInMicroseconds) {
    // The steady clock counts nanoseconds; a pass still spans 1000 µs.
    class NanoClock final : public sys::IClock {
    public:
        bool QueryPerformanceCounter(std::int64_t& count) override {
            now_ += 1000;
            tsc_ += 2500;  // 2.5 GHz
            count = now_;
            return true;
        }
        bool QueryPerformanceFrequency(std::int64_t& frequency) override {
            frequency = 1'000'000'000;
            return true;
        }
        std::uint32_t GetTickCount() override { return 0; }
        std::int64_t now_ = 0;
        std::uint64_t tsc_ = 0;
    } clock;
    const TCPUSpeed speed = MeasureCPUSpeed(clock, [&] { return clock.tsc_; });
    EXPECT_EQ(speed.TotalMicroseconds, 3000u);
    EXPECT_EQ(speed.NormalisedMHz, 2500u);
}

TEST(CPUNameTest, TableRows) {
    struct Case {
        int vendor, family, model, brand, type, level2, frequency;
        const char* id;
        const char* code;
        int transistors;
    };
    const Case cases[] = {
        {1, 6, 7, 0, 0, 512, 500, "Pentium III", "Katmai (0.25 µm)", 9500000},
        {1, 6, 7, 0, 0, 1024, 500, "Pentium III Xeon", "Tanner (0.25 µm)", 9500000},
        {1, 6, 3, 0, 1, 512, 300, "Pentium II OverDrive", "Klamath (0.35 µm)", 7500000},
        {1, 6, 3, 0, 0, 333, 300, "Pentium II", "P6T (0.25 µm)", 7500000},
        {1, 6, 5, 0, 0, 0, 300, "Celeron", "Covington (0,25µm)", 7500000},
        {1, 6, 6, 0, 0, 128, 300, "Celeron A", "Mendocino (0.25 µm)", 19000000},
        {1, 6, 12, 0, 0, 0, 0, "Pentium II", "", 0},
        {1, 5, 0, 0, 0, 0, 60, "Pentium", "P5 (0,80µm)", 3100000},
        {1, 5, 11, 0, 0, 0, 0, "Pentium", "", 0},
        {1, 4, 6, 0, 0, 0, 0, "", "", 0},
        {1, 8, 1, 4, 0, 0, 0, "Pentium IV", "", 0},
        {1, 7, 1, 9, 0, 1024, 0, "Pentium III Xeon", "", 0},
        {1, 15, 2, 0, 0, 0, 0, "Pentium IV", "", 0},
        {1, 12, 0, 0, 0, 0, 0, "", "", 0},
        {2, 5, 9, 0, 0, 0, 450, "K6-III", "Slarptooth (0.25 µm)", 21300000},
        {2, 6, 4, 0, 0, 0, 1000, "K7", "Athlon (0.25-0.18 µm)", 22000000},
        {2, 15, 1, 0, 0, 0, 0, "", "", 0},
        {3, 4, 0, 0, 0, 0, 66, "Cx486SLC/DLC", "M0.5", 600000},
        {3, 4, 0, 0, 0, 0, 50, "Cx486S", "M0.6", 600000},
        {3, 4, 0, 0, 0, 0, 100, "Cx486DX/DX2/DX4", "M0.7", 1100000},
        {3, 4, 0, 0, 0, 0, 40, "", "", 0},
        {3, 6, 0, 0, 0, 0, 225, "M-II (PR300-433)", "M2 (0.35-0.25 µm)", 65000000},
        {3, 6, 0, 0, 0, 0, 200, "6x86MX (PR166-266)", "M2 (0.35 µm)", 65000000},
        {4, 5, 8, 0, 0, 0, 0, "WinChip 2x", "W2x (0.35-0.25 µm)", 59000000},
        {5, 5, 6, 0, 0, 0, 0, "Nx686", "HA (0,50µm)", 60000000},
        {6, 4, 3, 0, 0, 0, 0, "U486DX2", "U5D and U5S", 12000000},
        {6, 4, 7, 0, 0, 0, 0, "", "U5D and U5S", 12000000},
        {7, 4, 2, 0, 0, 0, 0, "mP6", "mP6 (0.25-0.18 µm)", 36000000},
        {0, 6, 7, 0, 0, 512, 500, "", "", 0},
    };
    for (const Case& c : cases) {
        const TCPUName name = LookupCPUName(c.vendor, c.family, c.model, c.brand, c.type, c.level2, c.frequency);
        EXPECT_EQ(name.VendorID, c.id) << c.vendor << "/" << c.family << "/" << c.model;
        EXPECT_EQ(name.CodeName, c.code) << c.vendor << "/" << c.family << "/" << c.model;
        EXPECT_EQ(name.Transistors, c.transistors) << c.vendor << "/" << c.family << "/" << c.model;
    }
    // The micro sign is U+00B5, written as UTF-8.
    EXPECT_NE(LookupCPUName(1, 6, 8, 0, 0, 0, 0).CodeName.find("\xC2\xB5m"), std::string::npos);
}

// CPUID answers from a table; leaves it does not hold give zeros.
struct FakeCpuid {
    std::map<std::uint32_t, TCpuidRegs> leaves;
    int leaf2Runs = 0;
    TCpuidRegs operator()(std::uint32_t leaf) {
        if (leaf == 2) ++leaf2Runs;
        auto it = leaves.find(leaf);
        return it == leaves.end() ? TCpuidRegs{} : it->second;
    }
    void Vendor(const char* signature) {
        TCpuidRegs& r = leaves[0];
        r.Eax = 2;
        std::memcpy(&r.Ebx, signature, 4);
        std::memcpy(&r.Edx, signature + 4, 4);
        std::memcpy(&r.Ecx, signature + 8, 4);
    }
    void Brand(const std::string& text) {
        std::string padded = text;
        padded.resize(48, '\0');
        for (std::uint32_t i = 0; i < 3; ++i) {
            TCpuidRegs& r = leaves[0x80000002u + i];
            std::memcpy(&r.Eax, padded.data() + i * 16, 4);
            std::memcpy(&r.Ebx, padded.data() + i * 16 + 4, 4);
            std::memcpy(&r.Ecx, padded.data() + i * 16 + 8, 4);
            std::memcpy(&r.Edx, padded.data() + i * 16 + 12, 4);
        }
    }
};

TEST(CPUCacheTest, IntelDescriptorsAmdAndCyrix) {
    FakeCpuid cpuid;
    TCpuidFn fn = [&](std::uint32_t leaf) { return cpuid(leaf); };
    TCPUCache cache;
    // One run; L2 0x43 then 0x44: the last match wins. L1 codes anywhere.
    cpuid.leaves[2] = {0x0C060801u, 0x00004443u, 0x0000000Au, 0x80000000u};
    cache.GetInfo(fn, 1);
    EXPECT_EQ(cache.Level2, 1024);
    EXPECT_EQ(cache.L1Data, 8);   // 0x0C in EAX, then 0x0A in ECX
    EXPECT_EQ(cache.L1Code, 8);   // 0x08 then 0x06 in EAX
    EXPECT_EQ(cache.Level1, 16);  // 0x80 in EDX
    EXPECT_EQ(cpuid.leaf2Runs, 1);
    // Byte 0 counts the runs: 0x41 there is no L2 size but 65 runs.
    cpuid.leaf2Runs = 0;
    cpuid.leaves[2] = {0x00000041u, 0, 0, 0};
    cache.GetInfo(fn, 1);
    EXPECT_EQ(cache.Level2, 0);
    EXPECT_EQ(cpuid.leaf2Runs, 65);
    // Byte 0 is scanned for the first-level codes: 6 runs and 8 KB of code cache.
    cpuid.leaves[2] = {0x00000006u, 0, 0, 0};
    cache.GetInfo(fn, 1);
    EXPECT_EQ(cache.L1Code, 8);
    // A run count of 0: no descriptors at all.
    cpuid.leaves[2] = {0x00004300u, 0x0A, 0, 0};
    cache.GetInfo(fn, 1);
    EXPECT_EQ(cache.Level2, 0);
    EXPECT_EQ(cache.L1Data, 0);

    cpuid.leaves[0x80000005u] = {0, 0x11112222u, 0x40000000u, 0x20000000u};
    cache.GetInfo(fn, 2);
    EXPECT_EQ(cache.L1Data, 64);
    EXPECT_EQ(cache.L1Code, 32);
    EXPECT_EQ(cache.Level1, 96);
    EXPECT_EQ(cache.Level2, 0);
    EXPECT_EQ(cache.AMD.Ebx, 0x22221111u);

    cpuid.leaves[0x80000005u] = {0, 0, 0x00800000u, 0};
    cache.GetInfo(fn, 3);
    EXPECT_EQ(cache.Level1, 16);
    cache.GetInfo(fn, 0);
    EXPECT_EQ(cache.Level1 + cache.Level2 + cache.L1Data + cache.L1Code, 0);
}

TEST(CPUTest, PentiumThreeFromInjectedLeaves) {
    test::SysFixture fx;
    fx.Write("/sys/devices/system/cpu/online", "0-1\n");
    fx.Write("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 7\n"
                              "stepping\t: 3\n\nprocessor\t: 1\nvendor_id\t: Other\n");
    FakeCpuid cpuid;
    cpuid.Vendor("GenuineIntel");
    // Family 6, model 7, stepping 3, brand index 0; FPU, TSC, MMX, SIMD, SERIAL.
    cpuid.leaves[1] = {0x00000673u, 0, 0, (1u << 0) | (1u << 4) | (1u << 23) | (1u << 25) | (1u << 18)};
    cpuid.leaves[0x80000001u] = {0, 0, 0, 1u << 31};
    cpuid.leaves[2] = {0x03020101u, 0, 0, 0x0C040843u};
    PassClock clock({500, 500, 500});
    fx.Source().Cpuid = [&](std::uint32_t leaf, std::uint32_t) { return cpuid(leaf); };
    fx.Source().Clock = &clock;
    fx.Source().ReadTsc = [&] { return clock.Tsc(); };
    TCPU cpu(fx.Source());
    cpu.GetInfo();
    EXPECT_EQ(cpu.Count, 2);
    EXPECT_EQ(cpu.RegVendorIdentifier, "GenuineIntel");
    EXPECT_EQ(cpu.RegIdentifier, "x86 Family 6 Model 7 Stepping 3");
    EXPECT_EQ(cpu.Frequency, 500);
    EXPECT_EQ(cpu.Family, 6);
    EXPECT_EQ(cpu.Model, 7);
    EXPECT_EQ(cpu.Stepping, 3);
    EXPECT_EQ(cpu.HighestLeaf, 2);
    EXPECT_EQ(cpu.VendorSignature, "GenuineIntel");
    EXPECT_EQ(cpu.VendorIndex, 1);
    EXPECT_EQ(cpu.Vendor, "Intel");
    EXPECT_EQ(cpu.VendorEx, "Intel Corporation");
    EXPECT_TRUE(cpu.Features.FPU && cpu.Features.TSC && cpu.Features.MMX && cpu.Features.SIMD);
    EXPECT_TRUE(cpu.Features._3DNOW);
    EXPECT_FALSE(cpu.Features.CMOV || cpu.Features.EX_MMX);
    EXPECT_EQ(cpu.SerialNumber, "0000-0673-0284-0011-0000-0000");
    EXPECT_EQ(cpu.Cache.Level2, 512);
    EXPECT_EQ(cpu.Cache.L1Data, 16);
    EXPECT_EQ(cpu.Cache.L1Code, 16);
    EXPECT_EQ(cpu.VendorID, "Pentium III");
    EXPECT_EQ(cpu.CodeName, "Katmai (0.25 µm)");
    EXPECT_EQ(cpu.Transistors, 9500000);
    EXPECT_FALSE(cpu.FDIVBug);
}

TEST(CPUTest, TodaysProcessorsAreNamedByTheirBrandString) {
    test::SysFixture fx;
    FakeCpuid cpuid;
    cpuid.Vendor("GenuineIntel");
    cpuid.leaves[1] = {0x000A0671u, 0, 0, 0};  // family 6, extended model 0xA, model 7
    cpuid.Brand("       Intel(R) Core(TM) i7-11700 @ 2.50GHz");
    fx.Source().Cpuid = [&](std::uint32_t leaf, std::uint32_t) { return cpuid(leaf); };
    TCPU cpu(fx.Source());
    cpu.SerialNumber = "kept";
    cpu.GetInfo();
    EXPECT_EQ(cpu.BrandString, "       Intel(R) Core(TM) i7-11700 @ 2.50GHz");
    EXPECT_EQ(cpu.VendorID, "Intel(R) Core(TM) i7-11700 @ 2.50GHz");
    EXPECT_EQ(cpu.CodeName, "");
    EXPECT_EQ(cpu.Transistors, 0);
    EXPECT_EQ(cpu.SerialNumber, "kept");  // SERIAL clear
    EXPECT_EQ(cpu.Frequency, 0);          // the fixture's time stamp counter stands still
}

TEST(CPUTest, UnknownVendorAndUmcPadding) {
    test::SysFixture fx;
    FakeCpuid cpuid;
    cpuid.Vendor("SomeNewChips");
    cpuid.leaves[1] = {0x00000673u, 0, 0, 0};
    cpuid.leaves[2] = {0x00004301u, 0, 0, 0};
    fx.Source().Cpuid = [&](std::uint32_t leaf, std::uint32_t) { return cpuid(leaf); };
    TCPU cpu(fx.Source());
    cpu.GetInfo();
    EXPECT_EQ(cpu.VendorIndex, 0);
    EXPECT_EQ(cpu.Vendor, "");
    EXPECT_EQ(cpu.VendorEx, "");
    EXPECT_EQ(cpu.VendorID, "");
    EXPECT_EQ(cpu.CodeName, "");
    EXPECT_EQ(cpu.Transistors, 0);
    EXPECT_EQ(cpu.Cache.Level2 + cpu.Cache.Level1 + cpu.Cache.L1Data + cpu.Cache.L1Code, 0);
    EXPECT_EQ(cpu.Count, 0);  // no /sys in the fixture

    cpuid.Vendor("UMC UMC UMC ");
    cpuid.leaves[1] = {0x00000410u, 0, 0, 0};
    cpu.GetInfo();
    EXPECT_EQ(cpu.VendorIndex, 6);
    EXPECT_EQ(cpu.VendorID, "U5D");
    EXPECT_EQ(cpu.VendorEx, "United Microelectronics Corp");
}

TEST(CPUTest, NestedFailuresFollowTheMode) {
    test::SysFixture fx;
    FakeCpuid cpuid;
    cpuid.Vendor("AuthenticAMD");
    cpuid.leaves[1] = {0x00000591u, 0, 0, 0};  // K6-III
    fx.Source().Cpuid = [&](std::uint32_t leaf, std::uint32_t) {
        if (leaf == 0x80000001u || leaf == 0x80000005u) throw std::runtime_error("leaf " + std::to_string(leaf));
        return cpuid(leaf);
    };
    TCPU cpu(fx.Source());
    EXPECT_EQ(cpu.ExceptionMode, emMessage);
    testing::internal::CaptureStdout();
    cpu.GetInfo();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "TCPUFeatures.GetInfo: leaf 2147483649\nTCPUCache.GetInfo: leaf 2147483653\n");
    EXPECT_EQ(cpu.VendorID, "K6-III");  // the refresh went on to the name
    cpu.SetExceptionMode(emSilent);
    testing::internal::CaptureStdout();
    cpu.GetInfo();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    cpu.SetExceptionMode(emRaise);
    EXPECT_THROW(cpu.GetInfo(), Exception);
}

TEST(CPUTest, WithoutSysfsTheProcessorsOfCpuinfoAreCounted) {
    test::SysFixture fx;
    fx.Write("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 7\n"
                              "stepping\t: 3\n\nprocessor\t: 1\nvendor_id\t: Other\n\nprocessor\t: 2\n");
    TCPU cpu(fx.Source());
    cpu.GetInfo();
    EXPECT_EQ(cpu.Count, 3);
    EXPECT_EQ(cpu.RegVendorIdentifier, "GenuineIntel");  // still the first processor's
}

TEST(CPUTest, VendorIsNotRepeatedBeforeANameThatStartsWithIt) {
    const struct {
        const char* Vendor;
        const char* Name;
        const char* Shown;
    } kCases[] = {
        {"AMD", "AMD EPYC 7B13 64-Core Processor", "AMD EPYC 7B13 64-Core Processor"},
        {"Intel", "Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz", "Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz"},
        {"Intel", "Pentium III", "Intel Pentium III"},
        {"AMD", "AMDx86 Sample", "AMD AMDx86 Sample"},  // a longer word is another name
        {"AMD", "AMD", "AMD"},
        {"", "", " "},
        {"", "Unknown", " Unknown"},
    };
    for (const auto& c : kCases) EXPECT_EQ(VendorAndName(c.Vendor, c.Name), c.Shown) << c.Vendor << "|" << c.Name;
}

TEST(CPUTest, ThisMachineIsPlausible) {
    TCPU cpu;
    cpu.GetInfo();
    EXPECT_GE(cpu.Count, 1);
    EXPECT_TRUE(cpu.Frequency == 0 || (cpu.Frequency >= 100 && cpu.Frequency <= 10000)) << cpu.Frequency;
    std::cout << "(" << cpu.Count << "x)CPU: " << VendorAndName(cpu.Vendor, cpu.VendorID) << " - " << cpu.Frequency
              << " Mhz (" << cpu.CodeName << ")\n";
}

}  // namespace
}  // namespace qv
