// Whole-screen surfaces of a device: a picture made into a surface of the
// back buffer's format, its copy onto the back buffer, and the read-back of
// a surface's pixels (for screenshots).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/zkD3D.h"
#include "media/zkImageLoader.h"

namespace qv {

// An image surface of `picture` in the back buffer's format; raises the
// device's error on failure.
std::unique_ptr<d3d::IDirect3DSurface8> MakeScreenSurface(TzkD3Device8& device, const TBitmap& picture);

// Copies a surface made by MakeScreenSurface onto the back buffer; nothing
// for null.
void CopyToBackBuffer(TzkD3Device8& device, d3d::IDirect3DSurface8* surface);

// The pixels (0x00RRGGBB, top row first) of a 32-bit or 16-bit surface.
// Throws qv::Exception when it cannot be read.
std::vector<std::uint32_t> ReadSurfacePixels(d3d::IDirect3DSurface8& surface, std::uint32_t& width,
                                             std::uint32_t& height);

}  // namespace qv
