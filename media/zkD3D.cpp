#include "media/zkD3D.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <thread>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"
#include "media/zkD3DTextures.h"
#include "platform/system/Clock.h"

namespace qv {

using namespace d3d;

namespace {

constexpr std::size_t kModeLimit = 120;
constexpr std::size_t kFormatLimit = 20;

std::string Dec(std::uint64_t v) { return std::to_string(v); }

std::string GuidText(const GUID& g) {
    char text[48];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::string FloatText(float v) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, v);
    return std::string(text, result.ptr);
}

}  // namespace

// ---------------------------------------------------------------------------
// TzkD3D8

TzkD3D8::TzkD3D8(TDirect3DFactory factory) {
    // The drawing library is linked into the program, so it is always there.
    LogMessage("Create Direct3D 8", lkCheckpoint);
    Direct3D = factory ? factory() : Direct3DCreate8(D3D_SDK_VERSION);
    if (!Direct3D) D3DRaiseError(kD3DCreateFailed);
}

TzkD3D8::~TzkD3D8() {
    adapters_.clear();
    Direct3D.reset();
}

void TzkD3D8::EnumerateAdapters() {
    adapters_.clear();
    const UINT count = Direct3D->GetAdapterCount();
    for (UINT n = 0; n < count; ++n) {
        try {
            adapters_.push_back(std::make_unique<TzkD3DAdapterInfo>(this, n));
        } catch (const std::exception& e) {
            LogMessage(std::string("Failed to add adapter: ") + e.what(), lkInfo);
        }
    }
    if (adapters_.empty()) D3DRaiseError(kD3DNoAdapters);
}

TzkD3DAdapterInfo* TzkD3D8::Adapters(int index) const {
    if (index < 0 || index >= AdapterCount()) throw EListError("Index out of bounds");
    return adapters_[static_cast<std::size_t>(index)].get();
}

D3DFORMAT TzkD3D8::FindDepthStencilFormat(std::uint32_t adapter, std::uint32_t deviceType, D3DFORMAT format) {
    struct Candidate {
        D3DFORMAT format;
        bool fits;
    };
    const Candidate candidates[] = {
        {D3DFMT_D16, DepthBits <= 16 && StencilBits == 0},   {D3DFMT_D15S1, DepthBits <= 15 && StencilBits <= 1},
        {D3DFMT_D24X8, DepthBits <= 24 && StencilBits == 0}, {D3DFMT_D24S8, DepthBits <= 24 && StencilBits <= 8},
        {D3DFMT_D24X4S4, DepthBits <= 24 && StencilBits <= 4}, {D3DFMT_D32, DepthBits <= 32 && StencilBits == 0},
    };
    for (const Candidate& c : candidates) {
        if (!c.fits) continue;
        if (Failed(Direct3D->CheckDeviceFormat(adapter, deviceType, format, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                               c.format)))
            continue;
        if (Failed(Direct3D->CheckDepthStencilMatch(adapter, deviceType, format, format, c.format))) continue;
        return c.format;
    }
    return D3DFMT_UNKNOWN;
}

// ---------------------------------------------------------------------------
// TzkD3DAdapterInfo

