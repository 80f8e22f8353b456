#include "media/zkDisplayMode.h"

namespace qv {

namespace {
constexpr std::uint32_t kSoftwareVertexProcessing = 0x20;
constexpr std::uint32_t kDrawPrimTLVertex = 0x400;
constexpr std::uint32_t kBlendOne = 0x2;
constexpr std::uint32_t kBlendInvSrcAlpha = 0x20;
}  // namespace

bool Is32BitFormat(d3d::D3DFORMAT format) {
    return format == d3d::D3DFMT_X8R8G8B8 || format == d3d::D3DFMT_A8R8G8B8 || format == d3d::D3DFMT_R8G8B8;
}

bool AcceptGameDevice(const d3d::D3DCAPS8& caps, std::uint32_t behaviorFlags) {
    return behaviorFlags == kSoftwareVertexProcessing && (caps.DevCaps & kDrawPrimTLVertex) != 0 &&
           (caps.SrcBlendCaps & kBlendOne) != 0 && (caps.DestBlendCaps & kBlendInvSrcAlpha) != 0;
}

bool AcceptGameMode(const d3d::D3DDISPLAYMODE& mode) { return mode.Width == 800 && mode.Height == 600; }

void InstallGameModeFilters(TzkD3D8& d3d) {
    d3d.OnConfirmDevice = [](const d3d::D3DCAPS8& caps, std::uint32_t behavior, d3d::D3DFORMAT, bool& accept) {
        accept = AcceptGameDevice(caps, behavior);
    };
    d3d.OnConfirmMode = [](const d3d::D3DDISPLAYMODE& mode, bool& accept) { accept = AcceptGameMode(mode); };
}

bool FindDisplayMode(const TzkD3DDeviceInfo* device, std::uint8_t displayMode, TzkD3DMode& mode) {
    if (!device) return false;
    if (displayMode == kDisplayWindow) {
        if (!device->CanDoWindowed) return false;
        mode.Width = 800;
        mode.Height = 600;
        mode.Format = device->WindowedFormat;
        mode.BehaviorFlags = device->WindowedBehavior;
        mode.DepthStencilFormat = device->WindowedDepthFormat;
        return true;
    }
    if (displayMode != kDisplayFullScreen16 && displayMode != kDisplayFullScreen32) return false;
    const bool want32 = displayMode == kDisplayFullScreen32;
    for (const TzkD3DMode& m : device->Modes) {
        if (Is32BitFormat(m.Format) == want32) {
            mode = m;
            return true;
        }
    }
    return false;
}

}  // namespace qv
