// Screenshots: the back buffer of the game's device as a 24-bit bitmap file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/render/D3D8.h"

namespace qv {

// A bottom-up 24-bit BMP of `width` x `height` pixels given as 0x00RRGGBB,
// top row first.
std::vector<std::uint8_t> EncodeBitmap24(std::uint32_t width, std::uint32_t height,
                                         const std::vector<std::uint32_t>& pixels);

// The pixels (0x00RRGGBB, top row first) of a 32-bit or 16-bit surface.
// Throws qv::Exception when it cannot be read.
std::vector<std::uint32_t> ReadSurfacePixels(d3d::IDirect3DSurface8& surface, std::uint32_t& width,
                                             std::uint32_t& height);

// The first name folder + "snapshoot%d.bmp" from `count` on that does not
// exist yet; `count` is left at that number.
std::string NextSnapshotName(const std::string& folder, std::int32_t& count);

}  // namespace qv
