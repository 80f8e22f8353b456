// The game's display choice on a Direct3D device: the filters that keep only
// devices the quad renderer can draw with and 800 x 600 modes, and the
// picker that turns a stored display mode (1 window, 2 full screen 16-bit,
// 3 full screen 32-bit) into the mode record the game window is made with.
#pragma once

#include <cstdint>

#include "media/zkD3D.h"

namespace qv {

inline constexpr std::uint8_t kDisplayWindow = 1;
inline constexpr std::uint8_t kDisplayFullScreen16 = 2;
inline constexpr std::uint8_t kDisplayFullScreen32 = 3;

// X8R8G8B8, A8R8G8B8 and R8G8B8 count as 32-bit; every other format as 16-bit.
bool Is32BitFormat(d3d::D3DFORMAT format);

// Software vertex processing (behaviour flags exactly 0x20), pre-transformed
// vertices, source blend ONE and destination blend INVSRCALPHA.
bool AcceptGameDevice(const d3d::D3DCAPS8& caps, std::uint32_t behaviorFlags);
// 800 x 600 only.
bool AcceptGameMode(const d3d::D3DDISPLAYMODE& mode);
// Installs both as the enumeration's OnConfirmDevice and OnConfirmMode.
void InstallGameModeFilters(TzkD3D8& d3d);

// Fills `mode` for `displayMode` on `device`: 1 gives 800 x 600 with the
// device's windowed format, behaviour and depth format; 2 and 3 the first of
// the device's modes (in list order) whose format is 16-bit or 32-bit.
// Returns false and leaves `mode` as it was when nothing matches (also for a
// null device or any other display mode).
bool FindDisplayMode(const TzkD3DDeviceInfo* device, std::uint8_t displayMode, TzkD3DMode& mode);

}  // namespace qv
