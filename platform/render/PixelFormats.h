// Texel packing and expansion for the eleven texture formats the renderer
// knows: 0xAARRGGBB to a format's little-endian bytes and back.
#pragma once

#include <cstdint>

#include "platform/render/D3D8.h"

namespace qv::d3d {

// Whether the format is one of the eleven (R8G8B8 .. X4R4G4B4).
bool IsPackedFormat(D3DFORMAT format);

// Writes `argb` in `format` at `out` (FormatBytesPerPixel bytes, nothing for
// other formats): channels are cut to their width by dropping low bits.
void PackPixel(D3DFORMAT format, std::uint32_t argb, std::uint8_t* out);

// Reads one texel of `format` at `in` as 0xAARRGGBB. Channels are widened by
// bit replication, so a full channel gives 255; formats without alpha give
// alpha 255, A8 gives black with its alpha.
std::uint32_t ExpandPixel(D3DFORMAT format, const std::uint8_t* in);

// Expands a rectangle of texels: `width` x `height` texels from `source`
// (rows `sourcePitch` bytes apart) into `target` (rows `targetPitch` 32-bit
// values apart).
void ExpandRows(D3DFORMAT format, const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t width,
                std::uint32_t height, std::uint32_t* target, std::uint32_t targetPitch);

// Row pitch the layer gives a texture or surface: width x bytes per texel,
// rounded up to a multiple of 4.
std::uint32_t RowPitch(D3DFORMAT format, std::uint32_t width);

}  // namespace qv::d3d
