#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

#include "platform/session/DPlay8.h"
#include "sysinfo/MSI_DirectX.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Memory.h"
#include "sysinfo/Syvex_Routines.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

constexpr std::uint64_t kX64Space = std::uint64_t{1} << 47;

TEST(MemoryTest, DesktopFigures) {
    test::SysFixture fx;
    fx.BuildDesktop();
    TMemory memory(fx.Source());
    memory.GetInfo();
    EXPECT_EQ(memory.PhysicalTotal, 16318424LL * 1024);
    EXPECT_EQ(memory.PhysicalFree, 12058044LL * 1024);
    EXPECT_EQ(memory.MemoryLoad, 26);  // 100 x 4260380 / 16318424, cut
    EXPECT_EQ(memory.PageFileTotal, 24379500LL * 1024);
    EXPECT_EQ(memory.PageFileFree, (24379500LL - 14230200LL) * 1024);
    EXPECT_EQ(memory.PageSize, 4096);
    EXPECT_EQ(memory.AllocGranularity, 4096);
    EXPECT_EQ(memory.MinAppAddress, 65536u);
    EXPECT_EQ(memory.Win9x_SystemRes + memory.Win9x_GDIRes + memory.Win9x_UserRes, 0);
#if defined(__x86_64__)
    EXPECT_EQ(memory.VirtualTotal, static_cast<std::int64_t>(kX64Space));
    EXPECT_EQ(memory.VirtualFree, static_cast<std::int64_t>(kX64Space - 262144ULL * 1024));
    EXPECT_EQ(memory.MaxAppAddress, 0x7FFFFFFFFFFFULL);
#endif
}

TEST(MemoryTest, AddressSpaceLimitAndOldKernels) {
    test::SysFixture fx;
    fx.Write("/proc/meminfo", "MemTotal: 1000 kB\nMemFree: 100 kB\nCached: 150 kB\nCommitLimit: 10 kB\nCommitted_AS: 20 kB\n");
    fx.Write("/proc/self/status", "VmSize: 1024 kB\n");
    fx.Source().AddressSpaceLimit = [] { return std::uint64_t{1} << 30; };
    TMemory memory(fx.Source());
    memory.GetInfo();
    EXPECT_EQ(memory.PhysicalFree, 250 * 1024);  // no MemAvailable: free + cached
    EXPECT_EQ(memory.MemoryLoad, 75);
    EXPECT_EQ(memory.PageFileFree, 0);  // over-committed: floored at 0
    EXPECT_EQ(memory.VirtualTotal, 1LL << 30);
    EXPECT_EQ(memory.VirtualFree, (1LL << 30) - 1024 * 1024);
}

TEST(MemoryTest, EmptyTreeGivesZeros) {
    test::SysFixture fx;
    TMemory memory(fx.Source());
    memory.PhysicalTotal = 5;  // a second refresh starts from zero
    memory.GetInfo();
    EXPECT_EQ(memory.PhysicalTotal, 0);
    EXPECT_EQ(memory.PhysicalFree, 0);
    EXPECT_EQ(memory.VirtualTotal, 0);
    EXPECT_EQ(memory.VirtualFree, 0);
    EXPECT_EQ(memory.PageFileTotal, 0);
    EXPECT_EQ(memory.MemoryLoad, 0);
    EXPECT_EQ(memory.MinAppAddress, 0u);
}

TEST(MemoryTest, ThisMachineUses64BitFigures) {
    TMemory memory;
    memory.GetInfo();
    EXPECT_GT(memory.PhysicalTotal, 0);
    EXPECT_LE(memory.PhysicalFree, memory.PhysicalTotal);
    EXPECT_GE(memory.MemoryLoad, 0);
    EXPECT_LE(memory.MemoryLoad, 100);
    EXPECT_GT(memory.VirtualTotal, 0);
    EXPECT_LT(memory.VirtualFree, memory.VirtualTotal);
    EXPECT_GT(memory.PageSize, 0);
    // The lines as the start-up report writes them, with 64-bit figures.
    std::cout << "Memory: " << memory.PhysicalTotal / 1024 / 1024 << " MB (" << memory.PhysicalFree / 1024
              << " KB free)\nMemory Virtual: " << memory.VirtualTotal / 1024 / 1024 << " MB ("
              << memory.VirtualFree / 1024 << " KB free)\nMemory Load: " << memory.MemoryLoad << "%\n";
}

