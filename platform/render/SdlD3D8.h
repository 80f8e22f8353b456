// The Direct3D-shaped interface over SDL2's renderer.
//
// Adapters are SDL displays. Each offers the modes SDL lists (32-bit ones as
// X8R8G8B8, 16-bit ones as R5G6B5 or X1R5G5B5) plus 800 x 600 in X8R8G8B8
// and R5G6B5. Full screen is desktop full screen; the back buffer size is
// the renderer's logical size, so the picture is scaled to the screen. The
// window always renders in 32 bits: the 16-bit modes only name a format.
//
// A device is an SDL window with an accelerated, vsync'ed renderer: "opengl",
// else "opengles2". What SDL's renderer does not do is done here:
// - triangles the cull mode drops are removed on the CPU;
// - every vertex moves by half a pixel, so Direct3D's pixel-centre rule holds;
// - textures keep a copy in their Direct3D format; unlocking expands it to
//   32 bits, so every format quantises as Direct3D's would, whatever SDL
//   holds natively, and the 32-bit copy is uploaded again after a reset;
// - vertex and index buffers are CPU arrays;
// - SDL's render-reset events make the device lost: the next Present reports
//   D3DERR_DEVICELOST, TestCooperativeLevel D3DERR_DEVICENOTRESET, and Reset
//   uploads every managed texture again.
//
// Blending maps (SRCALPHA, INVSRCALPHA) to SDL's blend mode, other pairs to a
// composed blend mode; texture stage 0 always modulates texture by diffuse;
// the MAGFILTER state picks linear or nearest sampling; addressing clamps.
//
// The back buffer can be read (LockRect, read-only) between BeginScene and
// Present. A lock of a single pixel does not read: it only submits the queued
// drawing (SDL_RenderFlush), which is how the device keeps the driver from
// running frames ahead without stalling on a read-back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/render/D3D8.h"

struct SDL_Renderer;

namespace qv::d3d {

struct TSdlOptions {
    // What CheckDeviceFormat accepts as texture formats.
    std::vector<D3DFORMAT> TextureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                             D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4};
    // SDL render drivers tried in order.
    std::vector<std::string> RenderDrivers = {"opengl", "opengles2"};
};

// Null when SDL's video cannot start.
std::unique_ptr<IDirect3D8> CreateSdlDirect3D8(const TSdlOptions& options = TSdlOptions());

// The SDL renderer behind a device of CreateSdlDirect3D8, and its driver name
// ("opengl"); null and "" for any other device.
SDL_Renderer* SdlRendererOf(IDirect3DDevice8* device);
std::string SdlRendererName(IDirect3DDevice8* device);

}  // namespace qv::d3d