TzkD3DAdapterInfo::TzkD3DAdapterInfo(TzkD3D8* owner, std::uint32_t ordinal) : Ordinal(ordinal), Owner(owner) {
    IDirect3D8& d3d = *owner->Direct3D;
    D3DCheck(d3d.GetAdapterIdentifier(ordinal, 0, &Identifier), 0, "Getting Adapter Identifier");
    const std::uint32_t hi = Identifier.DriverVersionHighPart, lo = Identifier.DriverVersionLowPart;
    LogMessage("Adapter Info: Driver=" + Identifier.Driver + " / Description=" + Identifier.Description +
                   " / Product=" + Dec(hi >> 16) + " / Version=" + Dec(hi & 0xFFFFu) + " / SubVersion=" +
                   Dec(lo >> 16) + " / Build=" + Dec(lo & 0xFFFFu) + " / VendorId=" + Dec(Identifier.VendorId) +
                   " / DeviceId=" + Dec(Identifier.DeviceId) + " / SubSysId=" + Dec(Identifier.SubSysId) +
                   " / Revision=" + Dec(Identifier.Revision) + " / DeviceIdentifier=" +
                   GuidText(Identifier.DeviceIdentifier) + " / WHQLLevel=" + Dec(Identifier.WHQLLevel),
               lkInfo);

    ModeCount = d3d.GetAdapterModeCount(ordinal);
    if (ModeCount == 0) {
        LogMessage("Invalid adapter. No modes.", lkInfo);
        throw EAbort();
    }
    D3DCheck(d3d.GetAdapterDisplayMode(ordinal, &DisplayMode), 0, "Getting Display Mode");
    LogMessage("Display Mode: Width=" + Dec(DisplayMode.Width) + " Height=" + Dec(DisplayMode.Height) +
                   " Format=" + D3DFormatToString(DisplayMode.Format) + " ModeCount=" + Dec(ModeCount),
               lkInfo);
    Monitor = d3d.GetAdapterMonitor(ordinal);

    std::vector<D3DFORMAT> formats{DisplayMode.Format};
    std::vector<D3DDISPLAYMODE> listed;
    AllModes.reserve(ModeCount);
    for (UINT m = 0; m < ModeCount; ++m) {
        D3DDISPLAYMODE mode;
        D3DCheck(d3d.EnumAdapterModes(ordinal, m, &mode), 0, "EnumAdapterModes");
        AllModes.push_back(mode);
        if (mode.Width < 640 || mode.Height < 400) continue;
        const bool known = std::any_of(listed.begin(), listed.end(), [&](const D3DDISPLAYMODE& l) {
            return l.Width == mode.Width && l.Height == mode.Height && l.Format == mode.Format;
        });
        if (known) continue;
        if (owner->OnConfirmMode) {
            bool accept = true;
            owner->OnConfirmMode(mode, accept);
            if (!accept) continue;
        }
        listed.push_back({mode.Width, mode.Height, 0, mode.Format});
        if (listed.size() == kModeLimit) D3DRaiseError(kD3DTooManyModes);
        if (std::find(formats.begin(), formats.end(), mode.Format) == formats.end()) {
            formats.push_back(mode.Format);
            if (formats.size() == kFormatLimit) D3DRaiseError(kD3DTooManyFormats);
        }
    }
    std::sort(listed.begin(), listed.end(), [](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
        if (a.Format != b.Format) return a.Format > b.Format;
        if (a.Width != b.Width) return a.Width < b.Width;
        return a.Height < b.Height;
    });

    try {
        devices_.push_back(std::make_unique<TzkD3DDeviceInfo>(this, D3DDEVTYPE_HAL, listed, formats));
    } catch (const std::exception& e) {
        LogMessage(std::string("Failed to add device: ") + e.what(), lkInfo);
    }
    if (devices_.empty()) {
        LogMessage("Could not find any compatible Direct3D devices on this adapter.", lkInfo);
        throw EAbort();
    }
}

TzkD3DAdapterInfo::~TzkD3DAdapterInfo() = default;

TzkD3DDeviceInfo* TzkD3DAdapterInfo::Devices(int index) const {
    if (index < 0 || index >= DeviceCount()) throw EListError("Index out of bounds");
    return devices_[static_cast<std::size_t>(index)].get();
}

// ---------------------------------------------------------------------------
// TzkD3DDeviceInfo

