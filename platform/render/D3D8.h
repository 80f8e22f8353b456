// A Direct3D-8-shaped drawing interface: the adapter object, the device, its
// textures, surfaces and vertex/index buffers, with Direct3D's own result
// codes, constants and record layouts. Only the calls the renderer library
// makes are offered.
//
// Two implementations stand behind it: the SDL2 renderer (SdlD3D8.h) for the
// program, and a recording fake (FakeD3D8.h) for tests.
//
// Objects are owned by whoever created them (std::unique_ptr). Textures,
// surfaces and buffers stay safe to destroy after their device is gone.
// Everything runs on the thread that created the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;

namespace qv::d3d {

using HRESULT = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using D3DFORMAT = std::uint32_t;
using D3DCOLOR = std::uint32_t;
// A window is an SDL window. See D3DPRESENT_PARAMETERS::hDeviceWindow.
using HWND = ::SDL_Window*;
// A monitor is the SDL display index.
using HMONITOR = std::intptr_t;

constexpr HRESULT MakeResult(std::uint32_t code) { return static_cast<HRESULT>(code); }
constexpr bool Failed(HRESULT hr) { return hr < 0; }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }

// Result codes.
inline constexpr HRESULT D3D_OK = 0;
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeResult(0x8876017Cu);
inline constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeResult(0x88760818u);
inline constexpr HRESULT D3DERR_CONFLICTINGRENDERSTATE = MakeResult(0x88760821u);
inline constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MakeResult(0x88760827u);
inline constexpr HRESULT D3DERR_NOTFOUND = MakeResult(0x88760866u);
inline constexpr HRESULT D3DERR_DEVICELOST = MakeResult(0x88760868u);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = MakeResult(0x88760869u);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = MakeResult(0x8876086Au);
inline constexpr HRESULT D3DERR_INVALIDDEVICE = MakeResult(0x8876086Bu);
inline constexpr HRESULT D3DERR_INVALIDCALL = MakeResult(0x8876086Cu);

inline constexpr UINT D3D_SDK_VERSION = 120;

// Formats.
inline constexpr D3DFORMAT D3DFMT_UNKNOWN = 0;
inline constexpr D3DFORMAT D3DFMT_R8G8B8 = 20;
inline constexpr D3DFORMAT D3DFMT_A8R8G8B8 = 21;
inline constexpr D3DFORMAT D3DFMT_X8R8G8B8 = 22;
inline constexpr D3DFORMAT D3DFMT_R5G6B5 = 23;
inline constexpr D3DFORMAT D3DFMT_X1R5G5B5 = 24;
inline constexpr D3DFORMAT D3DFMT_A1R5G5B5 = 25;
inline constexpr D3DFORMAT D3DFMT_A4R4G4B4 = 26;
inline constexpr D3DFORMAT D3DFMT_R3G3B2 = 27;
inline constexpr D3DFORMAT D3DFMT_A8 = 28;
inline constexpr D3DFORMAT D3DFMT_A8R3G3B2 = 29;
inline constexpr D3DFORMAT D3DFMT_X4R4G4B4 = 30;
inline constexpr D3DFORMAT D3DFMT_D16_LOCKABLE = 70;
inline constexpr D3DFORMAT D3DFMT_D32 = 71;
inline constexpr D3DFORMAT D3DFMT_D15S1 = 73;
inline constexpr D3DFORMAT D3DFMT_D24S8 = 75;
inline constexpr D3DFORMAT D3DFMT_D24X8 = 77;
inline constexpr D3DFORMAT D3DFMT_D24X4S4 = 79;
inline constexpr D3DFORMAT D3DFMT_D16 = 80;
inline constexpr D3DFORMAT D3DFMT_VERTEXDATA = 100;
inline constexpr D3DFORMAT D3DFMT_INDEX16 = 101;
inline constexpr D3DFORMAT D3DFMT_INDEX32 = 102;

// Bytes per texel of the eleven texture formats; 0 for any other.
UINT FormatBytesPerPixel(D3DFORMAT format);

