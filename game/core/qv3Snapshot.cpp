#include "game/core/qv3Snapshot.h"

#include <cstring>

#include "foundation/Exceptions.h"
#include "platform/system/Files.h"

namespace qv {

namespace {
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFFu);
    Put16(out, v >> 16);
}
}  // namespace

std::vector<std::uint8_t> EncodeBitmap24(std::uint32_t width, std::uint32_t height,
                                         const std::vector<std::uint32_t>& pixels) {
    const std::uint32_t rowSize = (width * 3 + 3) / 4 * 4;
    const std::uint32_t dataSize = rowSize * height;
    std::vector<std::uint8_t> out;
    out.reserve(54 + dataSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + dataSize);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);  // no compression
    Put32(out, dataSize);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (std::uint32_t y = height; y-- > 0;) {
        const std::size_t start = out.size();
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            out.push_back(static_cast<std::uint8_t>(p));
            out.push_back(static_cast<std::uint8_t>(p >> 8));
            out.push_back(static_cast<std::uint8_t>(p >> 16));
        }
        out.resize(start + rowSize, 0);
    }
    return out;
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

std::string NextSnapshotName(const std::string& folder, std::int32_t& count) {
    for (;; ++count) {
        std::string name = folder + "snapshoot" + std::to_string(count) + ".bmp";
        if (!sys::FileExists(name)) return name;
    }
}

}  // namespace qv
