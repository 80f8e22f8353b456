#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <stdexcept>

#include "foundation/qv3Log.h"
#include "frontend/qv3StartupReport.h"
#include "sysinfo/MSI_CPU.h"
#include "sysinfo/MSI_DirectX.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Media.h"
#include "sysinfo/MSI_Memory.h"
#include "sysinfo/MSI_OS.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

const TReportVersion kVersion{"Tollbeck", "3.0.0.0", "Quorvex", "3.0.0.0", "", "Debug, Special"};

const Lines kVersionLines = {"Company Name:Tollbeck", "File Version:3.0.0.0",  "Product Name:Quorvex",
                             "Product Version:3.0.0.0", "Comments:",           "Build Flags:Debug, Special",
                             "Retrieving system information..."};

// Sub-objects whose refresh sets fixed values.
struct FakeMachine : TMachine {
    using TMachine::TMachine;
    void GetInfo() override { SystemUpTime = 3724.5; }  // rounds to the even 3724
};
struct FakeCPU : TCPU {
    using TCPU::TCPU;
    void GetInfo() override {
        Count = 8;
        Vendor = "Intel";
        VendorID = "Pentium III";
        Frequency = 733;
        CodeName = "Katmai (0.25 µm)";
    }
};
struct FakeMemory : TMemory {
    using TMemory::TMemory;
    void GetInfo() override {
        PhysicalTotal = 1'048'575;  // just under 1 MB
        PhysicalFree = 1023;
        VirtualTotal = std::int64_t{1} << 47;
        VirtualFree = (std::int64_t{1} << 47) - 262'144 * 1024LL;
        MemoryLoad = 42;
    }
};
struct FakeOS : TOperatingSystem {
    using TOperatingSystem::TOperatingSystem;
    void GetInfo() override {
        MajorVersion = 6;
        MinorVersion = 1;
        BuildNumber = 0;
    }
};
struct FakeMedia : TMedia {
    FakeMedia(const sysinfo::TSysSource& source, std::vector<std::string> devices, int index)
        : TMedia(source), devices_(std::move(devices)), index_(index) {}
    void GetInfo() override {
        Devices = devices_;
        SoundCardIndex = index_;
    }
    std::vector<std::string> devices_;
    int index_;
};
struct FakeDirectX : TDirectX {
    using TDirectX::TDirectX;
    void GetInfo() override { Version = "SDL 2.26.5"; }
};

TMSIFactory Fakes(std::vector<std::string> soundDevices, int soundIndex) {
    return [=](std::uint16_t bit, const sysinfo::TSysSource& source) -> std::unique_ptr<TInfoObject> {
        switch (bit) {
            case msiMachine: return std::make_unique<FakeMachine>(source);
            case msiCPU: return std::make_unique<FakeCPU>(source);
            case msiMemory: return std::make_unique<FakeMemory>(source);
            case msiOperatingSystem: return std::make_unique<FakeOS>(source);
            case msiMedia: return std::make_unique<FakeMedia>(source, soundDevices, soundIndex);
            case msiDirectX: return std::make_unique<FakeDirectX>(source);
            default: return nullptr;
        }
    };
}

Lines Report(const sysinfo::TSysSource& source, const TMSIFactory& factory) {
    Lines lines;
    WriteStartupReport(kVersion, [&](const std::string& line) { lines.push_back(line); }, source, factory);
    return lines;
}

