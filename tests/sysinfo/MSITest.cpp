#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "foundation/Exceptions.h"
#include "sysinfo/MSI_CPU.h"
#include "sysinfo/MSI_Console.h"
#include "sysinfo/MSI_Display.h"
#include "sysinfo/MSI_Media.h"
#include "sysinfo/MSI_OS.h"
#include "sysinfo/MSI_DirectX.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Memory.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

// A sub-object that records what happens to it in a shared journal.
struct Journal {
    std::vector<std::string> refreshed;
    std::vector<std::pair<std::string, TExceptionMode>> modes;
    std::vector<std::string> failing;  // class names whose refresh throws
    bool throwForeign = false;
};

class FakeObject : public TInfoObject {
public:
    FakeObject(const sysinfo::TSysSource& source, std::string name, Journal& journal)
        : TInfoObject(source), name_(std::move(name)), journal_(journal) {}
    const char* ClassName() const override { return name_.c_str(); }
    void GetInfo() override {
        journal_.refreshed.push_back(name_);
        Partial = 1;
        for (const std::string& f : journal_.failing)
            if (f == name_) {
                if (journal_.throwForeign) throw 42;
                throw std::runtime_error("no " + name_);
            }
        Whole = 1;
    }
    void SetExceptionMode(TExceptionMode mode) override { journal_.modes.emplace_back(name_, mode); }
    int Partial = 0, Whole = 0;

private:
    std::string name_;
    Journal& journal_;
};

const char* ClassOf(std::uint16_t bit) {
    switch (bit) {
        case msiCPU: return "TCPU";
        case msiMachine: return "TMachine";
        case msiDevices: return "TDevices";
        case msiDisplay: return "TDisplay";
        case msiNetwork: return "TNetwork";
        case msiMedia: return "TMedia";
        case msiMemory: return "TMemory";
        case msiEngines: return "TEngines";
        case msiAPM: return "TAPM";
        case msiDisk: return "TDisk";
        case msiDirectX: return "TDirectX";
        case msiOperatingSystem: return "TOperatingSystem";
        case msiProcesses: return "TProcesses";
        case msiPrinters: return "TPrinters";
        case msiSoftware: return "TSoftware";
        default: return "TStartup";
    }
}

struct FakeRegistry {
    Journal journal;
    std::vector<std::string> created;
    TMSIFactory Factory() {
        return [this](std::uint16_t bit, const sysinfo::TSysSource& source) -> std::unique_ptr<TInfoObject> {
            created.push_back(ClassOf(bit));
            return std::make_unique<FakeObject>(source, ClassOf(bit), journal);
        };
    }
};

TEST(MSITest, NoFlagsNoObjects) {
    test::SysFixture fx;
    FakeRegistry registry;
    TMSI msi(0, fx.Source(), registry.Factory());
    msi.GetInfo();
    msi.SetExceptionMode(emSilent);
    EXPECT_TRUE(registry.created.empty());
    EXPECT_TRUE(registry.journal.refreshed.empty());
    EXPECT_TRUE(registry.journal.modes.empty());
    EXPECT_EQ(msi.ExceptionMode(), emSilent);
    EXPECT_EQ(msi.Memory(), nullptr);
}

TEST(MSITest, CreationAndRefreshOrder) {
    test::SysFixture fx;
    FakeRegistry registry;
    TMSI msi(0xFFFF, fx.Source(), registry.Factory());
    EXPECT_EQ(msi.ExceptionMode(), emMessage);
    EXPECT_THAT(registry.created,
                testing::ElementsAre("TCPU", "TMemory", "TOperatingSystem", "TDisk", "TMachine", "TNetwork",
                                     "TDisplay", "TMedia", "TDevices", "TEngines", "TAPM", "TDirectX",
                                     "TProcesses", "TPrinters", "TSoftware", "TStartup"));
    msi.GetInfo();
    EXPECT_THAT(registry.journal.refreshed,
                testing::ElementsAre("TDevices", "TCPU", "TMemory", "TOperatingSystem", "TDisk", "TMachine",
                                     "TNetwork", "TDisplay", "TMedia", "TEngines", "TAPM", "TDirectX",
                                     "TProcesses", "TPrinters", "TSoftware", "TStartup"));
}

TEST(MSITest, StartupSelectionMakesSevenObjects) {
    test::SysFixture fx;
    FakeRegistry registry;
    TMSI msi(kStartupReportFlags, fx.Source(), registry.Factory());
    EXPECT_THAT(registry.created, testing::ElementsAre("TCPU", "TMemory", "TOperatingSystem", "TMachine",
                                                       "TDisplay", "TMedia", "TDirectX"));
}

