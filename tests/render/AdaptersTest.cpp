#include <gtest/gtest.h>

#include "media/zkD3D.h"
#include "platform/render/FakeD3D8.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {

namespace {

using namespace d3d;
using test::TLogCapture;

class AdaptersTest : public ::testing::Test {
protected:
    AdaptersTest() : world_(std::make_shared<TFakeWorld>()) {}

    TFakeAdapter& AddAdapter(std::vector<D3DDISPLAYMODE> modes) {
        TFakeAdapter a = StandardFakeAdapter();
        a.Modes = std::move(modes);
        world_->Adapters.push_back(a);
        return world_->Adapters.back();
    }
    TzkD3D8& D3D() {
        if (!d3d_) d3d_ = std::make_unique<TzkD3D8>([w = world_] { return CreateFakeDirect3D8(w); });
        return *d3d_;
    }
    TzkD3DDeviceInfo& Enumerate() {
        D3D().EnumerateAdapters();
        return *D3D().Adapters(0)->Devices(0);
    }
    static std::vector<std::string> ModeTexts(const TzkD3DDeviceInfo& info) {
        std::vector<std::string> texts;
        for (const TzkD3DMode& m : info.Modes)
            texts.push_back(std::to_string(m.Width) + "x" + std::to_string(m.Height) + ":" + std::to_string(m.Format) +
                            "/" + std::to_string(m.BehaviorFlags));
        return texts;
    }

    TLogCapture log_;
    std::shared_ptr<TFakeWorld> world_;
    std::unique_ptr<TzkD3D8> d3d_;
};

TEST_F(AdaptersTest, ModesAreFilteredDeduplicatedAndSorted) {
    AddAdapter({{1024, 768, 60, 22},
                {1024, 768, 85, 22},
                {320, 240, 60, 22},
                {640, 350, 60, 22},
                {640, 400, 60, 22},
                {639, 480, 60, 22},
                {800, 600, 60, 23},
                {640, 480, 60, 22},
                {640, 480, 60, 23}});
    TzkD3DDeviceInfo& info = Enumerate();
    EXPECT_EQ(ModeTexts(info), (std::vector<std::string>{"640x480:23/32", "800x600:23/32", "640x400:22/32",
                                                         "640x480:22/32", "1024x768:22/32"}));
    EXPECT_EQ(info.DefaultMode, 0u);
    EXPECT_EQ(D3D().Adapters(0)->AllModes.size(), 9u);
    EXPECT_EQ(D3D().Adapters(0)->ModeCount, 9u);
}

TEST_F(AdaptersTest, DefaultModeIsTheFirst16BitVgaModeElseTheLastVgaMode) {
    struct Case {
        std::vector<D3DDISPLAYMODE> modes;
        std::uint32_t defaultMode;
    };
    const Case cases[] = {
        // Sorted: 800x600:23, 640x480:22, 1024x768:22
        {{{800, 600, 0, 23}, {640, 480, 0, 22}, {1024, 768, 0, 22}}, 1},
        {{{800, 600, 0, 23}, {640, 480, 0, 23}, {640, 480, 0, 22}}, 0},
        {{{800, 600, 0, 22}, {1024, 768, 0, 22}}, 0},
    };
    for (const Case& c : cases) {
        world_->Adapters.clear();
        AddAdapter(c.modes);
        d3d_.reset();
        EXPECT_EQ(Enumerate().DefaultMode, c.defaultMode);
    }
}

TEST_F(AdaptersTest, ConfirmModeKeepsOnly800x600OnePerFormat) {
    AddAdapter({{640, 480, 60, 22}, {800, 600, 60, 22}, {800, 600, 75, 22}, {800, 600, 60, 23}, {1024, 768, 60, 23}});
    D3D().OnConfirmMode = [](const D3DDISPLAYMODE& m, bool& accept) { accept = m.Width == 800 && m.Height == 600; };
    TzkD3DDeviceInfo& info = Enumerate();
    EXPECT_EQ(ModeTexts(info), (std::vector<std::string>{"800x600:23/32", "800x600:22/32"}));
    EXPECT_EQ(info.DefaultMode, 0u);
}

TEST_F(AdaptersTest, BehaviourCandidatesAreOfferedInOrder) {
    struct Case {
        DWORD devCaps;
        std::vector<std::uint32_t> offered;
        std::uint32_t accepted;  // what the event takes
        std::uint32_t chosen;
    };
    const Case cases[] = {
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT, {0x40, 0x80, 0x20}, 0x20, 0x20},
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE, {0x50}, 0x50, 0x50},
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE, {0x50, 0x40}, 0x40, 0x40},
        {D3DDEVCAPS_DRAWPRIMTLVERTEX, {0x20}, 0x20, 0x20},
    };
    for (const Case& c : cases) {
        world_->Adapters.clear();
        AddAdapter({{800, 600, 0, 22}}).Caps.DevCaps = c.devCaps;
        d3d_.reset();
        std::vector<std::uint32_t> offered;
        D3D().OnConfirmDevice = [&](const D3DCAPS8&, std::uint32_t behavior, D3DFORMAT format, bool& accept) {
            EXPECT_EQ(format, 22u);
            offered.push_back(behavior);
            accept = behavior == c.accepted;
        };
        TzkD3DDeviceInfo& info = Enumerate();
        EXPECT_EQ(offered, c.offered);
        EXPECT_EQ(info.Modes.at(0).BehaviorFlags, c.chosen);
        EXPECT_EQ(info.WindowedBehavior, c.chosen);
    }
}