TEST(StartupReportTest, AllLinesWithSixtyFourBitFigures) {
    test::SysFixture fx;
    fx.Write("/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    Lines want = kVersionLines;
    for (const char* line : {"System Up Time: 1 Hour, 2 Minutes, 4 Seconds.",
                             "(8x)CPU: Intel Pentium III - 733 Mhz (Katmai (0.25 µm))",
                             "Memory: 0 MB (0 KB free)",
                             "Memory Virtual: 134217728 MB (137438691328 KB free)",
                             "Memory Load: 42%",
                             "OS: Debian GNU/Linux 12 (bookworm) [6.1.0]",
                             "Sound: Second card",
                             "DirectX: SDL 2.26.5"})
        want.push_back(line);
    EXPECT_EQ(Report(fx.Source(), Fakes({"First card", "Second card"}, 1)), want);
}

TEST(StartupReportTest, SoundLineRules) {
    test::SysFixture fx;
    auto soundLines = [&](std::vector<std::string> devices, int index) {
        Lines found;
        for (const std::string& line : Report(fx.Source(), Fakes(devices, index)))
            if (line.rfind("Sound:", 0) == 0) found.push_back(line);
        return found;
    };
    EXPECT_TRUE(soundLines({}, -1).empty());
    EXPECT_EQ(soundLines({"Game port", "Card"}, -1), (Lines{"Sound: Game port"}));
    EXPECT_EQ(soundLines({"Card"}, 5), (Lines{"Sound: Card"}));  // out of range: the first device
}

TEST(StartupReportTest, FailureEndsTheReport) {
    test::SysFixture fx;
    auto failing = [](std::uint16_t bit, const sysinfo::TSysSource&) -> std::unique_ptr<TInfoObject> {
        if (bit == msiDisplay) throw std::runtime_error("no display");
        return nullptr;
    };
    Lines want = kVersionLines;
    want.push_back("Retrieving system information failed: no display");
    EXPECT_EQ(Report(fx.Source(), failing), want);

    auto foreign = [](std::uint16_t, const sysinfo::TSysSource&) -> std::unique_ptr<TInfoObject> { throw 7; };
    EXPECT_EQ(Report(fx.Source(), foreign).back(), "Retrieving system information failed: unknown error");
}

TEST(StartupReportTest, WritesInfoEntriesIntoTheLogAsGiven) {
    test::SysFixture fx;
    test::TempDir logDir;
    SetLogFile(logDir / "quorvex.log");
    LogBeginRun();
    WriteStartupReport(kVersion, TReportSink(), fx.Source(), Fakes({"Card"}, 0));
    const std::string log = ReadLogText();
    EXPECT_NE(log.find("* Info: Company Name:Tollbeck\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("* Info: Retrieving system information...\r\n"), std::string::npos);
    // The table's micro sign stays UTF-8.
    EXPECT_NE(log.find("* Info: (8x)CPU: Intel Pentium III - 733 Mhz (Katmai (0.25 \xC2\xB5m))\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("* Info: Sound: Card\r\n"), std::string::npos);
}

TEST(StartupReportTest, EmptyTreeReportsWithoutCrashing) {
    test::SysFixture fx;
    const Lines lines = Report(fx.Source(), CreateMSIObject);
    Lines want = kVersionLines;
    for (const char* line : {"System Up Time: 0 Seconds.", "(0x)CPU:   - 0 Mhz ()", "Memory: 0 MB (0 KB free)",
                             "Memory Virtual: 0 MB (0 KB free)", "Memory Load: 0%", "OS:  [0.0.0]", "DirectX: "})
        want.push_back(line);
    EXPECT_EQ(lines, want);
}

TEST(StartupReportTest, ThisMachine) {
    const Lines lines = Report(sysinfo::TSysSource::Machine(), CreateMSIObject);
    for (const std::string& line : lines) std::cout << line << "\n";
    EXPECT_THAT(lines, testing::Contains(testing::StartsWith("System Up Time: ")));
    EXPECT_THAT(lines, testing::Contains(testing::StartsWith("(")));
    EXPECT_THAT(lines, testing::Contains(testing::StartsWith("Memory Virtual: ")));
    EXPECT_THAT(lines, testing::Contains(testing::StartsWith("DirectX: SDL ")));
    EXPECT_THAT(lines, testing::Not(testing::Contains(testing::StartsWith("Retrieving system information failed"))));
}

}  // namespace
}  // namespace qv
