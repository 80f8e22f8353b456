// Screenshots: the back buffer of the game's device (read by the media
// layer's ReadSurfacePixels) as a 24-bit bitmap file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/zkD3DSurfaces.h"

namespace qv {

// A bottom-up 24-bit BMP of `width` x `height` pixels given as 0x00RRGGBB,
// top row first.
std::vector<std::uint8_t> EncodeBitmap24(std::uint32_t width, std::uint32_t height,
                                         const std::vector<std::uint32_t>& pixels);

// The first name folder + "snapshoot%d.bmp" from `count` on that does not
// exist yet; `count` is left at that number.
std::string NextSnapshotName(const std::string& folder, std::int32_t& count);

}  // namespace qv
