// The renderer library's Direct3D object, its adapter and device
// descriptions, and the device of one game window with its texture and
// renderer registries and lost-device recovery.
//
// Object lifetimes: a TzkD3DDeviceInfo handed to a TzkD3Device8 must outlive
// it. Textures and renderers made on a device register with it; those still
// registered when the device goes are destroyed by it (renderers last first,
// then textures last first), so their holders must drop them before, or
// leave them to the device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/zkD3DErrors.h"
#include "platform/render/D3D8.h"

namespace qv {

class TzkD3D8;
class TzkD3DAdapterInfo;
class TzkD3DDeviceInfo;
class TzkD3Device8;
class TzkD3DTexture8;
class TzkD3DRenderer;

// A usable display mode, 20 bytes.
struct TzkD3DMode {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    d3d::D3DFORMAT Format = d3d::D3DFMT_UNKNOWN;
    std::uint32_t BehaviorFlags = 0;
    d3d::D3DFORMAT DepthStencilFormat = d3d::D3DFMT_UNKNOWN;
};
static_assert(sizeof(TzkD3DMode) == 20);

using TConfirmDeviceEvent =
    std::function<void(const d3d::D3DCAPS8& caps, std::uint32_t behaviorFlags, d3d::D3DFORMAT format, bool& accept)>;
using TConfirmModeEvent = std::function<void(const d3d::D3DDISPLAYMODE& mode, bool& accept)>;
using TDeviceEvent = std::function<void(TzkD3Device8* sender)>;
// Makes the Direct3D object; the program's is d3d::Direct3DCreate8(120).
using TDirect3DFactory = std::function<std::unique_ptr<d3d::IDirect3D8>()>;

// The eleven texture formats, in the order they are tried as fallbacks.
inline constexpr d3d::D3DFORMAT kTextureFormats[11] = {
    d3d::D3DFMT_R8G8B8,   d3d::D3DFMT_A8R8G8B8, d3d::D3DFMT_X8R8G8B8, d3d::D3DFMT_R5G6B5,
    d3d::D3DFMT_X1R5G5B5, d3d::D3DFMT_A1R5G5B5, d3d::D3DFMT_A4R4G4B4, d3d::D3DFMT_R3G3B2,
    d3d::D3DFMT_A8,       d3d::D3DFMT_A8R3G3B2, d3d::D3DFMT_X4R4G4B4};

class TzkD3D8 {
public:
    // Logs "Create Direct3D 8" and makes the object (raising 0x81000006 when
    // there is none). The adapter list starts empty.
    explicit TzkD3D8(TDirect3DFactory factory = TDirect3DFactory());
    ~TzkD3D8();
    TzkD3D8(const TzkD3D8&) = delete;
    TzkD3D8& operator=(const TzkD3D8&) = delete;

    // Rebuilds the adapter list; raises 0x81000007 when none is usable.
    void EnumerateAdapters();
    int AdapterCount() const { return static_cast<int>(adapters_.size()); }
    // Raises EListError "Index out of bounds" outside 0..AdapterCount-1.
    TzkD3DAdapterInfo* Adapters(int index) const;

    // The first depth format that fits DepthBits and StencilBits; 0 if none.
    d3d::D3DFORMAT FindDepthStencilFormat(std::uint32_t adapter, std::uint32_t deviceType, d3d::D3DFORMAT format);

    std::unique_ptr<d3d::IDirect3D8> Direct3D;
    std::uint32_t DepthBits = 0;
    std::uint32_t StencilBits = 0;
    bool UseDepthBuffer = false;
    TConfirmDeviceEvent OnConfirmDevice;
    TConfirmModeEvent OnConfirmMode;

private:
    std::vector<std::unique_ptr<TzkD3DAdapterInfo>> adapters_;
};

class TzkD3DAdapterInfo {
public:
    // Reads one adapter; raises EAbort when it has nothing usable.
    TzkD3DAdapterInfo(TzkD3D8* owner, std::uint32_t ordinal);
    ~TzkD3DAdapterInfo();
    TzkD3DAdapterInfo(const TzkD3DAdapterInfo&) = delete;
    TzkD3DAdapterInfo& operator=(const TzkD3DAdapterInfo&) = delete;

    int DeviceCount() const { return static_cast<int>(devices_.size()); }
    TzkD3DDeviceInfo* Devices(int index) const;

