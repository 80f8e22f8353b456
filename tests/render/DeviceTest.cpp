#include <gtest/gtest.h>

#include "media/zkD3D.h"
#include "platform/render/FakeD3D8.h"
#include "platform/system/Clock.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {

namespace {

using namespace d3d;
using test::TFakeRig;
using test::TLogCapture;

// A renderer that writes what the device asks of it into a shared journal.
class TJournalRenderer final : public TzkD3DRenderer {
public:
    TJournalRenderer(TzkD3Device8* device, std::string name, std::vector<std::string>* journal)
        : TzkD3DRenderer(device), name_(std::move(name)), journal_(journal) {}
    ~TJournalRenderer() override { journal_->push_back(name_ + ".destroy"); }
    void Clear() override { journal_->push_back(name_ + ".Clear"); }
    void ReleaseResources() override { journal_->push_back(name_ + ".Release"); }
    void CreateResources() override { journal_->push_back(name_ + ".Create"); }
    void Render() override { journal_->push_back(name_ + ".Render"); }

private:
    std::string name_;
    std::vector<std::string>* journal_;
};

class DeviceTest : public ::testing::Test {
protected:
    DeviceTest() {
        sys::SetSystemClock(&clock_);
        clock_.AdvanceMilliseconds(5000);
    }
    ~DeviceTest() override { sys::SetSystemClock(nullptr); }

    TzkD3Device8& Dev() { return *rig_.Device; }
    TFakeWorld& World() { return *rig_.World; }
    void Lose() {
        World().PresentResults.push_back(D3DERR_DEVICELOST);
        World().CooperativeResults.push_back(D3DERR_DEVICELOST);
        Dev().Present();
    }