TEST(MSITest, ExceptionModeReachesCpuOsAndNetworkOnly) {
    test::SysFixture fx;
    FakeRegistry registry;
    TMSI msi(0xFFFF, fx.Source(), registry.Factory());
    msi.SetExceptionMode(emRaise);
    std::vector<std::string> told;
    for (const auto& [name, mode] : registry.journal.modes) {
        told.push_back(name);
        EXPECT_EQ(mode, emRaise);
    }
    EXPECT_THAT(told, testing::UnorderedElementsAre("TCPU", "TOperatingSystem", "TNetwork"));
}

TEST(MSITest, FailuresByMode) {
    test::SysFixture fx;
    {
        // Message mode without a front end: one line on standard output.
        FakeRegistry registry;
        registry.journal.failing = {"TCPU"};
        TMSI msi(msiCPU | msiMemory, fx.Source(), registry.Factory());
        testing::internal::CaptureStdout();
        msi.GetInfo();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "TCPU.GetInfo: no TCPU\n");
        EXPECT_THAT(registry.journal.refreshed, testing::ElementsAre("TCPU", "TMemory"));
    }
    {
        // Message mode with the front end's box.
        FakeRegistry registry;
        registry.journal.failing = {"TMemory"};
        std::vector<std::string> shown;
        SetErrorBoxHook([&](const std::string& text) { shown.push_back(text); });
        TMSI msi(msiMemory, fx.Source(), registry.Factory());
        msi.GetInfo();
        SetErrorBoxHook(nullptr);
        EXPECT_THAT(shown, testing::ElementsAre("TMemory.GetInfo: no TMemory"));
    }
    {
        // Silent: the failing object keeps what it had, the rest go on.
        FakeRegistry registry;
        registry.journal.failing = {"TDevices", "TMemory"};
        TMSI msi(msiDevices | msiCPU | msiMemory | msiDirectX, fx.Source(), registry.Factory());
        msi.SetExceptionMode(emSilent);
        testing::internal::CaptureStdout();
        EXPECT_NO_THROW(msi.GetInfo());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_THAT(registry.journal.refreshed, testing::ElementsAre("TDevices", "TCPU", "TMemory", "TDirectX"));
        auto* memory = dynamic_cast<FakeObject*>(msi.Object(msiMemory));
        ASSERT_TRUE(memory);
        EXPECT_EQ(memory->Partial, 1);
        EXPECT_EQ(memory->Whole, 0);
    }
    {
        // Raise: the first failure ends the refresh with the labelled text.
        FakeRegistry registry;
        registry.journal.failing = {"TCPU"};
        TMSI msi(msiCPU | msiMemory, fx.Source(), registry.Factory());
        msi.SetExceptionMode(emRaise);
        try {
            msi.GetInfo();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "TCPU.GetInfo: no TCPU");
        }
        EXPECT_THAT(registry.journal.refreshed, testing::ElementsAre("TCPU"));
    }
    {
        // Something that is not a std::exception passes through every mode.
        FakeRegistry registry;
        registry.journal.failing = {"TCPU"};
        registry.journal.throwForeign = true;
        TMSI msi(msiCPU, fx.Source(), registry.Factory());
        msi.SetExceptionMode(emSilent);
        EXPECT_THROW(msi.GetInfo(), int);
    }
}

TEST(MSITest, RealObjectsOnTreesNeverThrowWhenSilent) {
    test::SysFixture empty;
    test::SysFixture desktop;
    desktop.BuildDesktop();
    for (test::SysFixture* fx : {&empty, &desktop}) {
        TMSI msi(0xFFFF, fx->Source());
        msi.SetExceptionMode(emRaise);
        EXPECT_NO_THROW(msi.GetInfo());
        ASSERT_TRUE(msi.Memory() && msi.Machine() && msi.Devices() && msi.DirectX());
    }
    TMSI msi(kStartupReportFlags, desktop.Source());
    EXPECT_TRUE(msi.CPU() && msi.Machine() && msi.Display() && msi.Media() && msi.Memory() && msi.DirectX() &&
                msi.OperatingSystem());
    msi.SetExceptionMode(emSilent);
    msi.GetInfo();
    EXPECT_EQ(msi.Memory()->PhysicalTotal, 16318424LL * 1024);
    EXPECT_EQ(msi.Machine()->Computer, "Lindqvist Computers Tower 5");
    EXPECT_EQ(msi.Devices(), nullptr);
    EXPECT_EQ(msi.DirectX()->Version, "");  // the fixture has no graphics runtime
    EXPECT_FALSE(msi.About().empty());
}

}  // namespace
}  // namespace qv
