#include "media/zkD3DTextures.h"

#include <algorithm>

#include "platform/render/PixelFormats.h"

namespace qv {

using namespace d3d;

namespace {

bool IsPowerOfTwo(std::uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

// The largest power of two not above `n` (n > 0).
std::uint32_t PowerOfTwoFloor(std::uint32_t n) {
    std::uint32_t p = 1;
    while (p <= n / 2) p <<= 1;
    return p;
}

inline std::uint32_t Grey(std::uint32_t p) { return (((p >> 16) & 0xFFu) + ((p >> 8) & 0xFFu) + (p & 0xFFu)) / 3u; }

}  // namespace

std::unique_ptr<IDirect3DTexture8> CreateTextureWithFallback(TzkD3Device8* device, std::uint32_t width,
                                                             std::uint32_t height,
                                                             const std::vector<D3DFORMAT>& formats,
                                                             std::uint32_t pool) {
    IDirect3D8* d3d = device->Direct3D();
    const UINT adapter = device->DeviceInfo->Adapter->Ordinal;
    const DWORD type = device->DeviceInfo->DeviceType;
    const D3DFORMAT backBuffer = device->PresentParameters.BackBufferFormat;
    auto accepts = [&](D3DFORMAT f) {
        return Succeeded(d3d->CheckDeviceFormat(adapter, type, backBuffer, 0, D3DRTYPE_TEXTURE, f));
    };
    D3DFORMAT format = D3DFMT_UNKNOWN;
    for (D3DFORMAT f : formats) {
        if (accepts(f)) {
            format = f;
            break;
        }
    }
    if (format == D3DFMT_UNKNOWN) {
        for (D3DFORMAT f : kTextureFormats) {
            if (accepts(f)) {
                format = f;
                break;
            }
        }
    }
    if (format == D3DFMT_UNKNOWN) D3DRaiseError(kD3DNoTextureFormat);
    std::unique_ptr<IDirect3DTexture8> texture;
    D3DCheck(device->Device->CreateTexture(width, height, 1, 0, format, pool, &texture), kD3DCreateTextureFailed,
             std::to_string(width) + ";" + std::to_string(height) + ";" + D3DFormatToString(format));
    return texture;
}

void CopyBitmapToTexture(const RECT* sourceRect, const TBitmap& image, const TBitmap* mask, std::uint32_t width,
                         std::uint32_t height, std::uint32_t colorKey, D3DFORMAT format, std::int32_t pitch,
                         std::uint8_t* bits) {
    const RECT region = sourceRect ? *sourceRect : RECT{0, 0, image.Width, image.Height};
    if (region.left < 0 || region.top < 0 || region.left >= region.right || region.top >= region.bottom ||
        region.right > image.Width || region.bottom > image.Height ||
        image.Pixels.size() != static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height))
        D3DRaiseError(kD3DImageInvalidSize);
    if (mask && (mask->Width != image.Width || mask->Height != image.Height || mask->Pixels.size() != image.Pixels.size()))
        D3DRaiseError(kD3DMaskMismatch);
    const std::uint32_t regionW = static_cast<std::uint32_t>(region.right - region.left);
    const std::uint32_t regionH = static_cast<std::uint32_t>(region.bottom - region.top);
    if (width == 0 || height == 0) D3DRaiseError(kD3DStretchNotInteger);
    const std::uint32_t fx = regionW / width, fy = regionH / height;
    if (fx == 0 || fy == 0 || regionW != fx * width || regionH != fy * height) D3DRaiseError(kD3DStretchNotInteger);
    const UINT bpp = FormatBytesPerPixel(format);
    if (bpp == 0) return;