    d3d::D3DADAPTER_IDENTIFIER8 Identifier;
    d3d::D3DDISPLAYMODE DisplayMode;
    std::uint32_t Ordinal;
    TzkD3D8* Owner;
    d3d::HMONITOR Monitor = 0;
    // Every mode the adapter reports, in its order.
    std::vector<d3d::D3DDISPLAYMODE> AllModes;
    std::uint32_t ModeCount = 0;

private:
    std::vector<std::unique_ptr<TzkD3DDeviceInfo>> devices_;
};

class TzkD3DDeviceInfo {
public:
    // Describes one device type from the adapter's sorted modes and its
    // formats (the desktop format first); raises EAbort when unusable.
    TzkD3DDeviceInfo(TzkD3DAdapterInfo* adapter, std::uint32_t deviceType,
                     const std::vector<d3d::D3DDISPLAYMODE>& modes, const std::vector<d3d::D3DFORMAT>& formats);

    int ModeCount() const { return static_cast<int>(Modes.size()); }
    // Raises EListError "Index out of bounds" outside 0..ModeCount-1.
    void GetMode(int index, TzkD3DMode& mode) const;

    std::vector<TzkD3DMode> Modes;
    d3d::D3DCAPS8 Caps;
    bool CanDoWindowed = false;
    std::uint32_t DefaultMode = 0;
    std::uint32_t DeviceType;
    d3d::D3DFORMAT WindowedFormat = d3d::D3DFMT_UNKNOWN;
    std::uint32_t WindowedBehavior = 0;
    d3d::D3DFORMAT WindowedDepthFormat = d3d::D3DFMT_UNKNOWN;
    TzkD3DAdapterInfo* Adapter;
};

// Base of everything that draws through a device's frame calls.
class TzkD3DRenderer {
public:
    // Registers with the device, which rebuilds every renderer's resources
    // before its next frame.
    explicit TzkD3DRenderer(TzkD3Device8* device);
    virtual ~TzkD3DRenderer();
    TzkD3DRenderer(const TzkD3DRenderer&) = delete;
    TzkD3DRenderer& operator=(const TzkD3DRenderer&) = delete;

    virtual void Clear() = 0;
    virtual void ReleaseResources() = 0;
    virtual void CreateResources() = 0;
    virtual void Render() = 0;

    TzkD3Device8* Device;
};

class TzkD3Device8 {
public:
    // Makes the device for `mode` of `deviceInfo`, windowed or full screen.
    // The windows may be null: the device then opens its own (see
    // D3DPRESENT_PARAMETERS::hDeviceWindow). Refresh rate and interval apply
    // to full screen only. Raises 0x8100000A when the device cannot be made.
    TzkD3Device8(TzkD3DDeviceInfo* deviceInfo, d3d::HWND focusWindow, d3d::HWND deviceWindow, bool windowed,
                 const TzkD3DMode& mode, std::uint32_t refreshRate = 0, std::uint32_t presentationInterval = 0);
    ~TzkD3Device8();
    TzkD3Device8(const TzkD3Device8&) = delete;
    TzkD3Device8& operator=(const TzkD3Device8&) = delete;

    // Frame calls, in the order a frame makes them.
    d3d::HRESULT BeginScene();
    void RenderScene();
    d3d::HRESULT EndScene();
    void FlushScene();
    void Present();
    // True when the device can draw; while lost, drives the recovery and
    // costs a second of sleep per call.
    bool CheckDevice();
    // Back buffer 0, for reading (screenshots).
    std::unique_ptr<d3d::IDirect3DSurface8> GetBackBuffer();

    // Texture registry: a texture's index is its slot and never changes; a
    // removed texture leaves its slot empty until a new texture takes it.
    int AddTexture(TzkD3DTexture8* texture);
    void RemoveTexture(TzkD3DTexture8* texture);
    // Null for an empty or unknown slot.
    TzkD3DTexture8* GetTexture(int index) const;
    int TextureSlotCount() const { return static_cast<int>(textures_.size()); }

    void AddRenderer(TzkD3DRenderer* renderer);
    void RemoveRenderer(TzkD3DRenderer* renderer);
    // Each renderer releases, then creates its resources; RenderersReady.
    void RestoreRenderers();

    // The Direct3D object the device came from.
    d3d::IDirect3D8* Direct3D() const;
    const d3d::D3DCAPS8& Caps() const;

    TzkD3DDeviceInfo* DeviceInfo;
    std::unique_ptr<d3d::IDirect3DDevice8> Device;
    bool Lost = false;
    bool RenderersReady = false;
    std::uint32_t TextureFilter = d3d::D3DTEXF_LINEAR;
    d3d::D3DPRESENT_PARAMETERS PresentParameters;
    TDeviceEvent OnDeviceLost;
    TDeviceEvent OnDeviceRestored;
    std::int32_t FramesPending = 0;
    // How the device waits while lost; tests install their own.
    std::function<void(std::uint32_t milliseconds)> Sleep;

private:
    void BeginLost();

    std::vector<TzkD3DTexture8*> textures_;
    std::vector<TzkD3DRenderer*> renderers_;
};

}  // namespace qv