TzkD3DDeviceInfo::TzkD3DDeviceInfo(TzkD3DAdapterInfo* adapter, std::uint32_t deviceType,
                                   const std::vector<D3DDISPLAYMODE>& modes, const std::vector<D3DFORMAT>& formats)
    : DeviceType(deviceType), Adapter(adapter) {
    TzkD3D8& owner = *adapter->Owner;
    IDirect3D8& d3d = *owner.Direct3D;
    const UINT ordinal = adapter->Ordinal;
    if (Failed(d3d.GetDeviceCaps(ordinal, deviceType, &Caps))) {
        LogMessage("Failed to get Device Caps", lkInfo);
        throw EAbort();
    }
    LogMessage("Device capabilities: CursorCaps=" + Hex8(Caps.CursorCaps) + " / Caps=" + Hex8(Caps.Caps) +
                   " / Caps2=" + Hex8(Caps.Caps2) + " / Caps3=" + Hex8(Caps.Caps3) + " / DevCaps=" +
                   Hex8(Caps.DevCaps) + " / PrimitiveMiscCaps=" + Hex8(Caps.PrimitiveMiscCaps) + " / RasterCaps=" +
                   Hex8(Caps.RasterCaps) + " / ZCmpCaps=" + Hex8(Caps.ZCmpCaps) + " / TextureCaps=" +
                   Hex8(Caps.TextureCaps) + " / TextureFilterCaps=" + Hex8(Caps.TextureFilterCaps) +
                   " / MaxTextureWidth=" + Dec(Caps.MaxTextureWidth) + " / MaxTextureHeight=" +
                   Dec(Caps.MaxTextureHeight) + " / MaxTextureAspectRation=" + Dec(Caps.MaxTextureAspectRatio) +
                   " / MaxVertexW=" + FloatText(Caps.MaxVertexW),
               lkInfo);

    struct Setup {
        bool accepted = false;
        std::uint32_t behavior = 0;
        D3DFORMAT depth = D3DFMT_UNKNOWN;
    };
    std::vector<Setup> setups(formats.size());
    std::vector<std::uint32_t> behaviors;
    if (Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        if (Caps.DevCaps & D3DDEVCAPS_PUREDEVICE)
            behaviors.push_back(D3DCREATE_PUREDEVICE | D3DCREATE_HARDWARE_VERTEXPROCESSING);
        behaviors.push_back(D3DCREATE_HARDWARE_VERTEXPROCESSING);
        behaviors.push_back(D3DCREATE_MIXED_VERTEXPROCESSING);
    }
    behaviors.push_back(D3DCREATE_SOFTWARE_VERTEXPROCESSING);

    for (std::size_t i = 0; i < formats.size(); ++i) {
        const D3DFORMAT f = formats[i];
        Setup& s = setups[i];
        if (Failed(d3d.CheckDeviceType(ordinal, deviceType, f, f, 0))) continue;
        bool chosen = false;
        for (std::uint32_t behavior : behaviors) {
            bool accept = true;
            if (owner.OnConfirmDevice) owner.OnConfirmDevice(Caps, behavior, f, accept);
            if (accept) {
                s.behavior = behavior;
                chosen = true;
                break;
            }
        }
        if (!chosen) continue;
        if (owner.UseDepthBuffer) {
            s.depth = owner.FindDepthStencilFormat(ordinal, deviceType, f);
            if (s.depth == D3DFMT_UNKNOWN) continue;
        }
        s.accepted = true;
        std::string line = "Back Buffer Format: " + D3DFormatToString(f) + " / Texture Formats: ";
        for (D3DFORMAT t : kTextureFormats)
            if (Succeeded(d3d.CheckDeviceFormat(ordinal, deviceType, f, 0, D3DRTYPE_TEXTURE, t)))
                line += D3DFormatToString(t) + ", ";
        LogMessage(line, lkInfo);
    }

    for (const D3DDISPLAYMODE& mode : modes) {
        for (std::size_t i = 0; i < formats.size(); ++i) {
            if (setups[i].accepted && formats[i] == mode.Format)
                Modes.push_back({mode.Width, mode.Height, mode.Format, setups[i].behavior, setups[i].depth});
        }
    }
    if (Modes.empty()) {
        LogMessage("No valid mode", lkInfo);
        throw EAbort();
    }

    int lastVga = -1;
    int chosen = -1;
    for (std::size_t i = 0; i < Modes.size(); ++i) {
        const TzkD3DMode& m = Modes[i];
        if (m.Width != 640 || m.Height != 480) continue;
        lastVga = static_cast<int>(i);
        if (chosen < 0 && (m.Format == D3DFMT_R5G6B5 || m.Format == D3DFMT_X1R5G5B5 || m.Format == D3DFMT_A1R5G5B5))
            chosen = static_cast<int>(i);
    }
    DefaultMode = static_cast<std::uint32_t>(chosen >= 0 ? chosen : (lastVga >= 0 ? lastVga : 0));

    if (!setups[0].accepted) {
        LogMessage("First format not confirmed", lkWarning);
    } else if (Caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED) {
        CanDoWindowed = true;
        WindowedFormat = formats[0];
        WindowedBehavior = setups[0].behavior;
        WindowedDepthFormat = setups[0].depth;
    }
    LogMessage(std::string("Can do Windowed=") + (CanDoWindowed ? "1" : "0"), lkInfo);
}