TEST(MachineTest, DesktopFacts) {
    test::SysFixture fx;
    fx.BuildDesktop();
    TMachine machine(fx.Source());
    machine.GetInfo();
    EXPECT_EQ(machine.Name, "deskbox");
    EXPECT_EQ(machine.User, "player");
    EXPECT_DOUBLE_EQ(machine.SystemUpTime, 93784.25);
    EXPECT_NEAR(machine.LastBoot, (1'700'000'000.0 - 93784.25) / 86400.0 + 25569.0, 1e-9);
    EXPECT_EQ(machine.BIOSName, "Acorn Firmware Ltd.");
    EXPECT_EQ(machine.BIOSCopyright, "F.42");
    EXPECT_EQ(machine.BIOSDate, "03/14/2023");
    EXPECT_EQ(machine.BIOSExtendedInfo, "");
    EXPECT_EQ(machine.DELL_ServiceTag, "");
    EXPECT_FALSE(machine.CapsLock);
    EXPECT_TRUE(machine.NumLock);
    EXPECT_FALSE(machine.ScrollLock);
    EXPECT_EQ(machine.Computer, "Lindqvist Computers Tower 5");

    fx.Write("/sys/devices/virtual/dmi/id/bios_release", "5.17\n");
    machine.GetInfo();
    EXPECT_EQ(machine.BIOSExtendedInfo, "5.17");
}

TEST(MachineTest, EmptyTreeGivesEmptyTexts) {
    test::SysFixture fx;
    TMachine machine(fx.Source());
    machine.GetInfo();
    EXPECT_EQ(machine.Name, "");
    EXPECT_EQ(machine.SystemUpTime, 0);
    EXPECT_EQ(machine.LastBoot, 0);
    EXPECT_EQ(machine.BIOSName, "");
    EXPECT_EQ(machine.BIOSCopyright, "");
    EXPECT_EQ(machine.BIOSDate, "");
    EXPECT_EQ(machine.Computer, "");
    EXPECT_FALSE(machine.CapsLock || machine.NumLock || machine.ScrollLock);
}

TEST(MachineTest, UpTimePastFortyNineDays) {
    test::SysFixture fx;
    fx.Write("/proc/uptime", "5184000.50 1.0\n");  // 60 days
    TMachine machine(fx.Source());
    machine.GetInfo();
    EXPECT_DOUBLE_EQ(machine.SystemUpTime, 5184000.5);
    // Rounded half to even, as every rounding here.
    EXPECT_EQ(FormatDuration(true, false, false, std::llrint(machine.SystemUpTime)),
              "1 Month, 4 Weeks, 1 Day, 0 Hours, 0 Minutes, 0 Seconds.");
}

TEST(MachineTest, ThisMachineUpTime) {
    TMachine machine;
    machine.GetInfo();
    EXPECT_GT(machine.SystemUpTime, 0);
    EXPECT_GT(machine.LastBoot, kUnixEpochDateTime);
    std::cout << "System Up Time: " << FormatDuration(true, false, false, std::llrint(machine.SystemUpTime))
              << "\n";
}

TEST(DirectXTest, RuntimeUnderTheGraphicsLabels) {
    test::SysFixture fx;
    fx.Source().GraphicsRuntime = [] {
        sysinfo::TGraphicsRuntime runtime;
        runtime.SdlVersion = "2.26.5";
        runtime.RenderDrivers = {"opengl", "software"};
        runtime.GlVersion = "4.5 (Compatibility Profile) Mesa 22.3.6";
        runtime.GlRenderer = "llvmpipe";
        return runtime;
    };
    TDirectX directX(fx.Source());
    directX.DirectPlay.push_back("stale");
    directX.GetInfo();
    EXPECT_EQ(directX.Version, "SDL 2.26.5");
    EXPECT_EQ(directX.Direct3D, (std::vector<std::string>{"OpenGL 4.5 (Compatibility Profile) Mesa 22.3.6 (llvmpipe)",
                                                          "SDL opengl renderer", "SDL software renderer"}));
    // The stale entry is gone; the session transport is the one provider.
    ASSERT_EQ(directX.DirectPlay.size(), 1u);
    EXPECT_EQ(directX.DirectPlay[0], dpn::TransportName());
    EXPECT_EQ(directX.DirectPlay[0].rfind("ENet 1.", 0), 0u) << directX.DirectPlay[0];
    EXPECT_TRUE(directX.DirectMusic.empty());

}

TEST(DirectXTest, LinkedSdlIsReported) {
    TDirectX directX;
    directX.GetInfo();
    EXPECT_EQ(directX.Version.rfind("SDL 2.", 0), 0u) << directX.Version;
    EXPECT_FALSE(directX.Direct3D.empty());
    for (const std::string& line : directX.Direct3D) std::cout << "Direct3D: " << line << "\n";
}

}  // namespace
}  // namespace qv
