#include "media/zkD3DSurfaces.h"

#include <cstring>
#include <string>

#include "foundation/Exceptions.h"
#include "media/zkD3DErrors.h"
#include "platform/render/PixelFormats.h"

namespace qv {

using namespace d3d;

std::unique_ptr<IDirect3DSurface8> MakeScreenSurface(TzkD3Device8& device, const TBitmap& picture) {
    const D3DFORMAT format = device.PresentParameters.BackBufferFormat;
    std::unique_ptr<IDirect3DSurface8> surface;
    D3DCheck(device.Device->CreateImageSurface(static_cast<UINT>(picture.Width), static_cast<UINT>(picture.Height),
                                               format, &surface),
             kD3DCreateImageSurfaceFailed,
             D3DFormatToString(format) + ";" + std::to_string(picture.Height) + ";" + std::to_string(picture.Width));
    D3DLOCKED_RECT locked;
    D3DCheck(surface->LockRect(&locked, nullptr, 0), 0, "Lockrect");
    const UINT bpp = FormatBytesPerPixel(format);
    for (std::int32_t y = 0; y < picture.Height; ++y) {
        std::uint8_t* row = static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(y) * locked.Pitch;
        for (std::int32_t x = 0; x < picture.Width; ++x)
            PackPixel(format, picture.At(x, y) | 0xFF000000u, row + static_cast<std::size_t>(x) * bpp);
    }
    D3DCheck(surface->UnlockRect(), 0, "Unlockrect");
    return surface;
}

void CopyToBackBuffer(TzkD3Device8& device, IDirect3DSurface8* surface) {
    if (!surface) return;
    std::unique_ptr<IDirect3DSurface8> backBuffer = device.GetBackBuffer();
    D3DCheck(device.Device->CopyRects(surface, nullptr, 0, backBuffer.get(), nullptr), 0, "copyrects");
}

std::vector<std::uint32_t> ReadSurfacePixels(d3d::IDirect3DSurface8& surface, std::uint32_t& width,
                                             std::uint32_t& height) {
    d3d::D3DSURFACE_DESC desc;
    if (d3d::Failed(surface.GetDesc(&desc))) throw Exception("Unable to read the back buffer");
    const bool wide = desc.Format == d3d::D3DFMT_X8R8G8B8 || desc.Format == d3d::D3DFMT_A8R8G8B8;
    const bool r5g6b5 = desc.Format == d3d::D3DFMT_R5G6B5;
    const bool x1r5g5b5 = desc.Format == d3d::D3DFMT_X1R5G5B5 || desc.Format == d3d::D3DFMT_A1R5G5B5;
    if (!wide && !r5g6b5 && !x1r5g5b5) throw Exception("Unsupported back buffer format");
    d3d::D3DLOCKED_RECT locked;
    if (d3d::Failed(surface.LockRect(&locked, nullptr, d3d::D3DLOCK_READONLY)) || !locked.pBits)
        throw Exception("Unable to lock the back buffer");
    width = desc.Width;
    height = desc.Height;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    const auto* base = static_cast<const std::uint8_t*>(locked.pBits);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * locked.Pitch;
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint32_t p = 0;
            if (wide) {
                std::memcpy(&p, row + x * 4, 4);
                p &= 0x00FFFFFFu;
            } else {
                std::uint16_t v = 0;
                std::memcpy(&v, row + x * 2, 2);
                std::uint32_t r, g, b;
                if (r5g6b5) {
                    r = (v >> 11) & 31u;
                    g = (v >> 5) & 63u;
                    b = v & 31u;
                    g = (g << 2) | (g >> 4);
                } else {
                    r = (v >> 10) & 31u;
                    g = (v >> 5) & 31u;
                    b = v & 31u;
                    g = (g << 3) | (g >> 2);
                }
                r = (r << 3) | (r >> 2);
                b = (b << 3) | (b >> 2);
                p = (r << 16) | (g << 8) | b;
            }
            pixels[static_cast<std::size_t>(y) * width + x] = p;
        }
    }
    surface.UnlockRect();
    return pixels;
}

}  // namespace qv