void TzkD3DDeviceInfo::GetMode(int index, TzkD3DMode& mode) const {
    if (index < 0 || index >= ModeCount()) throw EListError("Index out of bounds");
    mode = Modes[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------------------
// TzkD3DRenderer

TzkD3DRenderer::TzkD3DRenderer(TzkD3Device8* device) : Device(device) { Device->AddRenderer(this); }

TzkD3DRenderer::~TzkD3DRenderer() {
    if (Device) Device->RemoveRenderer(this);
}

// ---------------------------------------------------------------------------
// TzkD3Device8

TzkD3Device8::TzkD3Device8(TzkD3DDeviceInfo* deviceInfo, HWND focusWindow, HWND deviceWindow, bool windowed,
                           const TzkD3DMode& mode, std::uint32_t refreshRate, std::uint32_t presentationInterval)
    : DeviceInfo(deviceInfo) {
    Sleep = [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    TzkD3D8& owner = *deviceInfo->Adapter->Owner;
    PresentParameters = D3DPRESENT_PARAMETERS();
    D3DPRESENT_PARAMETERS& p = PresentParameters;
    p.BackBufferWidth = mode.Width;
    p.BackBufferHeight = mode.Height;
    p.BackBufferFormat = mode.Format;
    p.BackBufferCount = 0;
    p.MultiSampleType = 0;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = deviceWindow;
    p.Windowed = windowed ? 1 : 0;
    p.EnableAutoDepthStencil = owner.UseDepthBuffer ? 1 : 0;
    p.AutoDepthStencilFormat = mode.DepthStencilFormat;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    if (!windowed) {
        p.FullScreen_RefreshRateInHz = refreshRate;
        p.FullScreen_PresentationInterval = presentationInterval;
    }
    LogMessage("Creating device: AdapterId=" + Dec(deviceInfo->Adapter->Ordinal) +
                   " / DeviceType=" + Dec(deviceInfo->DeviceType) + " / Behavior=" + Dec(mode.BehaviorFlags) +
                   " / Width=" + Dec(mode.Width) + " / Height=" + Dec(mode.Height) +
                   " / Format=" + D3DFormatToString(mode.Format) + " / Windowed=" + (windowed ? "1" : "0") +
                   " / EnableAutoDepthStencil=" + (p.EnableAutoDepthStencil ? "-1" : "0") +
                   " / AutoDepthStencilFormat=" + D3DFormatToString(mode.DepthStencilFormat),
               lkInfo);
    D3DCheck(owner.Direct3D->CreateDevice(deviceInfo->Adapter->Ordinal, deviceInfo->DeviceType, focusWindow,
                                          mode.BehaviorFlags, &PresentParameters, &Device),
             kD3DCreateDeviceFailed, "");
    TextureFilter = D3DTEXF_LINEAR;
    RestoreRenderers();
}

TzkD3Device8::~TzkD3Device8() {
    while (!renderers_.empty()) delete renderers_.back();  // each removes itself
    for (std::size_t i = textures_.size(); i-- > 0;) {
        if (i < textures_.size() && textures_[i]) delete textures_[i];
    }
    textures_.clear();
    Device.reset();
}

IDirect3D8* TzkD3Device8::Direct3D() const { return DeviceInfo->Adapter->Owner->Direct3D.get(); }

const D3DCAPS8& TzkD3Device8::Caps() const { return DeviceInfo->Caps; }

HRESULT TzkD3Device8::BeginScene() { return Device->BeginScene(); }

void TzkD3Device8::RenderScene() {
    if (!RenderersReady) RestoreRenderers();
    if (CheckDevice()) {
        for (std::size_t i = 0; i < renderers_.size(); ++i) renderers_[i]->Render();
    }
    for (std::size_t i = 0; i < renderers_.size(); ++i) renderers_[i]->Clear();
}

HRESULT TzkD3Device8::EndScene() {
    const HRESULT hr = Device->EndScene();
    ++FramesPending;
    return hr;
}

void TzkD3Device8::FlushScene() {
    if (FramesPending <= 0) return;
    FramesPending = 0;
    try {
        std::unique_ptr<IDirect3DSurface8> surface;
        D3DCheck(Device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), 0, "GetBackBuffer");
        const RECT one{0, 0, 1, 1};
        D3DLOCKED_RECT locked;
        D3DCheck(surface->LockRect(&locked, &one, D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK), 0, "LockRect");
        D3DCheck(surface->UnlockRect(), 0, "UnlockRect");
    } catch (const std::exception& e) {
        LogMessage(std::string("Error flushing scene: ") + e.what(), lkWarning);
    }
}

void TzkD3Device8::Present() {
    const HRESULT hr = Device->Present();
    if (hr == D3DERR_DEVICELOST) {
        BeginLost();
        return;
    }
    D3DCheck(hr, 0, "present");
}

void TzkD3Device8::BeginLost() {
    if (!CheckDevice()) return;
    if (Device->TestCooperativeLevel() == D3D_OK) return;
    Lost = true;
    for (std::size_t i = 0; i < renderers_.size(); ++i) renderers_[i]->ReleaseResources();
    LogMessage("Begin device lost (" + Dec(sys::SystemClock().GetTickCount()) + ")", lkInfo);
    if (OnDeviceLost) OnDeviceLost(this);
}

bool TzkD3Device8::CheckDevice() {
    if (!Lost) return true;
    if (Device->TestCooperativeLevel() == D3DERR_DEVICENOTRESET && Succeeded(Device->Reset(&PresentParameters))) {
        RestoreRenderers();
        Lost = false;
        LogMessage("End device lost (" + Dec(sys::SystemClock().GetTickCount()) + ")", lkInfo);
        if (OnDeviceRestored) OnDeviceRestored(this);
        return true;
    }
    if (Sleep) Sleep(1000);
    return false;
}

std::unique_ptr<IDirect3DSurface8> TzkD3Device8::GetBackBuffer() {
    std::unique_ptr<IDirect3DSurface8> surface;
    D3DCheck(Device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), 0, "getbackbuffer");
    return surface;
}

int TzkD3Device8::AddTexture(TzkD3DTexture8* texture) {
    for (std::size_t i = 0; i < textures_.size(); ++i) {
        if (!textures_[i]) {
            textures_[i] = texture;
            return static_cast<int>(i);
        }
    }
    textures_.push_back(texture);
    return static_cast<int>(textures_.size() - 1);
}

void TzkD3Device8::RemoveTexture(TzkD3DTexture8* texture) {
    for (auto& slot : textures_)
        if (slot == texture) slot = nullptr;
    while (!textures_.empty() && !textures_.back()) textures_.pop_back();
}

TzkD3DTexture8* TzkD3Device8::GetTexture(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= textures_.size()) return nullptr;
    return textures_[static_cast<std::size_t>(index)];
}

void TzkD3Device8::AddRenderer(TzkD3DRenderer* renderer) {
    renderers_.push_back(renderer);
    RenderersReady = false;
}

void TzkD3Device8::RemoveRenderer(TzkD3DRenderer* renderer) {
    renderers_.erase(std::remove(renderers_.begin(), renderers_.end(), renderer), renderers_.end());
}

void TzkD3Device8::RestoreRenderers() {
    for (std::size_t i = 0; i < renderers_.size(); ++i) {
        renderers_[i]->ReleaseResources();
        renderers_[i]->CreateResources();
    }
    RenderersReady = true;
}

}  // namespace qv