// Device types.
inline constexpr DWORD D3DDEVTYPE_HAL = 1;
inline constexpr DWORD D3DDEVTYPE_REF = 2;
inline constexpr DWORD D3DDEVTYPE_SW = 3;

// Behaviour flags of CreateDevice.
inline constexpr DWORD D3DCREATE_PUREDEVICE = 0x10;
inline constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
inline constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

// Capability bits.
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x400;
inline constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x10000;
inline constexpr DWORD D3DDEVCAPS_PUREDEVICE = 0x100000;
inline constexpr DWORD D3DCAPS2_CANRENDERWINDOWED = 0x80000;
inline constexpr DWORD D3DPBLENDCAPS_ZERO = 0x1;
inline constexpr DWORD D3DPBLENDCAPS_ONE = 0x2;
inline constexpr DWORD D3DPBLENDCAPS_SRCALPHA = 0x10;
inline constexpr DWORD D3DPBLENDCAPS_INVSRCALPHA = 0x20;
inline constexpr DWORD D3DTEXOPCAPS_MODULATE = 0x8;
inline constexpr DWORD D3DPTFILTERCAPS_MINFPOINT = 0x100;
inline constexpr DWORD D3DPTFILTERCAPS_MINFLINEAR = 0x200;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFPOINT = 0x1000000;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFLINEAR = 0x2000000;

// Pools, usages, resource types, lock flags.
inline constexpr DWORD D3DPOOL_DEFAULT = 0;
inline constexpr DWORD D3DPOOL_MANAGED = 1;
inline constexpr DWORD D3DPOOL_SYSTEMMEM = 2;
inline constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
inline constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;
inline constexpr DWORD D3DUSAGE_SOFTWAREPROCESSING = 0x10;
inline constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;
inline constexpr DWORD D3DRTYPE_SURFACE = 1;
inline constexpr DWORD D3DRTYPE_TEXTURE = 3;
inline constexpr DWORD D3DLOCK_READONLY = 0x10;
inline constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
inline constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
inline constexpr DWORD D3DLOCK_DISCARD = 0x2000;

// Present parameters.
inline constexpr DWORD D3DSWAPEFFECT_DISCARD = 1;
inline constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 1;
inline constexpr DWORD D3DBACKBUFFER_TYPE_MONO = 0;
inline constexpr DWORD D3DCLEAR_TARGET = 1;

// Render states and their values.
inline constexpr DWORD D3DRS_ZENABLE = 7;
inline constexpr DWORD D3DRS_FILLMODE = 8;
inline constexpr DWORD D3DRS_ZWRITEENABLE = 14;
inline constexpr DWORD D3DRS_SRCBLEND = 19;
inline constexpr DWORD D3DRS_DESTBLEND = 20;
inline constexpr DWORD D3DRS_CULLMODE = 22;
inline constexpr DWORD D3DRS_ALPHABLENDENABLE = 27;
inline constexpr DWORD D3DRS_LIGHTING = 137;
inline constexpr DWORD D3DFILL_SOLID = 3;
inline constexpr DWORD D3DCULL_NONE = 1;
inline constexpr DWORD D3DCULL_CW = 2;
inline constexpr DWORD D3DCULL_CCW = 3;
inline constexpr DWORD D3DBLEND_ZERO = 1;
inline constexpr DWORD D3DBLEND_ONE = 2;
inline constexpr DWORD D3DBLEND_SRCCOLOR = 3;
inline constexpr DWORD D3DBLEND_INVSRCCOLOR = 4;
inline constexpr DWORD D3DBLEND_SRCALPHA = 5;
inline constexpr DWORD D3DBLEND_INVSRCALPHA = 6;
inline constexpr DWORD D3DBLEND_DESTALPHA = 7;
inline constexpr DWORD D3DBLEND_INVDESTALPHA = 8;
inline constexpr DWORD D3DBLEND_DESTCOLOR = 9;
inline constexpr DWORD D3DBLEND_INVDESTCOLOR = 10;

