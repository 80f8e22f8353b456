// Pictures encoded by code, for the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace qv::test {

// PNG bytes from raw rows of `colorType` (PNG_COLOR_TYPE_*) at `bitDepth`:
// `rows` holds height rows of packed samples, big-endian for 16 bits.
struct TPngPicture {
    std::uint32_t Width = 0, Height = 0;
    int ColorType = 2;
    int BitDepth = 8;
    std::vector<std::uint8_t> Rows;
    // Palette entries (r, g, b) for palette pictures.
    std::vector<std::uint8_t> Palette;
    // tRNS: alpha per palette entry, or one grey/RGB sample key.
    std::vector<std::uint8_t> Transparency;
    bool Interlaced = false;
};
std::vector<std::uint8_t> EncodePng(const TPngPicture& picture);
// An 8-bit RGB PNG of 0x00RRGGBB pixels.
std::vector<std::uint8_t> EncodeRgbPng(std::uint32_t width, std::uint32_t height,
                                       const std::vector<std::uint32_t>& pixels);

// A JPEG of `components` (1 grey, 3 RGB, 4 CMYK) samples per pixel.
std::vector<std::uint8_t> EncodeJpeg(std::uint32_t width, std::uint32_t height, int components,
                                     const std::vector<std::uint8_t>& samples, int quality = 95);

}  // namespace qv::test
