// Helpers of the renderer tests: pictures encoded by code, a captured log,
// and a device on the recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/zkD3D.h"
#include "platform/render/FakeD3D8.h"
#include "tests/support/TempDir.h"

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

// Registers, once per program, a test environment that selects SDL's
// offscreen video driver and keeps one hidden GL window open for the whole
// program: Mesa's GL drivers leave memory behind each time SDL unloads them,
// which the leak checker reports. Returns true.
bool KeepGlLoaded();

// The log of the test, in a fresh folder.
class TLogCapture {
public:
    TLogCapture();
    ~TLogCapture();
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;
    std::vector<std::string> Lines() const;
    // How many lines contain `text`.
    int Count(const std::string& text) const;
    void Clear() const;

private:
    TempDir dir_;
    std::string path_;
};

// A device on the fake: one standard adapter (changed by `setup`), the
// 800 x 600 X8R8G8B8 mode, windowed unless told.
struct TFakeRig {
    explicit TFakeRig(const std::function<void(d3d::TFakeAdapter&)>& setup = {}, bool windowed = true,
                      std::uint32_t refreshRate = 0, std::uint32_t interval = 0);
    ~TFakeRig();

    std::shared_ptr<d3d::TFakeWorld> World;
    std::unique_ptr<TzkD3D8> D3D;
    std::unique_ptr<TzkD3Device8> Device;
    std::vector<std::uint32_t> Sleeps;
};

}  // namespace qv::test