TEST_F(AdaptersTest, RefusedDesktopFormatMeansNoWindowedRendering) {
    TFakeAdapter& a = AddAdapter({{800, 600, 0, 22}, {800, 600, 0, 23}});
    a.DeviceFormats = {23};
    TzkD3DDeviceInfo& info = Enumerate();
    EXPECT_FALSE(info.CanDoWindowed);
    EXPECT_EQ(ModeTexts(info), std::vector<std::string>{"800x600:23/32"});
    EXPECT_EQ(log_.Count("* Warning: First format not confirmed"), 1);
    EXPECT_EQ(log_.Count("* Info: Can do Windowed=0"), 1);
}

TEST_F(AdaptersTest, WindowedNeedsTheCapabilityBit) {
    AddAdapter({{800, 600, 0, 22}}).Caps.Caps2 = 0;
    TzkD3DDeviceInfo& info = Enumerate();
    EXPECT_FALSE(info.CanDoWindowed);
    EXPECT_EQ(log_.Count("First format not confirmed"), 0);
    world_->Adapters[0].Caps.Caps2 = D3DCAPS2_CANRENDERWINDOWED;
    TzkD3DDeviceInfo& again = Enumerate();
    EXPECT_TRUE(again.CanDoWindowed);
    EXPECT_EQ(again.WindowedFormat, 22u);
    EXPECT_EQ(again.WindowedBehavior, 0x20u);
}

TEST_F(AdaptersTest, NoAdaptersRaisesWithoutTryingOne) {
    try {
        D3D().EnumerateAdapters();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Could not find any compatible Direct3D adapters.");
    }
    EXPECT_TRUE(world_->CallsStartingWith("GetAdapterIdentifier").empty());
    EXPECT_EQ(log_.Count("* Msg 81000007: Could not find any compatible Direct3D adapters."), 1);
}

TEST_F(AdaptersTest, TooManyModesOrFormatsEndTheAdapterOnly) {
    std::vector<D3DDISPLAYMODE> many;
    for (UINT i = 0; i < 120; ++i) many.push_back({640 + i, 480, 0, 22});
    AddAdapter(many);
    std::vector<D3DDISPLAYMODE> formats;
    for (D3DFORMAT f = 40; f < 59; ++f) formats.push_back({800, 600, 0, f});  // 19 new + the desktop's = 20
    AddAdapter(formats);
    AddAdapter({{800, 600, 0, 22}});
    D3D().EnumerateAdapters();
    EXPECT_EQ(D3D().AdapterCount(), 1);
    EXPECT_EQ(D3D().Adapters(0)->Ordinal, 2u);
    EXPECT_EQ(log_.Count("* Info: Failed to add adapter: Too many modes"), 1);
    EXPECT_EQ(log_.Count("* Msg 81000008: Too many modes"), 1);
    EXPECT_EQ(log_.Count("* Info: Failed to add adapter: Too many formats"), 1);
    EXPECT_THROW(D3D().Adapters(1), EListError);
}

TEST_F(AdaptersTest, HundredNineteenModesAreKept) {
    std::vector<D3DDISPLAYMODE> modes;
    for (UINT i = 0; i < 119; ++i) modes.push_back({640 + i, 480, 0, 22});
    AddAdapter(modes);
    EXPECT_EQ(Enumerate().ModeCount(), 119);
}

TEST_F(AdaptersTest, UnusableAdaptersAreSkippedWithTheirReason) {
    AddAdapter({});                                         // no modes
    AddAdapter({{320, 200, 0, 22}});                        // no mode large enough
    AddAdapter({{800, 600, 0, 22}}).DeviceFormats.clear();  // no usable format
    EXPECT_THROW(D3D().EnumerateAdapters(), Exception);
    EXPECT_EQ(log_.Count("* Info: Invalid adapter. No modes."), 1);
    EXPECT_EQ(log_.Count("* Info: No valid mode"), 2);
    EXPECT_EQ(log_.Count("* Info: Failed to add device: Operation aborted"), 2);
    EXPECT_EQ(log_.Count("* Info: Could not find any compatible Direct3D devices on this adapter."), 2);
    EXPECT_EQ(log_.Count("* Info: Failed to add adapter: Operation aborted"), 3);

    log_.Clear();
    world_->Adapters.clear();
    AddAdapter({{800, 600, 0, 22}});
    world_->Failures["GetDeviceCaps"] = D3DERR_NOTAVAILABLE;
    EXPECT_THROW(D3D().EnumerateAdapters(), Exception);
    EXPECT_EQ(log_.Count("* Info: Failed to get Device Caps"), 1);
    EXPECT_EQ(log_.Count("* Info: Failed to add adapter: Operation aborted"), 1);
}

