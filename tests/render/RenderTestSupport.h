// Helpers of the renderer tests: pictures encoded by code (tests/support),
// a captured log, and a device on the recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/zkD3D.h"
#include "platform/render/FakeD3D8.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

namespace qv::test {

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