    const bool keyed = (colorKey >> 24) == 0xFFu;
    const std::uint32_t keyColour = colorKey & 0xFFFFFFu;
    const std::uint32_t area = fx * fy;
    for (std::uint32_t r = 0; r < height; ++r) {
        std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(r) * pitch;
        const std::int32_t top = region.top + static_cast<std::int32_t>(r * fy);
        for (std::uint32_t c = 0; c < width; ++c, out += bpp) {
            const std::int32_t left = region.left + static_cast<std::int32_t>(c * fx);
            std::uint32_t value;
            if (area == 1) {
                value = image.At(left, top) & 0xFFFFFFu;
                if (mask)
                    value |= Grey(mask->At(left, top)) << 24;
                else if (!(keyed && value == keyColour))
                    value |= 0xFF000000u;
            } else {
                std::uint32_t red = 0, green = 0, blue = 0, grey = 0;
                for (std::uint32_t y = 0; y < fy; ++y) {
                    for (std::uint32_t x = 0; x < fx; ++x) {
                        const std::int32_t sx = left + static_cast<std::int32_t>(x);
                        const std::int32_t sy = top + static_cast<std::int32_t>(y);
                        const std::uint32_t p = image.At(sx, sy);
                        red += (p >> 16) & 0xFFu;
                        green += (p >> 8) & 0xFFu;
                        blue += p & 0xFFu;
                        if (mask) grey += Grey(mask->At(sx, sy));
                    }
                }
                value = ((red / area) << 16) | ((green / area) << 8) | (blue / area);
                if (mask)
                    value |= (grey / area) << 24;
                else if (!(keyed && value == keyColour))
                    value |= 0xFF000000u;
            }
            PackPixel(format, value, out);
        }
    }
}

TzkD3DTexture8::TzkD3DTexture8(TzkD3Device8* device, const RECT* sourceRect, const TBitmap* image,
                               const TBitmap* mask, std::uint32_t width, std::uint32_t height,
                               std::uint32_t colorKey, const std::vector<D3DFORMAT>& formats)
    : Device(device) {
    if (!image) D3DRaiseError(kD3DImageInvalidFormat);
    if (image->Width < 1 || image->Height < 1 ||
        image->Pixels.size() != static_cast<std::size_t>(image->Width) * static_cast<std::size_t>(image->Height))
        D3DRaiseError(kD3DImageInvalidSize);
    if (sourceRect &&
        (image->Width < sourceRect->right || image->Height < sourceRect->bottom ||
         sourceRect->left >= sourceRect->right || sourceRect->top >= sourceRect->bottom || sourceRect->left < 0 ||
         sourceRect->top < 0))
        D3DRaiseError(kD3DImageInvalidSize);
    if (width == 0 || height == 0) {
        width = static_cast<std::uint32_t>(image->Width);
        height = static_cast<std::uint32_t>(image->Height);
    }
    if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height)) D3DRaiseError(kD3DInvalidParameters, "texture size not a power of two");
    const D3DCAPS8& caps = device->Caps();
    if (caps.MaxTextureWidth > 0) width = std::min(width, PowerOfTwoFloor(caps.MaxTextureWidth));
    if (caps.MaxTextureHeight > 0) height = std::min(height, PowerOfTwoFloor(caps.MaxTextureHeight));
    if (mask && (mask->Width != image->Width || mask->Height != image->Height ||
                 mask->Pixels.size() != image->Pixels.size()))
        D3DRaiseError(kD3DMaskMismatch);

    Texture = CreateTextureWithFallback(device, width, height, formats, D3DPOOL_MANAGED);
    D3DSURFACE_DESC desc;
    D3DCheck(Texture->GetLevelDesc(0, &desc), 0, "getleveldesc");
    Format = desc.Format;
    TextureWidth = desc.Width;
    TextureHeight = desc.Height;
    ImageWidth = image->Width;
    ImageHeight = image->Height;

    D3DLOCKED_RECT locked;
    D3DCheck(Texture->LockRect(0, &locked, nullptr, 0), 0, "lockrect");
    try {
        CopyBitmapToTexture(sourceRect, *image, mask, width, height, colorKey, Format, locked.Pitch,
                            static_cast<std::uint8_t*>(locked.pBits));
    } catch (...) {
        Texture->UnlockRect(0);
        throw;
    }
    D3DCheck(Texture->UnlockRect(0), 0, "unlockrect");
    Index = device->AddTexture(this);
}

TzkD3DTexture8::~TzkD3DTexture8() {
    if (Device && Device->Device) Device->Device->SetTexture(0, nullptr);
    Texture.reset();
    if (Device) Device->RemoveTexture(this);
}

}  // namespace qv