    sys::TManualClock clock_;
    TLogCapture log_;
    TFakeRig rig_;
    std::vector<std::string> journal_;
};

TEST_F(DeviceTest, CreationLogsAndFillsThePresentParameters) {
    struct Case {
        bool windowed;
        const char* line;
        std::uint32_t refresh, interval;
    };
    const Case cases[] = {
        {true,
         "* Info: Creating device: AdapterId=0 / DeviceType=1 / Behavior=32 / Width=800 / Height=600 / "
         "Format=X8R8G8B8 / Windowed=1 / EnableAutoDepthStencil=0 / AutoDepthStencilFormat=Unknown",
         0, 0},
        {false,
         "* Info: Creating device: AdapterId=0 / DeviceType=1 / Behavior=32 / Width=800 / Height=600 / "
         "Format=X8R8G8B8 / Windowed=0 / EnableAutoDepthStencil=0 / AutoDepthStencilFormat=Unknown",
         60, 1},
    };
    for (const Case& c : cases) {
        TLogCapture log;
        TFakeRig rig({}, c.windowed, 60, 1);
        const D3DPRESENT_PARAMETERS& p = rig.World->LastParameters;
        EXPECT_EQ(p.BackBufferWidth, 800u);
        EXPECT_EQ(p.BackBufferHeight, 600u);
        EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
        EXPECT_EQ(p.BackBufferCount, 0u);
        EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
        EXPECT_EQ(p.Windowed, c.windowed ? 1 : 0);
        EXPECT_EQ(p.EnableAutoDepthStencil, 0);
        EXPECT_EQ(p.Flags, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
        EXPECT_EQ(p.FullScreen_RefreshRateInHz, c.refresh);
        EXPECT_EQ(p.FullScreen_PresentationInterval, c.interval);
        EXPECT_EQ(log.Count(c.line), 1) << c.line;
        EXPECT_EQ(rig.Device->TextureFilter, D3DTEXF_LINEAR);
        EXPECT_TRUE(rig.Device->RenderersReady);
    }
}

TEST_F(DeviceTest, FailedCreationRaisesTheOwnCode) {
    auto world = std::make_shared<TFakeWorld>();
    world->Adapters.push_back(StandardFakeAdapter());
    world->CreateDeviceResult = D3DERR_NOTAVAILABLE;
    TzkD3D8 d3d([world] { return CreateFakeDirect3D8(world); });
    d3d.EnumerateAdapters();
    TzkD3DMode mode;
    d3d.Adapters(0)->Devices(0)->GetMode(0, mode);
    try {
        TzkD3Device8 device(d3d.Adapters(0)->Devices(0), nullptr, nullptr, true, mode);
        FAIL();
    } catch (const EDirect3DError& e) {
        EXPECT_STREQ(e.what(), "Failed to create device");
        EXPECT_EQ(e.ErrorCode, 0x8876086Au);
    }
}

TEST_F(DeviceTest, LossConfirmedByTheCooperativeLevelStartsTheLostState) {
    int lostEvents = 0;
    Dev().OnDeviceLost = [&](TzkD3Device8* sender) {
        EXPECT_EQ(sender, &Dev());
        ++lostEvents;
    };
    TJournalRenderer r(&Dev(), "r", &journal_);
    Dev().RestoreRenderers();
    journal_.clear();

    // A loss the cooperative level does not confirm changes nothing.
    World().PresentResults.push_back(D3DERR_DEVICELOST);
    World().CooperativeResults.push_back(D3D_OK);
    Dev().Present();
    EXPECT_FALSE(Dev().Lost);
    EXPECT_TRUE(journal_.empty());

    Lose();
    EXPECT_TRUE(Dev().Lost);
    EXPECT_EQ(journal_, std::vector<std::string>{"r.Release"});
    EXPECT_EQ(lostEvents, 1);
    EXPECT_EQ(log_.Count("* Info: Begin device lost (5000)"), 1);

    // A second loss finds the device lost already: one line, one event.
    Lose();
    EXPECT_EQ(log_.Count("Begin device lost ("), 1);
    EXPECT_EQ(lostEvents, 1);
}

TEST_F(DeviceTest, RecoveryWaitsThenResetsAndRebuildsBeforeTheEvent) {
    TJournalRenderer r(&Dev(), "r", &journal_);
    Dev().OnDeviceRestored = [&](TzkD3Device8*) { journal_.push_back("restored"); };
    Lose();
    journal_.clear();
    World().ClearRecord();

    World().CooperativeResults.push_back(D3DERR_DEVICELOST);
    EXPECT_FALSE(Dev().CheckDevice());
    EXPECT_EQ(rig_.Sleeps, std::vector<std::uint32_t>{1000});
    EXPECT_TRUE(World().CallsStartingWith("Reset").empty());

    // The reset fails: still lost, another second.
    World().CooperativeResults.push_back(D3DERR_DEVICENOTRESET);
    World().ResetResults.push_back(D3DERR_INVALIDCALL);
    EXPECT_FALSE(Dev().CheckDevice());
    EXPECT_EQ(rig_.Sleeps.size(), 2u);
    EXPECT_TRUE(Dev().Lost);

    clock_.AdvanceMilliseconds(2000);
    World().CooperativeResults.push_back(D3DERR_DEVICENOTRESET);
    EXPECT_TRUE(Dev().CheckDevice());
    EXPECT_FALSE(Dev().Lost);
    EXPECT_EQ(journal_, (std::vector<std::string>{"r.Release", "r.Create", "restored"}));
    EXPECT_EQ(log_.Count("* Info: End device lost (7000)"), 1);
    EXPECT_EQ(rig_.Sleeps.size(), 2u);
    EXPECT_EQ(World().CallsStartingWith("Reset").size(), 2u);
}

TEST_F(DeviceTest, ResetNeedsTheRenderersBuffersReleased) {
    // A renderer that keeps a default-pool buffer through the loss makes
    // every reset fail, as Direct3D does.
    class THolder final : public TzkD3DRenderer {
    public:
        using TzkD3DRenderer::TzkD3DRenderer;
        void Clear() override {}
        void ReleaseResources() override {}
        void CreateResources() override {
            if (!buffer) Device->Device->CreateVertexBuffer(28, 0, kTLVertexFVF, D3DPOOL_DEFAULT, &buffer);
        }
        void Render() override {}
        std::unique_ptr<IDirect3DVertexBuffer8> buffer;
    } holder(&Dev());
    Dev().RestoreRenderers();
    Lose();
    World().CooperativeResults.push_back(D3DERR_DEVICENOTRESET);
    EXPECT_FALSE(Dev().CheckDevice());
    holder.buffer.reset();
    World().CooperativeResults.push_back(D3DERR_DEVICENOTRESET);
    EXPECT_TRUE(Dev().CheckDevice());
}

TEST_F(DeviceTest, CheckDeviceOnAUsableDeviceMakesNoCall) {
    EXPECT_TRUE(Dev().CheckDevice());
    EXPECT_TRUE(World().Calls.empty());
    EXPECT_TRUE(rig_.Sleeps.empty());
}

TEST_F(DeviceTest, RenderSceneRebuildsLateRenderersAndAlwaysClears) {
    TJournalRenderer a(&Dev(), "a", &journal_);
    Dev().RenderScene();
    TJournalRenderer b(&Dev(), "b", &journal_);
    EXPECT_FALSE(Dev().RenderersReady);
    Dev().RenderScene();
    EXPECT_EQ(journal_, (std::vector<std::string>{"a.Release", "a.Create", "a.Render", "a.Clear", "a.Release",
                                                  "a.Create", "b.Release", "b.Create", "a.Render", "b.Render",
                                                  "a.Clear", "b.Clear"}));
    journal_.clear();
    Lose();
    journal_.clear();
    World().CooperativeResults.push_back(D3DERR_DEVICELOST);
    Dev().RenderScene();
    EXPECT_EQ(journal_, (std::vector<std::string>{"a.Clear", "b.Clear"}));
}

TEST_F(DeviceTest, FlushSceneLocksOnePixelOnlyAfterAScene) {
    Dev().FlushScene();
    EXPECT_TRUE(World().Calls.empty());
    Dev().BeginScene();
    Dev().EndScene();
    Dev().EndScene();
    EXPECT_EQ(Dev().FramesPending, 2);
    World().ClearRecord();
    Dev().FlushScene();
    EXPECT_EQ(World().Calls,
              (std::vector<std::string>{"GetBackBuffer(0,0)", "BB.LockRect(0;0;1;1,2064)", "BB.UnlockRect()"}));
    EXPECT_EQ(Dev().FramesPending, 0);
    World().ClearRecord();
    Dev().FlushScene();
    EXPECT_TRUE(World().Calls.empty());
}

TEST_F(DeviceTest, FlushFailuresAreWarningsOnly) {
    Dev().EndScene();
    World().Failures["LockRect"] = D3DERR_INVALIDCALL;
    EXPECT_NO_THROW(Dev().FlushScene());
    EXPECT_EQ(log_.Count("* Warning: Error flushing scene: The method call is invalid. For example, a method's "
                         "parameter may have an invalid value."),
              1);
}

TEST_F(DeviceTest, PresentFailuresOtherThanLossRaise) {
    World().PresentResults.push_back(D3DERR_DRIVERINTERNALERROR);
    EXPECT_THROW(Dev().Present(), EDirect3DError);
    EXPECT_EQ(log_.Count("* Msg 88760827: Internal driver error. present"), 1);
}

TEST_F(DeviceTest, TextureSlotsStayWhereTheyAre) {
    auto* a = reinterpret_cast<TzkD3DTexture8*>(0x1000);
    auto* b = reinterpret_cast<TzkD3DTexture8*>(0x2000);
    auto* c = reinterpret_cast<TzkD3DTexture8*>(0x3000);
    auto* d = reinterpret_cast<TzkD3DTexture8*>(0x4000);
    EXPECT_EQ(Dev().AddTexture(a), 0);
    EXPECT_EQ(Dev().AddTexture(b), 1);
    EXPECT_EQ(Dev().AddTexture(c), 2);
    Dev().RemoveTexture(b);
    EXPECT_EQ(Dev().GetTexture(1), nullptr);
    EXPECT_EQ(Dev().GetTexture(2), c);
    EXPECT_EQ(Dev().AddTexture(d), 1);  // the hole is taken, nothing moves
    EXPECT_EQ(Dev().GetTexture(2), c);
    EXPECT_EQ(Dev().GetTexture(-1), nullptr);
    EXPECT_EQ(Dev().GetTexture(3), nullptr);
    for (auto* t : {a, c, d}) Dev().RemoveTexture(t);
    EXPECT_EQ(Dev().TextureSlotCount(), 0);
}

TEST_F(DeviceTest, DestroyFreesRenderersLastFirst) {
    new TJournalRenderer(&Dev(), "a", &journal_);
    new TJournalRenderer(&Dev(), "b", &journal_);
    rig_.Device.reset();
    EXPECT_EQ(journal_, (std::vector<std::string>{"b.destroy", "a.destroy"}));
}

}  // namespace

}  // namespace qv
