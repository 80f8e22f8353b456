// Textures made from pictures: one level, managed pool, power-of-two size, in
// the first format the device takes from the caller's list or the fallback
// list, with alpha from a mask picture or a colour key, averaged down when
// the texture is smaller than the picture.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/zkD3D.h"
#include "media/zkImageLoader.h"
#include "platform/render/D3D8.h"

namespace qv {

class TzkD3DTexture8 {
public:
    // Makes the texture from `image` (its `sourceRect`, or all of it) with
    // alpha from `mask` (same size; grey level = (R + G + B) div 3) or from
    // `colorKey` (in force when its top byte is 0xFF: pixels of its colour,
    // the low 24 bits, get alpha 0). Width or height 0 means the picture's
    // own size; both must be powers of two, and are cut to the device's
    // limits. Registers with the device last, so a texture that raises is
    // never registered. Raises qv::Exception (own codes 0x8100000D,
    // 0x8100000E, 0x8100000F, 0x81000010, 0x81000002) or EDirect3DError.
    TzkD3DTexture8(TzkD3Device8* device, const d3d::RECT* sourceRect, const TBitmap* image, const TBitmap* mask,
                   std::uint32_t width, std::uint32_t height, std::uint32_t colorKey,
                   const std::vector<d3d::D3DFORMAT>& formats = {});
    // Takes the texture off stage 0, releases it and leaves its slot.
    ~TzkD3DTexture8();
    TzkD3DTexture8(const TzkD3DTexture8&) = delete;
    TzkD3DTexture8& operator=(const TzkD3DTexture8&) = delete;

    TzkD3Device8* Device;
    std::unique_ptr<d3d::IDirect3DTexture8> Texture;
    // The whole picture's size (not the source rectangle's).
    std::int32_t ImageHeight = 0;
    std::int32_t ImageWidth = 0;
    d3d::D3DFORMAT Format = d3d::D3DFMT_UNKNOWN;
    std::uint32_t TextureWidth = 0;
    std::uint32_t TextureHeight = 0;
    std::int32_t Index = -1;
};

// The first of `formats`, else of the eleven fallbacks, that the device
// accepts for textures on its back-buffer format; raises 0x81000002 when
// none is, and 0x81000003 (context "W;H;FORMAT") when creation fails.
std::unique_ptr<d3d::IDirect3DTexture8> CreateTextureWithFallback(TzkD3Device8* device, std::uint32_t width,
                                                                  std::uint32_t height,
                                                                  const std::vector<d3d::D3DFORMAT>& formats,
                                                                  std::uint32_t pool);

// Writes `height` rows of `width` texels in `format` to `bits` (rows
// `pitch` bytes apart) from the source region of `image`: each texel is the
// average of a whole block of pixels (raises 0x81000004 when the region is
// not a whole multiple of the texture size). Formats outside the packing
// table are left unfilled.
void CopyBitmapToTexture(const d3d::RECT* sourceRect, const TBitmap& image, const TBitmap* mask, std::uint32_t width,
                         std::uint32_t height, std::uint32_t colorKey, d3d::D3DFORMAT format, std::int32_t pitch,
                         std::uint8_t* bits);

}  // namespace qv