// Texture stage states and their values.
inline constexpr DWORD D3DTSS_COLOROP = 1;
inline constexpr DWORD D3DTSS_COLORARG1 = 2;
inline constexpr DWORD D3DTSS_COLORARG2 = 3;
inline constexpr DWORD D3DTSS_ALPHAOP = 4;
inline constexpr DWORD D3DTSS_ALPHAARG1 = 5;
inline constexpr DWORD D3DTSS_ALPHAARG2 = 6;
inline constexpr DWORD D3DTSS_MAGFILTER = 16;
inline constexpr DWORD D3DTSS_MINFILTER = 17;
inline constexpr DWORD D3DTOP_MODULATE = 4;
inline constexpr DWORD D3DTA_DIFFUSE = 0;
inline constexpr DWORD D3DTA_TEXTURE = 2;
inline constexpr DWORD D3DTEXF_NONE = 0;
inline constexpr DWORD D3DTEXF_POINT = 1;
inline constexpr DWORD D3DTEXF_LINEAR = 2;

// Primitives and vertex formats.
inline constexpr DWORD D3DPT_TRIANGLELIST = 4;
inline constexpr DWORD D3DFVF_XYZRHW = 0x4;
inline constexpr DWORD D3DFVF_DIFFUSE = 0x40;
inline constexpr DWORD D3DFVF_TEX1 = 0x100;

// The one vertex layout the renderer uses: FVF XYZRHW | DIFFUSE | TEX1, 28 bytes.
inline constexpr DWORD kTLVertexFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
struct TTLVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;  // 0xAARRGGBB
    float u, v;
};
static_assert(sizeof(TTLVertex) == 28);

struct RECT {
    std::int32_t left, top, right, bottom;
};
struct POINT {
    std::int32_t x, y;
};

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2, Data3;
    std::uint8_t Data4[8];
};

struct D3DADAPTER_IDENTIFIER8 {
    std::string Driver;
    std::string Description;
    std::uint32_t DriverVersionLowPart = 0;
    std::uint32_t DriverVersionHighPart = 0;
    DWORD VendorId = 0, DeviceId = 0, SubSysId = 0, Revision = 0;
    GUID DeviceIdentifier{};
    DWORD WHQLLevel = 0;
};

struct D3DDISPLAYMODE {
    UINT Width = 0, Height = 0, RefreshRate = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

// The capability fields the renderer reads.
struct D3DCAPS8 {
    DWORD DeviceType = 0;
    UINT AdapterOrdinal = 0;
    DWORD Caps = 0, Caps2 = 0, Caps3 = 0;
    DWORD CursorCaps = 0;
    DWORD DevCaps = 0;
    DWORD PrimitiveMiscCaps = 0;
    DWORD RasterCaps = 0;
    DWORD ZCmpCaps = 0;
    DWORD SrcBlendCaps = 0, DestBlendCaps = 0;
    DWORD TextureCaps = 0;
    DWORD TextureFilterCaps = 0;
    DWORD MaxTextureWidth = 0, MaxTextureHeight = 0;
    DWORD MaxTextureAspectRatio = 0;
    float MaxVertexW = 0.0f;
    DWORD TextureOpCaps = 0;
};

// Thirteen values, in Direct3D's order.
struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth = 0, BackBufferHeight = 0;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    UINT BackBufferCount = 0;
    DWORD MultiSampleType = 0;
    DWORD SwapEffect = 0;
    // The window to draw into. Null: the device makes its own window of the
    // back buffer's size (titled "Quorvex") and destroys it with itself. The
    // game window hands its own SDL window in here (or as the focus window).
    HWND hDeviceWindow = nullptr;
    BOOL Windowed = 0;
    BOOL EnableAutoDepthStencil = 0;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    DWORD Flags = 0;
    UINT FullScreen_RefreshRateInHz = 0;
    UINT FullScreen_PresentationInterval = 0;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    DWORD Type = 0;
    DWORD Usage = 0;
    DWORD Pool = 0;
    UINT Size = 0;
    UINT Width = 0, Height = 0;
};

struct D3DLOCKED_RECT {
    std::int32_t Pitch = 0;
    void* pBits = nullptr;
};

