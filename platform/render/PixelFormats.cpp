#include "platform/render/PixelFormats.h"

namespace qv::d3d {

namespace {

inline std::uint32_t Widen1(std::uint32_t x) { return x ? 255u : 0u; }
inline std::uint32_t Widen2(std::uint32_t x) { return x * 0x55u; }
inline std::uint32_t Widen3(std::uint32_t x) { return (x << 5) | (x << 2) | (x >> 1); }
inline std::uint32_t Widen4(std::uint32_t x) { return (x << 4) | x; }
inline std::uint32_t Widen5(std::uint32_t x) { return (x << 3) | (x >> 2); }
inline std::uint32_t Widen6(std::uint32_t x) { return (x << 2) | (x >> 4); }

inline std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline std::uint16_t Read16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

inline void Write16(std::uint8_t* out, std::uint32_t v) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

UINT FormatBytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R8G8B8: return 3;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8: return 4;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_A8R3G3B2:
        case D3DFMT_X4R4G4B4: return 2;
        case D3DFMT_R3G3B2:
        case D3DFMT_A8: return 1;
        default: return 0;
    }
}

bool IsPackedFormat(D3DFORMAT format) { return FormatBytesPerPixel(format) != 0; }

std::uint32_t RowPitch(D3DFORMAT format, std::uint32_t width) {
    return (width * FormatBytesPerPixel(format) + 3u) & ~3u;
}

void PackPixel(D3DFORMAT format, std::uint32_t p, std::uint8_t* out) {
    const std::uint32_t a = p >> 24, r = (p >> 16) & 0xFFu, g = (p >> 8) & 0xFFu, b = p & 0xFFu;
    switch (format) {
        case D3DFMT_R8G8B8:
            out[0] = static_cast<std::uint8_t>(b);
            out[1] = static_cast<std::uint8_t>(g);
            out[2] = static_cast<std::uint8_t>(r);
            break;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
            out[0] = static_cast<std::uint8_t>(p);
            out[1] = static_cast<std::uint8_t>(p >> 8);
            out[2] = static_cast<std::uint8_t>(p >> 16);
            out[3] = static_cast<std::uint8_t>(p >> 24);
            break;
        case D3DFMT_R5G6B5: Write16(out, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); break;
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: Write16(out, ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); break;
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: Write16(out, ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4)); break;
        case D3DFMT_R3G3B2: out[0] = static_cast<std::uint8_t>(((r >> 5) << 5) | ((g >> 5) << 2) | (b >> 6)); break;
        case D3DFMT_A8R3G3B2: Write16(out, (a << 8) | ((r >> 5) << 5) | ((g >> 5) << 2) | (b >> 6)); break;
        case D3DFMT_A8: out[0] = static_cast<std::uint8_t>(a); break;
        default: break;
    }
}

std::uint32_t ExpandPixel(D3DFORMAT format, const std::uint8_t* in) {
    switch (format) {
        case D3DFMT_R8G8B8: return Argb(255, in[2], in[1], in[0]);
        case D3DFMT_A8R8G8B8:
            return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
                   (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
        case D3DFMT_X8R8G8B8: return Argb(255, in[2], in[1], in[0]);
        case D3DFMT_R5G6B5: {
            const std::uint32_t v = Read16(in);
            return Argb(255, Widen5(v >> 11), Widen6((v >> 5) & 0x3Fu), Widen5(v & 0x1Fu));
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            const std::uint32_t v = Read16(in);
            const std::uint32_t a = format == D3DFMT_A1R5G5B5 ? Widen1(v >> 15) : 255u;
            return Argb(a, Widen5((v >> 10) & 0x1Fu), Widen5((v >> 5) & 0x1Fu), Widen5(v & 0x1Fu));
        }
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: {
            const std::uint32_t v = Read16(in);
            const std::uint32_t a = format == D3DFMT_A4R4G4B4 ? Widen4(v >> 12) : 255u;
            return Argb(a, Widen4((v >> 8) & 0xFu), Widen4((v >> 4) & 0xFu), Widen4(v & 0xFu));
        }
        case D3DFMT_R3G3B2: {
            const std::uint32_t v = in[0];
            return Argb(255, Widen3(v >> 5), Widen3((v >> 2) & 7u), Widen2(v & 3u));
        }
        case D3DFMT_A8R3G3B2: {
            const std::uint32_t v = Read16(in);
            return Argb(v >> 8, Widen3((v >> 5) & 7u), Widen3((v >> 2) & 7u), Widen2(v & 3u));
        }
        case D3DFMT_A8: return static_cast<std::uint32_t>(in[0]) << 24;
        default: return 0;
    }
}

void ExpandRows(D3DFORMAT format, const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t width,
                std::uint32_t height, std::uint32_t* target, std::uint32_t targetPitch) {
    const UINT bpp = FormatBytesPerPixel(format);
    if (bpp == 0) return;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* in = source + static_cast<std::ptrdiff_t>(y) * sourcePitch;
        std::uint32_t* out = target + static_cast<std::size_t>(y) * targetPitch;
        for (std::uint32_t x = 0; x < width; ++x, in += bpp) out[x] = ExpandPixel(format, in);
    }
}

}  // namespace qv::d3d