TEST_F(AdaptersTest, FailingIdentifierIsCheckedWithItsContext) {
    AddAdapter({{800, 600, 0, 22}});
    world_->Failures["GetAdapterIdentifier"] = D3DERR_INVALIDCALL;
    EXPECT_THROW(D3D().EnumerateAdapters(), Exception);
    EXPECT_EQ(log_.Count("* Msg 8876086C: The method call is invalid. For example, a method's parameter may have an "
                         "invalid value. Getting Adapter Identifier"),
              1);
}

TEST_F(AdaptersTest, LogLinesDescribeTheAdapter) {
    TFakeAdapter& a = AddAdapter({{800, 600, 0, 22}, {800, 600, 0, 23}});
    a.Identifier.Driver = "drv";
    a.Identifier.Description = "desc";
    a.Identifier.DriverVersionHighPart = (6u << 16) | 14u;
    a.Identifier.DriverVersionLowPart = (10u << 16) | 4100u;
    a.Identifier.VendorId = 4318;
    a.Identifier.DeviceIdentifier = GUID{0x12AB34CD, 0x0102, 0xA0B0, {1, 2, 3, 4, 5, 6, 7, 0xFE}};
    a.Caps.CursorCaps = 1;
    a.Caps.MaxVertexW = 1e10f;
    a.TextureFormats = {21, 26, 28};
    Enumerate();
    const std::vector<std::string> expected = {
        "* Checkpoint: Create Direct3D 8",
        "* Info: Adapter Info: Driver=drv / Description=desc / Product=6 / Version=14 / SubVersion=10 / Build=4100 / "
        "VendorId=4318 / DeviceId=0 / SubSysId=0 / Revision=0 / "
        "DeviceIdentifier={12AB34CD-0102-A0B0-0102-0304050607FE} / WHQLLevel=0",
        "* Info: Display Mode: Width=800 Height=600 Format=X8R8G8B8 ModeCount=2",
        "* Info: Device capabilities: CursorCaps=00000001 / Caps=00000000 / Caps2=00080000 / Caps3=00000000 / "
        "DevCaps=00000400 / PrimitiveMiscCaps=00000000 / RasterCaps=00000000 / ZCmpCaps=00000000 / "
        "TextureCaps=00000000 / TextureFilterCaps=02000200 / MaxTextureWidth=2048 / MaxTextureHeight=2048 / "
        "MaxTextureAspectRation=0 / MaxVertexW=1e+10",
        "* Info: Back Buffer Format: X8R8G8B8 / Texture Formats: A8R8G8B8, A4R4G4B4, A8, ",
        "* Info: Back Buffer Format: R5G6B5 / Texture Formats: A8R8G8B8, A4R4G4B4, A8, ",
        "* Info: Can do Windowed=1",
    };
    EXPECT_EQ(log_.Lines(), expected);
}

TEST_F(AdaptersTest, NoDirect3DObjectRaises) {
    try {
        TzkD3D8 none([] { return std::unique_ptr<IDirect3D8>(); });
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Could not Create Direct3D8!");
    }
}

TEST_F(AdaptersTest, DepthFormatSearchFollowsTheBitLimits) {
    AddAdapter({{800, 600, 0, 22}});
    // The fake accepts no depth formats: every candidate is tried and refused.
    D3D().DepthBits = 16;
    EXPECT_EQ(D3D().FindDepthStencilFormat(0, D3DDEVTYPE_HAL, 22), 0u);
    const auto tried = world_->CallsStartingWith("CheckDeviceFormat");
    // 16 bits, no stencil: D16, D24X8, D24S8, D24X4S4, D32 (D15S1 needs at most 15).
    ASSERT_EQ(tried.size(), 5u);
    EXPECT_EQ(tried[0], "CheckDeviceFormat(0,1,22,2,1,80)");
    EXPECT_EQ(tried[4], "CheckDeviceFormat(0,1,22,2,1,71)");
    D3D().UseDepthBuffer = true;
    EXPECT_THROW(D3D().EnumerateAdapters(), Exception);  // no depth format, so no usable format
    EXPECT_EQ(log_.Count("No valid mode"), 1);
}

}  // namespace

}  // namespace qv