class IDirect3DBaseTexture8 {
public:
    virtual ~IDirect3DBaseTexture8() = default;
};

class IDirect3DTexture8 : public IDirect3DBaseTexture8 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // rect null: the whole level.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DSurface8 {
public:
    virtual ~IDirect3DSurface8() = default;
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

class IDirect3DVertexBuffer8 {
public:
    virtual ~IDirect3DVertexBuffer8() = default;
    virtual HRESULT Lock(UINT offset, UINT size, std::uint8_t** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

class IDirect3DIndexBuffer8 {
public:
    virtual ~IDirect3DIndexBuffer8() = default;
    virtual HRESULT Lock(UINT offset, UINT size, std::uint8_t** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

class IDirect3DDevice8 {
public:
    virtual ~IDirect3DDevice8() = default;

    // D3D_OK, D3DERR_DEVICELOST (not yet resettable) or D3DERR_DEVICENOTRESET.
    virtual HRESULT TestCooperativeLevel() = 0;
    // Fails with D3DERR_INVALIDCALL while default-pool buffers exist.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    // Present(nil, nil, 0, nil): the whole back buffer to the device window.
    virtual HRESULT Present() = 0;
    virtual HRESULT GetBackBuffer(UINT index, DWORD type, std::unique_ptr<IDirect3DSurface8>* surface) = 0;
    virtual BOOL ShowCursor(BOOL show) = 0;

    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, DWORD pool,
                                  std::unique_ptr<IDirect3DTexture8>* texture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, DWORD pool,
                                       std::unique_ptr<IDirect3DVertexBuffer8>* buffer) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, DWORD pool,
                                      std::unique_ptr<IDirect3DIndexBuffer8>* buffer) = 0;
    virtual HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                       std::unique_ptr<IDirect3DSurface8>* surface) = 0;
    // Copies rectangles of `source` (null: all of it) to `destination` at the
    // points given (null: the same place). Only image surface to back buffer.
    virtual HRESULT CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count,
                              IDirect3DSurface8* destination, const POINT* destinationPoints) = 0;

    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;

    virtual HRESULT SetRenderState(DWORD state, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, DWORD type, DWORD value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) = 0;
    virtual HRESULT SetVertexShader(DWORD handle) = 0;
    virtual HRESULT DrawIndexedPrimitive(DWORD type, UINT minIndex, UINT numVertices, UINT startIndex,
                                         UINT primitiveCount) = 0;
};

class IDirect3D8 {
public:
    virtual ~IDirect3D8() = default;
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) = 0;
    virtual HMONITOR GetAdapterMonitor(UINT adapter) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, DWORD deviceType, D3DCAPS8* caps) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, DWORD deviceType, D3DFORMAT displayFormat,
                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, DWORD deviceType, D3DFORMAT adapterFormat, DWORD usage,
                                      DWORD resourceType, D3DFORMAT checkFormat) = 0;
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, DWORD deviceType, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    virtual HRESULT CreateDevice(UINT adapter, DWORD deviceType, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* parameters, std::unique_ptr<IDirect3DDevice8>* device) = 0;
};

// A backend that fails because of its platform library records the
// library's own explanation here; the error check takes it (once) into the
// log line.
void SetLastErrorDetail(const std::string& text);
std::string TakeLastErrorDetail();

// The lock rules every backend keeps. The area of a width x height surface
// that a lock covers: the whole surface for no rectangle; false for a
// rectangle that is empty or reaches outside it.
bool LockArea(const RECT* rect, UINT width, UINT height, RECT& area);
// The bytes of a buffer of `length` that a lock covers: offset and size 0
// lock the whole buffer (size is set to it); false when the range reaches
// past the end.
bool LockRange(UINT offset, UINT& size, std::size_t length);

// The program's Direct3D object: the SDL2 one. Null when the SDK version is
// not 120 or SDL's video cannot start.
std::unique_ptr<IDirect3D8> Direct3DCreate8(UINT sdkVersion);

}  // namespace qv::d3d
